// The bill reader on ZIP archives, locked or not (seeded from fuzz/corpus/bill_zip): the
// password is the one of the locked seed, so that the decryption and inflation are reached.
#include "BillFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzOneBill(data, size, QStringLiteral("123456"));
    return 0;
}
