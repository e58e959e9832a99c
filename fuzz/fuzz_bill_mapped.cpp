// The mapping reader: the exports of other apps and banks through the bill reader (seeded
// from fuzz/corpus/bill_mapped), and any table read through a mapping made of its own
// first row, as "导入设置" makes one.
#include "BillFuzz.h"
#include "import/MappedReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzOneBill(data, size);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<TTableRow> rows;
    int line = 0;
    for (const QString &l : text.split(QLatin1Char('\n')))
        rows << TTableRow{++line, l.split(QLatin1Char(','))};
    const QStringList &header = rows.first().cells;
    TImportMapping mapping;
    mapping.date = header.value(0);
    if (size > 0 && data[0] % 2 == 0) {
        mapping.amount = header.value(1);
    } else {
        mapping.income = header.value(1);
        mapping.expense = header.value(2);
    }
    mapping.item = {header.value(3)};
    mapping.notes = {header.value(4), header.value(5)};
    mapping.counterpart = header.value(5);
    try {
        const TBill bill = ReadMapped(rows, 0, mapping, [](TTableRow &) { return false; }, size % 3 == 0, size % 5 == 0);
        for (const TPlanRow &row : PlanImport(bill, {}))
            if (row.amountFen < 0 || row.notes.size() > kImportNotesLimit || row.item.size() > kImportItemLimit ||
                !row.bill.time.isValid())
                std::abort();
    } catch (const TError &) {
    }
    return 0;
}
