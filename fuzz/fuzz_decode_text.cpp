// Stored values come back from a data file that may be damaged: decoding must cope with
// any text.
#include "base/HiClass.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = THi::DecodeText(text);
    // Whatever decodes must encode and decode to itself.
    const QString again = THi::DecodeText(THi::EncodeText(decoded));
    if (again != decoded)
        __builtin_trap();
    return 0;
}
