#include "bench/Bench.h"
#include "output/Reports.h"
#include "output/report/CompositeReport.h"

#include <cstdlib>

// A transactions report of 100 full pages: laying out 5,200 rows and preparing the pages.
TALLYFERN_BENCH(report_100_pages)
{
    QList<TRecord> trans;
    for (int i = 0; i < 100 * ReportRowsPerPage; ++i)
        trans << TRecord{i + 1, QDate(2024, i % 12 + 1, i % 28 + 1), i % 5 ? kTypeOut : kTypeIn,
                         QStringLiteral("宝宝奶粉钱 %1").arg(i % 200), i % 5 ? TFen(i % 997) * 100 + 50 : TFen(i) * 100,
                         i % 3 ? QString() : QStringLiteral("超市 Supermarket %1").arg(i)};
    const TReportHeader header{QStringLiteral("宝贝"), QDate(2024, 1, 1), QDate(2024, 12, 31), 12345678, 9876543};
    TReportPages pages;
    TCompositeReport composite;
    composite.OnAddReports = [&](TCompositeReport &report) {
        report.Reports.clear();
        for (const auto &page : pages)
            report.Reports << page.get();
    };
    // The running program has its fonts loaded long before it prints.
    LayOutAllPages(pages, TransactionsReport(header, {trans.first()}));
    const double ms = TimeMs([&] {
        LayOutAllPages(pages, TransactionsReport(header, trans));
        composite.Prepare();
    });
    if (composite.PageStore()->PageCount() != 100)
        std::abort();
    ReportFigure(QStringLiteral("report_100_pages"), ms);
}
