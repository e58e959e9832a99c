#pragma once
// Bills come from anywhere: any bytes must give a whole bill or a TError, never a crash,
// and a bill that was read must give sound import rows. Each bill fuzzer runs this on its
// own corpus (CSV or XLSX bills).
#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"
#include "import/XlsxSheet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

inline void FuzzOneBill(const uint8_t *data, size_t size, const QString &zipPassword = {})
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const TBill bill = ReadBill(bytes, {}, zipPassword);
        if (bill.rows.isEmpty())
            std::abort();
        for (const TPlanRow &row : PlanImport(bill, {})) {
            if (row.bill.refundFen < 0 || row.amountFen < 0 || row.notes.size() > kImportNotesLimit ||
                !row.bill.time.isValid() || (row.checked && (row.item.isEmpty() || row.amountFen < 1)))
                std::abort();
        }
    } catch (const TError &) {
    } catch (const TZipPasswordNeeded &) {
    }
}
