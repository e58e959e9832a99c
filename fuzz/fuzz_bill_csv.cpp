// The bill reader on CSV bills (seeded from fuzz/corpus/bill_csv).
#include "BillFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzOneBill(data, size);
    return 0;
}
