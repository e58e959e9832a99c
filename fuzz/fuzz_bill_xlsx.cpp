// The bill reader on XLSX bills (seeded from fuzz/corpus/bill_xlsx).
#include "BillFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzOneBill(data, size);
    return 0;
}
