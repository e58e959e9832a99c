#include "browse/BrowseFixture.h"
#include "support/TestSupport.h"
#include "browse/MoreInfoForm.h"
#include "charts/ChartData.h"
#include "charts/ChartView.h"
#include "output/report/CompositeReport.h"
#include "preview/PrintForm.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QChart>
#include <QChartView>
#include <QBarSet>
#include <QImageReader>
#include <QPieSeries>
#include <QPieSlice>
#include <QTemporaryDir>

namespace {

QList<TRankRow> Ranking(const QString &type, const QList<TFen> &sums)
{
    QList<TRankRow> rows;
    for (int i = 0; i < sums.size(); ++i)
        rows.append(Rank(type, QStringLiteral("项%1").arg(i), 1, sums[i]));
    return rows;
}

QStringList Labels(const QPieSeries *series)
{
    QStringList labels;
    for (const QPieSlice *s : series->slices())
        labels << s->label();
    return labels;
}

QList<qreal> Values(const QBarSet *set)
{
    QList<qreal> values;
    for (int i = 0; i < set->count(); ++i)
        values << set->at(i);
    return values;
}

// Counts pixels close to colour.
int PixelsLike(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                     std::abs(c.blue() - colour.blue()) < 30;
        }
    return n;
}

} // namespace

TEST(ChartData, TheLargestItemsGetSlicesAndTheRestOneTogether)
{
    // Ten items: seven of their own and the other three together make eight slices.
    const QList<TPieSlice> many = PieSlices(Ranking(kTypeOut, {500, 400, 300, 200, 100, 90, 80, 70, 60, 50}), 1850, 8);
    ASSERT_EQ(many.size(), 8);
    EXPECT_EQ(many[0].item, QStringLiteral("项0"));
    EXPECT_DOUBLE_EQ(many[0].share, 500.0 / 1850);
    EXPECT_FALSE(many[6].rest);
    EXPECT_TRUE(many[7].rest);
    EXPECT_EQ(many[7].item, QStringLiteral("其他"));
    EXPECT_EQ(many[7].type, kTypeOut);
    EXPECT_EQ(many[7].sum, 70 + 60 + 50);
    double shares = 0;
    for (const TPieSlice &s : many)
        shares += s.share;
    EXPECT_DOUBLE_EQ(shares, 1.0);

    // Exactly as many items as slots need no rest; an item of no amount has no slice.
    EXPECT_EQ(PieSlices(Ranking(kTypeIn, {3, 2, 1}), 6, 3).size(), 3);
    EXPECT_EQ(PieSlices(Ranking(kTypeIn, {3, 0}), 3, 8).size(), 1);
    EXPECT_TRUE(PieSlices({}, 0).isEmpty());
}

TEST(ChartData, MonthBarsCoverEveryMonthOfTheSpanWithTheMonthTotals)
{
    TSearchResult r;
    r.fromDate = QDate(2025, 11, 20);
    r.toDate = QDate(2026, 2, 3);
    r.months = {{QDate(2025, 11, 1), 100, 50}, {QDate(2026, 2, 1), 0, 7}};
    const QList<TPeriodTotal> bars = MonthBars(r);
    ASSERT_EQ(bars.size(), 4);
    EXPECT_EQ(bars[0].date, QDate(2025, 11, 1));
    EXPECT_EQ(bars[0].in, 100);
    EXPECT_EQ(bars[1].date, QDate(2025, 12, 1));
    EXPECT_EQ(bars[1].in + bars[1].out, 0);
    EXPECT_EQ(bars[2].date, QDate(2026, 1, 1));
    EXPECT_EQ(bars[3].out, 7);
}

class ChartViewTest : public BrowseTest {
protected:
    // Ten expense items over three months (none in September) and two income items.
    void SeedAndShow()
    {
        QList<QStringList> records;
        for (int i = 0; i < 10; ++i)
            records.append({i < 5 ? "2009-08-0" + QString::number(i + 1) : "2009-10-1" + QString::number(i - 5),
                            "支出", QStringLiteral("项%1").arg(i), QString::number(100 - i * 10), ""});
        records.append({"2009-08-15", "收入", "工资", "300", ""});
        records.append({"2009-10-15", "收入", "奖金", "100.5", ""});
        db->AddRecords("U", NewRecords(records));
        Open();
        Search(QDate(2009, 8, 1), QDate(2009, 10, 31));
        rdoTransCharts()->setChecked(true);
        charts = Child<TChartView>(panel, "pnlTransCharts");
    }
    // The only series of one of the three charts.
    template <class T>
    T *Series(const char *chart) const
    {
        const QList<QAbstractSeries *> all = Child<QChartView>(charts, chart)->chart()->series();
        return all.size() == 1 ? qobject_cast<T *>(all.first()) : nullptr;
    }
    QPieSeries *OutSeries() const { return Series<QPieSeries>("chvOut"); }
    QPieSeries *InSeries() const { return Series<QPieSeries>("chvIn"); }
    QBarSeries *MonthSeries() const { return Series<QBarSeries>("chvMonths"); }

    TChartView *charts = nullptr;
};

TEST_F(ChartViewTest, PiesShowTheLargestItemsWithSharesAndBarsTheMonthTotals)
{
    SeedAndShow();
    EXPECT_TRUE(charts->isVisible());
    EXPECT_FALSE(pnlTransCategories()->isVisible());
    const QPieSeries *out = OutSeries();
    ASSERT_NE(out, nullptr);
    // 100 + 90 + ... + 10 = 550; five largest items, the other five (50 to 10) together.
    EXPECT_EQ(Labels(out), (QStringList{"项0 18.18%", "项1 16.36%", "项2 14.55%", "项3 12.73%", "项4 10.91%",
                                        "其他 27.27%"}));
    EXPECT_EQ(out->slices()[5]->value(), 150.0);
    EXPECT_DOUBLE_EQ(out->sum(), 550.0);
    EXPECT_EQ(Labels(InSeries()), (QStringList{"工资 74.91%", "奖金 25.09%"}));
    EXPECT_EQ(InSeries()->slices()[1]->value(), 100.5);

    const QBarSeries *months = MonthSeries();
    ASSERT_NE(months, nullptr);
    ASSERT_EQ(months->barSets().size(), 2);
    EXPECT_EQ(months->barSets()[0]->label(), QStringLiteral("收入"));
    EXPECT_EQ(Values(months->barSets()[0]), (QList<qreal>{300, 0, 100.5}));
    EXPECT_EQ(Values(months->barSets()[1]), (QList<qreal>{400, 0, 150}));
    const QList<TPeriodTotal> &totals = panel->LastSearch().months;
    ASSERT_EQ(totals.size(), 2);
    EXPECT_EQ(months->barSets()[1]->at(2), YuanFromFen(totals[1].out));
    auto *axis = qobject_cast<QBarCategoryAxis *>(Child<QChartView>(charts, "chvMonths")->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->categories(), (QStringList{"8月", "9月", "10月"}));

    // A new search while the view shows redraws it.
    Search(QDate(2009, 10, 1), QDate(2009, 10, 31));
    EXPECT_EQ(OutSeries()->count(), 5);
    EXPECT_EQ(Values(MonthSeries()->barSets()[1]), (QList<qreal>{150}));
}

TEST_F(ChartViewTest, ClickingASliceOpensTheDetailOfItsItemButNotOfTheRest)
{
    SeedAndShow();
    QString caption;
    QList<QStringList> rows;
    OnModal([&](QWidget *dialog) {
        auto *info = qobject_cast<TfrmMoreInfo *>(dialog);
        ASSERT_NE(info, nullptr);
        caption = info->windowTitle();
        rows = ListRows(Child<QTreeView>(info, "lvwRecs"));
        info->close();
    });
    emit OutSeries()->slices()[1]->clicked();
    EXPECT_EQ(caption, QStringLiteral("数量：1  合计：90.00"));
    EXPECT_EQ(rows, (QList<QStringList>{{"2009-08-02", "项1", "90.00", ""}}));

    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            opened = true;
            modal->close();
        }
    });
    emit OutSeries()->slices().last()->clicked();
    QApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST_F(ChartViewTest, SavedPictureDecodesAtTheSizeOfTheChartsAndShowsThem)
{
    SeedAndShow();
    QTemporaryDir dir;
    dialogs->fileNames << dir.filePath(QStringLiteral("图表"));
    QTest::mouseClick(Child<QPushButton>(charts, "btnSavePicture"), Qt::LeftButton);
    const QString path = dir.filePath(QStringLiteral("图表.png"));
    ASSERT_EQ(dialogs->Kinds(), (QStringList{"save", "message"}));
    EXPECT_EQ(dialogs->calls[1].text, QStringLiteral("成功！\r\n\r\n") + path);
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), Child<QWidget>(charts, "pnlCharts")->size());
    // The navy and maroon of the first slices and of the bars are in the picture.
    EXPECT_GT(PixelsLike(image, QColor(0, 0, 128)), 100);
    EXPECT_GT(PixelsLike(image, QColor(128, 0, 0)), 100);

    // An unwritable place is reported, and no success.
    dialogs->Reset();
    dialogs->fileNames << dir.filePath(QStringLiteral("no-such-folder/x.png"));
    QTest::mouseClick(Child<QPushButton>(charts, "btnSavePicture"), Qt::LeftButton);
    ASSERT_EQ(dialogs->Kinds(), (QStringList{"save", "message"}));
    EXPECT_EQ(dialogs->calls[1].icon, IDialogs::Icon::Error);
}

TEST_F(ChartViewTest, PrintingPreviewsOneA4PageWithTheChartsPicture)
{
    SeedAndShow();
    int pages = 0;
    QImage sheet;
    OnModal([&](QWidget *dialog) {
        auto *print = qobject_cast<TfrmPrint *>(dialog);
        ASSERT_NE(print, nullptr);
        const auto store = print->Report()->PageStore();
        pages = store->PageCount();
        const TStoredPage &page = store->Page(1);
        EXPECT_EQ(page.paperMm, QSizeF(210, 297));
        bool picture = false, title = false;
        for (const TPageItem &item : page.items) {
            picture |= item.kind == TPageItem::Kind::Image && !item.image.isNull();
            title |= item.text == QStringLiteral("U");
        }
        EXPECT_TRUE(picture);
        EXPECT_TRUE(title);
        sheet = RenderPageImage(page, QSizeF(72, 72));
        print->close();
    });
    QTest::mouseClick(Child<QPushButton>(charts, "btnChartsPrint"), Qt::LeftButton);
    EXPECT_EQ(pages, 1);
    EXPECT_GT(PixelsLike(sheet, QColor(128, 0, 0)), 50);
}
