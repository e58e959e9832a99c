#include "bench/Bench.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "charts/ChartView.h"
#include "output/SheetExport.h"
#include "store/DbClass.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>

#include <cstdlib>


TALLYFERN_BENCH(export_xlsx_50000)
{
    const QList<TRecord> rows = ExportRecords(50000, QStringLiteral("备注, \"%1\""));
    const QString target = BenchDir() + QStringLiteral("/trans.xlsx");
    const double ms = TimeMs([&] { WriteXlsxExport(target, TransSheetRows(rows, ExportHeader())); });
    if (QFileInfo(target).size() < 50000 * 10)
        std::abort();
    ReportFigure(QStringLiteral("export_xlsx_50000"), ms);
}

TALLYFERN_BENCH(export_csv_50000)
{
    const QList<TRecord> rows = ExportRecords(50000, QStringLiteral("备注, \"%1\""));
    const QString target = BenchDir() + QStringLiteral("/trans.csv");
    const double ms = TimeMs([&] { WriteCsvExport(target, TransSheetRows(rows, ExportHeader())); });
    if (QFileInfo(target).size() < 50000 * 30)
        std::abort();
    ReportFigure(QStringLiteral("export_csv_50000"), ms);
}

// The three charts of a one-year search built and drawn once, as the view shows them.
TALLYFERN_BENCH(chart_one_year)
{
    const QString path = SeededLedger();
    const QString user = QStringLiteral("宝贝");
    TDbMan db(path);
    if (!db.UserExists(user))
        db.AddUser(user, QStringLiteral("pw"));
    const TSearchResult result = db.Search(user, QDate(2015, 1, 1), QDate(2015, 12, 31));

    TfrmMain window;
    window.LoginRunner = [path, user] { return TLoginResult{path, user}; };
    if (!window.FormCreate())
        std::abort();
    window.show();
    window.findChild<QRadioButton *>(QStringLiteral("rdoTransactions"))->setChecked(true);
    auto *panel = window.findChild<TTransPanel *>(QStringLiteral("pnlTransactions"));
    panel->findChild<QRadioButton *>(QStringLiteral("rdoTransCharts"))->setChecked(true);
    QApplication::processEvents();
    auto *charts = panel->findChild<TChartView *>(QStringLiteral("pnlTransCharts"));
    std::vector<double> ms;
    for (int i = 0; i < 6; ++i)
        ms.push_back(TimeMs([&] {
            charts->ShowResult(result);
            if (charts->ChartsImage().isNull())
                std::abort();
        }));
    std::sort(ms.begin() + 1, ms.end());
    ReportFigure(QStringLiteral("chart_one_year"), ms[1 + (ms.size() - 1) / 2]);
}

// The five chart kinds of a ten-year search built once each, from the search result, the
// search of the year before and the stored budgets; the searches themselves are not timed.
TALLYFERN_BENCH(trend_charts_ten_years)
{
    const QString path = SeededLedger();
    const QString user = QStringLiteral("宝贝");
    TDbMan db(path);
    if (!db.UserExists(user))
        db.AddUser(user, QStringLiteral("pw"));
    const TSearchResult result = db.Search(user, QDate(2010, 1, 1), QDate(2019, 12, 31));
    const QPair<QDate, QDate> span = YearBeforeSpan(result.fromDate, result.toDate);
    const TSearchResult before = db.Search(user, span.first, span.second);

    TfrmMain window;
    window.LoginRunner = [path, user] { return TLoginResult{path, user}; };
    if (!window.FormCreate())
        std::abort();
    window.show();
    window.findChild<QRadioButton *>(QStringLiteral("rdoTransactions"))->setChecked(true);
    auto *panel = window.findChild<TTransPanel *>(QStringLiteral("pnlTransactions"));
    panel->findChild<QRadioButton *>(QStringLiteral("rdoTransCharts"))->setChecked(true);
    QApplication::processEvents();
    auto *charts = panel->findChild<TChartView *>(QStringLiteral("pnlTransCharts"));
    auto *kind = charts->findChild<QComboBox *>(QStringLiteral("cboChartKind"));
    const double ms = MedianMs(5, [&] {
        kind->setCurrentIndex(0);
        charts->ShowResult(result, &before);
        for (int k = 1; k < kind->count(); ++k)
            kind->setCurrentIndex(k);
    });
    ReportFigure(QStringLiteral("trend_charts_ten_years"), ms);
}
