#include "bench/Bench.h"
#include "output/Reports.h"
#include "output/report/CompositeReport.h"

#include <cstdlib>

// A transactions report of 100 full pages: laying out 5,200 rows and preparing the pages.
TALLYFERN_BENCH(report_100_pages)
{
    TListRows trans{{"日期", "项目", "收入", "支出", "备注"}, {}};
    for (int i = 0; i < 100 * ReportRowsPerPage; ++i)
        trans.rows << QStringList{QStringLiteral("2024-%1-%2").arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                      .arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                                  QStringLiteral("宝宝奶粉钱 %1").arg(i % 200),
                                  i % 5 ? QString() : QStringLiteral("%1.00").arg(i),
                                  i % 5 ? QStringLiteral("%1.50").arg(i % 997) : QString(),
                                  i % 3 ? QString() : QStringLiteral("超市 Supermarket %1").arg(i)};
    const TReportHeader header{QStringLiteral("宝贝"), QDate(2024, 1, 1), QDate(2024, 12, 31), 123456.78, 98765.43};
    TReportPages pages;
    TCompositeReport composite;
    composite.OnAddReports = [&](TCompositeReport &report) {
        report.Reports.clear();
        for (const auto &page : pages)
            report.Reports << page.get();
    };
    // The running program has its fonts loaded long before it prints.
    BuildTransactionsReport(pages, header, {trans.captions, {trans.rows.first()}});
    const double ms = TimeMs([&] {
        BuildTransactionsReport(pages, header, trans);
        composite.Prepare();
    });
    if (composite.PageStore()->PageCount() != 100)
        std::abort();
    ReportFigure(QStringLiteral("report_100_pages"), ms);
}
