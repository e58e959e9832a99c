#include "output/Reports.h"
#include "output/report/CompositeReport.h"
#include "preview/ReportPreview.h"

#include <QRect>

#include <algorithm>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {
// A page report with one band of the given height holding a black bar and a label.
std::unique_ptr<TPageReport> BarPage(double ppi, int bandHeight, bool forceNewPage, const QString &text)
{
    auto page = std::make_unique<TPageReport>(QSizeF(ppi, ppi));
    TReportBand &band = page->CreateBand();
    band.Size = QSize(int(ppi * 190 / 25.4), bandHeight);
    band.ForceNewPage = forceNewPage;
    TReportShape *bar = band.AddShape();
    bar->Left = int(ppi);        // one inch from the band's left edge
    bar->Top = int(ppi / 2);     // half an inch down
    bar->ShapeWidth = int(ppi);  // one inch wide
    bar->ShapeHeight = int(ppi / 8);
    bar->FillColor = Qt::black;
    TReportLabel *label = CreateReportLabel(*page);
    label->SetCaption(text);
    label->Left = 0;
    label->Top = 0;
    return page;
}

// The black pixels of a sheet below the given row (the label's text stays above it).
QRect BlackBelow(const QImage &sheet, int fromRow)
{
    QRect found;
    for (int y = fromRow; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (qGray(sheet.pixel(x, y)) < 16)
                found |= QRect(x, y, 1, 1);
    return found;
}

bool HasInk(const QImage &sheet, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(sheet.pixel(x, y)) < 128)
                return true;
    return false;
}
} // namespace

TEST(ReportEngine, PrepareRendersEveryReportOfTheAddReportsEventOnItsOwnPage)
{
    std::vector<std::unique_ptr<TPageReport>> pages;
    for (int i = 0; i < 3; ++i)
        pages.push_back(BarPage(96, 1047, true, QStringLiteral("页%1").arg(i + 1)));
    TCompositeReport composite;
    int events = 0;
    composite.OnAddReports = [&](TCompositeReport &report) {
        ++events;
        report.Reports.clear();
        for (const auto &p : pages)
            report.Reports << p.get();
    };
    composite.Prepare();
    composite.Prepare();
    EXPECT_EQ(events, 2);
    const auto store = composite.PageStore();
    ASSERT_EQ(store->PageCount(), 3);
    EXPECT_EQ(store->Page(3).items.last().text, QStringLiteral("页3"));
    EXPECT_EQ(store->Page(1).paperMm.toSize(), QSize(210, 297));
    EXPECT_EQ(store->Page(1).marginsMm, QMarginsF(10, 10, 10, 10));

    // The prepared pages outlive the page reports they came from.
    pages.clear();
    EXPECT_EQ(store->Page(2).items.last().text, QStringLiteral("页2"));
    // A fresh preparation gives a fresh store; the old one stays as it was.
    composite.Prepare();
    EXPECT_EQ(composite.PageStore()->PageCount(), 0);
    EXPECT_EQ(store->PageCount(), 3);
}

TEST(ReportEngine, BandsWithoutForcedPagesStackUntilThePageIsFull)
{
    std::vector<std::unique_ptr<TPageReport>> pages;
    for (int i = 0; i < 5; ++i)
        pages.push_back(BarPage(96, 400, false, QStringLiteral("带%1").arg(i)));
    TCompositeReport composite;
    for (const auto &p : pages)
        composite.Reports << p.get();
    composite.Prepare();
    // 1047 pixels of printable height hold two bands of 400.
    const auto store = composite.PageStore();
    ASSERT_EQ(store->PageCount(), 3);
    EXPECT_EQ(store->Page(1).items.size(), 4);
    EXPECT_EQ(store->Page(1).items[3].rect.top(), 400);
    EXPECT_EQ(store->Page(3).items.size(), 2);
    EXPECT_EQ(store->Page(3).items[1].rect.top(), 0);
}

TEST(ReportEngine, DesignPositionsStayOnPaperWhateverTheScreenResolution)
{
    // The same inch-based layout made on a 96 and on a 120 pixels-per-inch screen lands on
    // the same spot of the sheet: 10 mm margin plus one inch across, half an inch down.
    QList<QRect> bars;
    for (double ppi : {96.0, 120.0}) {
        const auto page = BarPage(ppi, 1000, true, QStringLiteral("支出"));
        TPageStore store;
        store.AddReport(*page);
        const QImage sheet = RenderPageImage(store.Page(1), QSizeF(200, 200));
        EXPECT_EQ(sheet.size(), QSize(1654, 2339));
        bars << BlackBelow(sheet, 150);
        // The label's text is drawn inside the label's box at the band's top-left corner.
        const double margin = 10 / 25.4 * 200;
        EXPECT_TRUE(HasInk(sheet, QRect(int(margin), int(margin), 40, 40)));
    }
    const int left = int(10 / 25.4 * 200 + 200);
    const int top = int(10 / 25.4 * 200 + 100);
    for (const QRect &bar : bars) {
        EXPECT_NEAR(bar.left(), left, 1);
        EXPECT_NEAR(bar.top(), top, 1);
        EXPECT_NEAR(bar.width(), 200, 2);
    }
}

TEST(ReportEngine, PreviewIgnoresPagesOutsideTheStore)
{
    std::vector<std::unique_ptr<TPageReport>> pages;
    for (int i = 0; i < 3; ++i)
        pages.push_back(BarPage(96, 1047, true, QStringLiteral("页%1").arg(i + 1)));
    TCompositeReport composite;
    for (const auto &p : pages)
        composite.Reports << p.get();
    composite.Prepare();

    TReportPreview preview;
    EXPECT_EQ(preview.PageCount(), 0);
    preview.SetPageNumber(1);
    EXPECT_EQ(preview.PageNumber(), 1);
    preview.SetPageStore(composite.PageStore());
    EXPECT_EQ(preview.PageCount(), 3);
    EXPECT_EQ(preview.Zoom(), 100);
    for (int request : {0, -1, 4, 3, 9, 2}) {
        const int before = preview.PageNumber();
        preview.SetPageNumber(request);
        EXPECT_EQ(preview.PageNumber(), request >= 1 && request <= 3 ? request : before) << request;
    }
    // Attaching another store starts again at its first page.
    composite.Prepare();
    preview.SetPageStore(composite.PageStore());
    EXPECT_EQ(preview.PageNumber(), 1);
}

// The paged store lays out only the pages asked for, keeps the last few and gives the same
// page the eager layout gives.
TEST(ReportEngine, PagedReportLaysOutOnlyThePagesShownAndMatchesTheWholeLayout)
{
    QList<TRecord> rows;
    for (int i = 0; i < 5 * ReportRowsPerPage + 7; ++i)
        rows << TRecord{i + 1, QDate(2024, 3, 1 + i % 28), i % 3 ? kTypeOut : kTypeIn,
                        QStringLiteral("条目%1").arg(i), TFen(i) * 101, i % 2 ? QStringLiteral("备注%1").arg(i) : QString()};
    const TReportHeader header{QStringLiteral("宝贝"), QDate(2024, 3, 1), QDate(2024, 3, 31), 5000, 7000};

    TPagedReport paged = TransactionsReport(header, rows);
    ASSERT_EQ(paged.PageCount, 6);
    QList<int> built;
    const auto build = paged.BuildPage;
    paged.BuildPage = [&built, build](int number) {
        built << number;
        return build(number);
    };
    TCompositeReport composite;
    composite.Paged = paged;
    composite.Prepare();
    const auto store = composite.PageStore();
    ASSERT_EQ(store->PageCount(), 6);
    EXPECT_TRUE(built.isEmpty());

    TReportPages whole;
    LayOutAllPages(whole, TransactionsReport(header, rows));
    ASSERT_EQ(whole.size(), 6u);
    TPageStore eager;
    for (const auto &page : whole)
        eager.AddReport(*page);
    for (int number : {6, 1, 3}) {
        const TStoredPage lazy = store->Page(number);
        const TStoredPage full = eager.Page(number);
        ASSERT_EQ(lazy.items.size(), full.items.size()) << number;
        for (qsizetype i = 0; i < lazy.items.size(); ++i) {
            EXPECT_EQ(lazy.items[i].text, full.items[i].text) << number << " " << i;
            EXPECT_EQ(lazy.items[i].rect, full.items[i].rect) << number << " " << i;
        }
        EXPECT_EQ(lazy.paperMm, full.paperMm);
    }
    EXPECT_EQ(built, (QList<int>{6, 1, 3}));
    // The last page carries the seven rows left over and its own number.
    const QList<TPageItem> last = store->Page(6).items;
    EXPECT_TRUE(std::any_of(last.cbegin(), last.cend(),
                            [](const TPageItem &item) { return item.text == QStringLiteral("第 6 页"); }));

    // Paging back to a page just shown does not lay it out again; a page long gone is.
    store->Page(1);
    EXPECT_EQ(built.size(), 3);
    for (int number = 2; number <= 6; ++number)
        store->Page(number);
    store->Page(1);
    EXPECT_EQ(built.count(1), 2);

    EXPECT_THROW(store->Page(0), std::out_of_range);
    EXPECT_THROW(store->Page(7), std::out_of_range);
    // A report without rows has no pages.
    EXPECT_EQ(TransactionsReport(header, {}).PageCount, 0);
}
