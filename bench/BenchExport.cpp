#include "bench/Bench.h"
#include "base/HiClass.h"
#include "output/SheetExport.h"
#include "output/WebExport.h"

#include <QCoreApplication>
#include <QFileInfo>

QList<TRecord> ExportRecords(int count, const QString &notePattern)
{
    QList<TRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i)
        records.append({i + 1, QDate(2010 + i / 5000, i / 420 % 12 + 1, i % 28 + 1),
                        i % 5 == 0 ? kTypeIn : kTypeOut, QStringLiteral("项目%1 宝宝奶粉钱").arg(i % 200),
                        TFen(i % 997) * 100 + i % 100, i % 3 ? notePattern.arg(i) : QString()});
    return records;
}

TReportHeader ExportHeader()
{
    return {QStringLiteral("宝贝"), QDate(2010, 1, 1), QDate(2019, 12, 31), 12345678, 23456789};
}

TALLYFERN_BENCH(export_xls_50000)
{
    const QList<TRecord> rows = ExportRecords(50000, QStringLiteral("备注 %1"));
    const QString target = BenchDir() + QStringLiteral("/trans.xls");
    const double ms = MedianMs(3, [&] {
        WriteSheetExport(THi::DeliveredFile(QStringLiteral("trans.xls")), target, TransSheetRows(rows, ExportHeader()));
    });
    if (QFileInfo(target).size() < 50000 * 20)
        std::abort();
    ReportFigure(QStringLiteral("export_xls_50000"), ms);
}

TALLYFERN_BENCH(export_html_50000)
{
    const QList<TRecord> rows = ExportRecords(50000, QStringLiteral("备注 %1"));
    const QString target = BenchDir() + QStringLiteral("/trans.html");
    const double ms = MedianMs(3, [&] {
        WriteWebExport(THi::DeliveredFile(QStringLiteral("trans.html")), target, TransPageRows(rows), ExportHeader());
    });
    if (QFileInfo(target).size() < 50000 * 50)
        std::abort();
    ReportFigure(QStringLiteral("export_html_50000"), ms);
}
