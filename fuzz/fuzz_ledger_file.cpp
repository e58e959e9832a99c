// Any bytes as the ledger file: the open's check refuses them with a message, or a search
// and a one-record save work on them; never a crash or a hang.
#include "LedgerFuzz.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    FuzzOneLedger(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
                  dir.filePath(QStringLiteral("db.zovalt")));
    return 0;
}
