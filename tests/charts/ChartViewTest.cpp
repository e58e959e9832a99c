#include "browse/BrowseFixture.h"
#include "support/TestSupport.h"
#include "browse/MoreInfoForm.h"
#include "charts/ChartData.h"
#include "charts/ChartView.h"
#include "output/report/CompositeReport.h"
#include "preview/PrintForm.h"

#include <QCategoryAxis>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineSeries>
#include <QListWidget>
#include <QToolTip>
#include "store/BudgetStore.h"
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

// The month labels of a chart's axis as the user reads them (line breaks as \n).
QStringList AxisLabels(const QWidget *charts, const char *chart)
{
    auto *axis = qobject_cast<QCategoryAxis *>(
        Child<QChartView>(charts, chart)->chart()->axes(Qt::Horizontal).value(0));
    if (!axis)
        return {};
    QStringList labels = axis->categoriesLabels();
    for (QString &l : labels)
        l = l.remove(QChar(0x200B)).replace(QStringLiteral("<br>"), QStringLiteral("\n"));
    return labels;
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
    // 100 + 90 + ... + 10 = 550: ten items, ten slices.
    EXPECT_EQ(out->count(), 10);
    EXPECT_EQ(Labels(out).first(), QStringLiteral("项0 18.18%"));
    EXPECT_EQ(Labels(out).last(), QStringLiteral("项9 1.82%"));
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
    EXPECT_EQ(AxisLabels(charts, "chvMonths"), (QStringList{"8月", "9月", "10月"}));

    // A new search while the view shows redraws it.
    Search(QDate(2009, 10, 1), QDate(2009, 10, 31));
    EXPECT_EQ(OutSeries()->count(), 5);
    EXPECT_EQ(panel->LastSearch().fromDate, QDate(2009, 10, 1));
    EXPECT_EQ(Values(MonthSeries()->barSets()[1]), (QList<qreal>{150}));
}

TEST_F(ChartViewTest, ClickingASliceOpensTheDetailOfItsItem)
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

TEST(ChartData, SixteenEvenItemsLeaveTheRestAMinorityAndSmallItemsGoTogether)
{
    // Sixteen even items: nine slices of their own, seven together, far from a majority.
    const QList<TPieSlice> even = PieSlices(Ranking(kTypeOut, QList<TFen>(16, 100)), 1600);
    ASSERT_EQ(even.size(), 10);
    EXPECT_TRUE(even.last().rest);
    EXPECT_EQ(even.last().held.size(), 7);
    EXPECT_EQ(even.last().held.first().item, QStringLiteral("项9"));
    EXPECT_LT(even.last().share, 0.5);
    // Beyond ten items, those under 3% go together even with slots left.
    const QList<TPieSlice> small = PieSlices(Ranking(kTypeOut, {500, 300, 150, 10, 10, 10, 10, 5, 3, 1, 1}), 1000);
    ASSERT_EQ(small.size(), 4);
    EXPECT_EQ(small[3].sum, 50);
    EXPECT_EQ(small[3].held.size(), 8);
}

TEST(ChartData, MonthLabelsFitTheRoomAndMarkTheYear)
{
    const struct {
        QDate first;
        int count, room;
        QStringList labels;
    } cases[] = {
        {QDate(2025, 3, 1), 12, 14,
         {"3月\n2025年", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月", "1月\n2026年", "2月"}},
        {QDate(2026, 1, 1), 3, 14, {"1月", "2月", "3月"}},
        {QDate(2024, 1, 1), 36, 14,
         {"1月\n2024年", "4月", "7月", "10月", "1月\n2025年", "4月", "7月", "10月", "1月\n2026年", "4月", "7月", "10月"}},
        {QDate(2016, 5, 1), 120, 14,
         {"2017年", "2018年", "2019年", "2020年", "2021年", "2022年", "2023年", "2024年", "2025年", "2026年"}},
        {QDate(2000, 1, 1), 240, 6, {"2000年", "2005年", "2010年", "2015年"}},
    };
    for (const auto &c : cases) {
        QStringList texts;
        for (const TAxisLabel &l : MonthAxisLabels(c.first, c.count, c.room))
            texts << l.text;
        EXPECT_EQ(texts, c.labels) << c.count;
        EXPECT_LE(texts.size(), c.room);
    }
}

TEST(ChartData, RangesOfTheDropDown)
{
    const QPair<QDate, QDate> none;
    const QPair<QDate, QDate> span{QDate(2019, 4, 2), QDate(2026, 11, 30)};
    const struct {
        TChartRange range;
        QDate today, from, to;
    } cases[] = {
        {TChartRange::ThisMonth, QDate(2026, 1, 31), QDate(2026, 1, 1), QDate(2026, 1, 31)},
        {TChartRange::ThisMonth, QDate(2024, 2, 29), QDate(2024, 2, 1), QDate(2024, 2, 29)},
        {TChartRange::LastMonth, QDate(2026, 1, 15), QDate(2025, 12, 1), QDate(2025, 12, 31)},
        {TChartRange::LastMonth, QDate(2026, 3, 31), QDate(2026, 2, 1), QDate(2026, 2, 28)},
        {TChartRange::ThisYear, QDate(2026, 12, 9), QDate(2026, 1, 1), QDate(2026, 12, 31)},
        {TChartRange::LastYear, QDate(2026, 1, 1), QDate(2025, 1, 1), QDate(2025, 12, 31)},
        {TChartRange::Last12Months, QDate(2026, 3, 31), QDate(2025, 4, 1), QDate(2026, 3, 31)},
        {TChartRange::Last12Months, QDate(2026, 12, 9), QDate(2026, 1, 1), QDate(2026, 12, 31)},
    };
    for (const auto &c : cases) {
        const QPair<QDate, QDate> got = RangeDates(c.range, c.today, none);
        EXPECT_EQ(got.first, c.from) << int(c.range) << " " << c.today.toString().toStdString();
        EXPECT_EQ(got.second, c.to) << int(c.range) << " " << c.today.toString().toStdString();
    }
    EXPECT_EQ(RangeDates(TChartRange::All, QDate(2026, 12, 9), span), span);
    EXPECT_EQ(RangeDates(TChartRange::All, QDate(2026, 12, 9), none),
              qMakePair(QDate(2026, 12, 1), QDate(2026, 12, 31)));
}

// A seeded ledger over two years and a half, searched as the view searches it; every
// series is checked against sums taken straight from the rows stored.
class ChartSeries : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TDbMan>(ledger.Path());
        db->AddUser(QStringLiteral("U"), QStringLiteral("pw"));
        const QStringList items{"宝宝奶粉钱", "餐饮", "房租", "水电"};
        for (QDate d(2024, 1, 3); d <= QDate(2026, 6, 28); d = d.addDays(5)) {
            const int n = d.dayOfYear();
            rows.append({d.toString(Qt::ISODate), "支出", items[n % 4], QString::number(10 + n % 37), ""});
            if (d.day() <= 5)
                rows.append({d.toString(Qt::ISODate), "收入", n % 2 ? "工资" : "奖金", QString::number(300 + n), ""});
        }
        db->AddRecords(QStringLiteral("U"), NewRecords(rows));
    }
    // The sum of the stored rows of type and item (any when empty) in the month of month.
    TFen Sum(const QString &type, const QString &item, const QDate &month) const
    {
        TFen sum = 0;
        for (const QStringList &r : rows) {
            const QDate d = QDate::fromString(r[0], Qt::ISODate);
            if (r[1] == type && (item.isEmpty() || r[2] == item) && d.year() == month.year() && d.month() == month.month())
                sum += FenFromYuan(r[3].toDouble());
        }
        return sum;
    }

    TTempLedger ledger;
    std::unique_ptr<TDbMan> db;
    QList<QStringList> rows;
};

TEST_F(ChartSeries, EveryKindEqualsTheSumsOfTheRecords)
{
    const TSearchResult r = db->Search(QStringLiteral("U"), QDate(2025, 3, 1), QDate(2026, 2, 28));
    const QPair<QDate, QDate> span = YearBeforeSpan(r.fromDate, r.toDate);
    EXPECT_EQ(span, qMakePair(QDate(2024, 3, 1), QDate(2025, 2, 28)));
    const TSearchResult before = db->Search(QStringLiteral("U"), span.first, span.second);

    const QList<TTrendMonth> trend = TrendMonths(r);
    ASSERT_EQ(trend.size(), 12);
    TFen running = 0;
    for (const TTrendMonth &m : trend) {
        EXPECT_EQ(m.in, Sum(kTypeIn, {}, m.month));
        EXPECT_EQ(m.out, Sum(kTypeOut, {}, m.month));
        running += m.in - m.out;
        EXPECT_EQ(m.running, running);
        EXPECT_EQ(m.balance, m.in - m.out);
    }

    const QList<TRankRow> choices = TrendItemChoices(r);
    ASSERT_EQ(choices.size(), 6);
    const QList<TItemTrend> items = ItemTrends(r, {choices[0], choices[4]});
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].type, kTypeIn);
    for (const TItemTrend &t : items)
        for (int m = 0; m < 12; ++m)
            EXPECT_EQ(t.sums[m], Sum(t.type, t.item, trend[m].month)) << t.item.toStdString() << m;

    for (const QString &type : {kTypeOut, kTypeIn}) {
        const QList<TYearMonth> yoy = YearOnYear(r, before, type);
        ASSERT_EQ(yoy.size(), 12);
        for (const TYearMonth &m : yoy) {
            EXPECT_EQ(m.now, Sum(type, {}, m.month));
            EXPECT_EQ(m.before, Sum(type, {}, m.month.addYears(-1)));
        }
    }
    EXPECT_DOUBLE_EQ(*ChangePercent(150, 100), 50.0);
    EXPECT_FALSE(ChangePercent(150, 0));

    // 餐饮 budgeted from before the span and cleared in January; 房租 from June on.
    TBudgetStore budgets(ledger.Path());
    budgets.SetBudgets(QStringLiteral("U"), QDate(2024, 11, 1), {{QStringLiteral("餐饮"), 10000}});
    budgets.SetBudgets(QStringLiteral("U"), QDate(2025, 6, 1), {{QStringLiteral("房租"), 5000}});
    budgets.SetBudgets(QStringLiteral("U"), QDate(2026, 1, 1), {{QStringLiteral("餐饮"), std::nullopt}});
    const QList<TBudgetMonth> execution = BudgetExecution(r, budgets.Settings(QStringLiteral("U")));
    ASSERT_EQ(execution.size(), 12);
    for (const TBudgetMonth &m : execution) {
        QStringList expected;
        if (m.month < QDate(2026, 1, 1))
            expected << "餐饮";
        if (m.month >= QDate(2025, 6, 1))
            expected << "房租";
        std::sort(expected.begin(), expected.end());
        QStringList got;
        for (const TBudgetLine &line : m.lines) {
            got << line.item;
            EXPECT_EQ(line.spent, Sum(kTypeOut, line.item, m.month));
            EXPECT_EQ(*line.budget, line.item == QStringLiteral("餐饮") ? 10000 : 5000);
        }
        EXPECT_EQ(got, expected) << MonthTitle(m.month).toStdString();
    }
}

namespace {

// Sixteen items of five characters, evenly spent each month from March 2025 to February
// 2026, and a salary every month.
QList<QStringList> EvenLedgerRows()
{
    QList<QStringList> records;
    for (int m = 0; m < 12; ++m) {
        const QString day = QDate(2025, 3, 10).addMonths(m).toString(Qt::ISODate);
        for (int i = 0; i < 16; ++i)
            records.append({day, "支出", QStringLiteral("宝宝奶粉%1").arg(QChar(u'甲' + i)), "100", ""});
        records.append({day, "收入", "工资", QString::number(2000 + m * 10), ""});
    }
    return records;
}

} // namespace

TEST_F(ChartViewTest, LegendsShowFiveCharacterItemsAndSharesInFullAndTheRestLeadsToTheRanking)
{
    db->AddRecords("U", NewRecords(EvenLedgerRows()));
    Open();
    Search(QDate(2025, 3, 1), QDate(2026, 2, 28));
    rdoTransCharts()->setChecked(true);
    charts = Child<TChartView>(panel, "pnlTransCharts");
    EXPECT_EQ(Child<QLabel>(charts, "lblChartsTitle")->text(), QStringLiteral("U (2025-03-01 至 2026-02-28)"));
    ASSERT_EQ(OutSeries()->count(), 10);
    QStringList legend;
    for (const QLabel *l : Child<QWidget>(charts, "lgdOut")->findChildren<QLabel *>(QStringLiteral("legendText")))
        legend << l->text();
    ASSERT_EQ(legend.size(), 10);
    EXPECT_TRUE(legend.first().startsWith(QStringLiteral("宝宝奶粉"))) << legend.first().toStdString();
    EXPECT_TRUE(legend.first().endsWith(QStringLiteral(" 6.25%"))) << legend.first().toStdString();
    EXPECT_EQ(legend.first().size(), 11);
    EXPECT_EQ(legend.last(), QStringLiteral("其他 43.75%"));
    for (const QLabel *l : Child<QWidget>(charts, "lgdOut")->findChildren<QLabel *>(QStringLiteral("legendText")))
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();

    // The months of a year across two calendar years, read from the axis.
    const QStringList months = AxisLabels(charts, "chvMonths");
    ASSERT_GE(months.size(), 6);
    EXPECT_EQ(months.first(), QStringLiteral("3月\n2025年"));
    EXPECT_TRUE(months.contains(QStringLiteral("1月\n2026年")));
    EXPECT_FALSE(months.join(QString()).contains(QChar(0x2026)));

    // The rest's tip lists what it holds; it stays at the next tool tip event.
    QPieSlice *rest = OutSeries()->slices().last();
    auto *view = Child<QChartView>(charts, "chvOut");
    emit rest->hovered(true);
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("其他 8400.00 (43.75%)\n包括：\n  宝宝奶粉")))
        << QToolTip::text().toStdString();
    EXPECT_EQ(QToolTip::text().count(QLatin1Char('\n')), 8);
    emit rest->hovered(false);

    emit rest->clicked();
    EXPECT_TRUE(pnlTransCategories()->isVisible());
    EXPECT_EQ(SelectedRow(lvwOutCates()), 9);
    EXPECT_EQ(panel->CurrentCatesList(), lvwOutCates());
}

TEST_F(ChartViewTest, AMonthBarTellsItsFiguresAndLeadsToItsRecords)
{
    SeedAndShow();
    auto *view = Child<QChartView>(charts, "chvMonths");
    emit MonthSeries()->hovered(true, 2, MonthSeries()->barSets()[0]);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("2009年10月\n收入：100.50\n支出：150.00\n结余：-49.50"));
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    emit MonthSeries()->hovered(false, 2, MonthSeries()->barSets()[0]);

    emit MonthSeries()->clicked(2, MonthSeries()->barSets()[1]);
    EXPECT_TRUE(lvwTrans()->isVisible());
    EXPECT_TRUE(lvwMonthTotal()->isVisible());
    EXPECT_EQ(SelectedRow(lvwMonthTotal()), 1);
    // Six records in August, then October's are marked.
    EXPECT_EQ(RowsModel(lvwTrans())->FirstMarkedRow(), 6);
}

TEST_F(ChartViewTest, ThreeYearsAreLabelledEveryFewMonthsAndAnEmptySearchSaysSo)
{
    db->AddRecords("U", NewRecords({{"2023-02-01", "支出", "米", "5", ""}, {"2025-12-01", "收入", "工资", "9", ""}}));
    Open();
    rdoTransCharts()->setChecked(true);
    charts = Child<TChartView>(panel, "pnlTransCharts");
    Search(QDate(2023, 1, 1), QDate(2025, 12, 31));
    const QStringList labels = AxisLabels(charts, "chvMonths");
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.first(), QStringLiteral("1月\n2023年"));
    EXPECT_TRUE(labels.contains(QStringLiteral("1月\n2025年")));
    EXPECT_LE(labels.size(), 12);
    for (const QString &l : labels)
        EXPECT_FALSE(l.contains(QChar(0x2026)));

    Search(QDate(2024, 3, 1), QDate(2024, 3, 31));
    for (const char *chart : {"chvOut", "chvIn", "chvMonths"}) {
        EXPECT_TRUE(Child<QLabel>(Child<QChartView>(charts, chart), "lblNoRecords")->isVisible()) << chart;
        EXPECT_TRUE(Child<QChartView>(charts, chart)->chart()->series().isEmpty()) << chart;
        EXPECT_TRUE(Child<QChartView>(charts, chart)->chart()->axes().isEmpty()) << chart;
    }
    // The year before of an empty search is searched once the search has settled.
    Child<QComboBox>(charts, "cboChartKind")->setCurrentIndex(3);
    QApplication::processEvents();
    EXPECT_TRUE(Child<QLabel>(Child<QChartView>(charts, "chvYear"), "lblNoRecords")->isVisible());
    EXPECT_EQ(Child<QChartView>(charts, "chvYear")->chart()->title(), QStringLiteral("支出同比：本期与去年同期"));
    // Budgets against spending without any budget says where to set them.
    Child<QComboBox>(charts, "cboChartKind")->setCurrentIndex(4);
    const QLabel *note = Child<QLabel>(Child<QChartView>(charts, "chvBudget"), "lblNoRecords");
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("还没有设置预算：菜单 → 月度预算..."));
}

TEST_F(ChartViewTest, TheRangeDropDownSetsTheDatesAndSearches)
{
    db->AddRecords("U", NewRecords({{"2020-05-06", "支出", "米", "5", ""}, {"2021-07-08", "收入", "工资", "9", ""}}));
    Open();
    rdoTransCharts()->setChecked(true);
    charts = Child<TChartView>(panel, "pnlTransCharts");
    auto *range = Child<QComboBox>(charts, "cboChartRange");
    EXPECT_EQ(range->itemText(4), QStringLiteral("近12个月"));
    const QDate today = QDate::currentDate();
    range->setCurrentIndex(1);
    emit range->activated(1);
    const QPair<QDate, QDate> last = RangeDates(TChartRange::LastMonth, today, {});
    EXPECT_EQ(dtpTransDate1()->date(), last.first);
    EXPECT_EQ(dtpTransDate2()->date(), last.second);
    EXPECT_EQ(panel->LastSearch().fromDate, last.first);
    EXPECT_EQ(panel->LastSearch().toDate, last.second);
    EXPECT_EQ(range->currentIndex(), 1);

    range->setCurrentIndex(5);
    emit range->activated(5);
    EXPECT_EQ(panel->LastSearch().fromDate, QDate(2020, 5, 6));
    EXPECT_EQ(panel->LastSearch().toDate, QDate(2021, 7, 8));
    EXPECT_EQ(panel->LastSearch().records.size(), 2);
    // A range typed into the pickers is no longer the chosen one.
    Search(QDate(2021, 1, 1), QDate(2021, 7, 8));
    EXPECT_EQ(range->currentIndex(), -1);
}

TEST_F(ChartViewTest, EveryKindIsDrawnAndSavedWithItsTitle)
{
    db->AddRecords("U", NewRecords(EvenLedgerRows()));
    TBudgetStore(ledger.Path()).SetBudgets("U", QDate(2025, 1, 1), {{QStringLiteral("宝宝奶粉甲"), 5000}});
    Open();
    rdoTransCharts()->setChecked(true);
    charts = Child<TChartView>(panel, "pnlTransCharts");
    Search(QDate(2025, 3, 1), QDate(2026, 2, 28));
    auto *kind = Child<QComboBox>(charts, "cboChartKind");
    const QStringList kinds{"收支构成", "收支趋势", "项目趋势", "同比", "预算执行"};
    ASSERT_EQ(kind->count(), 5);
    const char *views[] = {"chvMonths", "chvTrend", "chvItems", "chvYear", "chvBudget"};
    QTemporaryDir dir;
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(kind->itemText(k), kinds[k]);
        kind->setCurrentIndex(k);
        QChart *chart = Child<QChartView>(charts, views[k])->chart();
        EXPECT_FALSE(chart->series().isEmpty()) << views[k];
        EXPECT_TRUE(AxisLabels(charts, views[k]).contains(QStringLiteral("1月\n2026年"))) << views[k];
        dialogs->Reset();
        const QString path = dir.filePath(QStringLiteral("%1.png").arg(k));
        dialogs->fileNames << path;
        QTest::mouseClick(Child<QPushButton>(charts, "btnSavePicture"), Qt::LeftButton);
        ASSERT_EQ(dialogs->Kinds(), (QStringList{"save", "message"})) << k;
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << k;
        // The title is drawn in black across the top band.
        const QImage band = image.copy(0, 0, image.width(), Child<QLabel>(charts, "lblChartsTitle")->height());
        EXPECT_GT(PixelsLike(band, Qt::black), 20) << k;
    }
    // The trend: bars of income and expense, the month's balance and the running balance.
    kind->setCurrentIndex(1);
    const QList<QAbstractSeries *> trend = Child<QChartView>(charts, "chvTrend")->chart()->series();
    ASSERT_EQ(trend.size(), 3);
    auto *running = qobject_cast<QLineSeries *>(trend[2]);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->at(11).y(), YuanFromFen(panel->LastSearch().Balance()));
    // The item trend starts with the five largest expense items.
    kind->setCurrentIndex(2);
    EXPECT_EQ(Child<QChartView>(charts, "chvItems")->chart()->series().size(), kDefaultTrendItems);
    auto *list = Child<QListWidget>(charts, "lstTrendItems");
    list->item(list->count() - 1)->setCheckState(Qt::Checked);
    EXPECT_EQ(Child<QChartView>(charts, "chvItems")->chart()->series().last()->name(), QStringLiteral("工资（收入）"));
    // Over budget in red: 宝宝奶粉甲 spends 100 a month against 50.
    kind->setCurrentIndex(4);
    auto *budget = qobject_cast<QBarSeries *>(Child<QChartView>(charts, "chvBudget")->chart()->series().value(0));
    ASSERT_NE(budget, nullptr);
    ASSERT_EQ(budget->barSets().size(), 1);
    EXPECT_EQ(budget->barSets()[0]->selectedBars().size(), 12);
}
