// Workbooks at the export target may come from anywhere: reading and appending to any bytes
// must end in a workbook or a TError, never a crash.
#include "base/Errors.h"
#include "output/xls/Workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        xls::TWorkbook book = xls::TWorkbook::FromBytes(bytes);
        book.HeaderRow(QStringLiteral("Sheet1"));
        book.AppendRows(QStringLiteral("Sheet1"),
                        {{QStringLiteral("2026-01-01"), QStringLiteral("项目 😀"), QStringLiteral(" "),
                          QStringLiteral("1.00"), QString()}});
        const QByteArray out = book.ToBytes();
        // What we write must read back.
        xls::TWorkbook::FromBytes(out).HeaderRow(QStringLiteral("Sheet1"));
    } catch (const TError &) {
    }
    return 0;
}
