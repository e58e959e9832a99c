#include "bench/Bench.h"
#include "app/HiClass.h"
#include "output/SheetExport.h"
#include "output/WebExport.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

TListData TransRows(int count)
{
    TListData list{{"", "日期", "项目", "收入", "支出", "备注"}, {}};
    list.rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const bool income = i % 5 == 0;
        const QString amount = QStringLiteral("%1.%2").arg(i % 997).arg(i % 100, 2, 10, QLatin1Char('0'));
        list.rows.append({QString::number(i + 1),
                          QStringLiteral("20%1-%2-%3").arg(10 + i / 5000).arg(i / 420 % 12 + 1, 2, 10, QLatin1Char('0'))
                              .arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                          QStringLiteral("项目%1 宝宝奶粉钱").arg(i % 200), income ? amount : QString(),
                          income ? QString() : amount, i % 3 ? QStringLiteral("备注 %1").arg(i) : QString()});
    }
    return list;
}

const TExportContext kContext{QStringLiteral("宝贝"), QDate(2010, 1, 1), QDate(2019, 12, 31), 123456.78, 234567.89};

} // namespace

TALLYFERN_BENCH(export_xls_50000)
{
    const TListData rows = TransRows(50000);
    const QString target = BenchDir() + QStringLiteral("/trans.xls");
    const double ms = TimeMs([&] {
        WriteSheetExport(THi::DeliveredFile(QStringLiteral("trans.xls")), target, TransSheetRows(rows, kContext));
    });
    if (QFileInfo(target).size() < 50000 * 20)
        std::abort();
    ReportFigure(QStringLiteral("export_xls_50000"), ms);
}

TALLYFERN_BENCH(export_html_50000)
{
    const TListData rows = TransRows(50000);
    const QString target = BenchDir() + QStringLiteral("/trans.html");
    const double ms = TimeMs([&] {
        WriteWebExport(THi::DeliveredFile(QStringLiteral("trans.html")), target, TransPageRows(rows), kContext);
    });
    if (QFileInfo(target).size() < 50000 * 50)
        std::abort();
    ReportFigure(QStringLiteral("export_html_50000"), ms);
}
