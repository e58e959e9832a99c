#include "output/Reports.h"
#include "output/report/CompositeReport.h"
#include "preview/ReportPreview.h"

#include <QRect>

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
