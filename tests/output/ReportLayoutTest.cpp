#include "output/Reports.h"

#include <QRect>

#include <gtest/gtest.h>

namespace {
// Fixes the screen resolution for one test.
class TFixedResolution {
public:
    explicit TFixedResolution(double ppi) { SetScreenPixelsPerInch(ppi, ppi); }
    ~TFixedResolution() { SetScreenPixelsPerInch(0, 0); }
};

QList<const TReportLabel *> Labels(const TPageReport &page)
{
    QList<const TReportLabel *> labels;
    for (const auto &control : page.Band()->Controls())
        if (const auto *label = dynamic_cast<const TReportLabel *>(control.get()))
            labels << label;
    return labels;
}

// The labels of a page with this caption, in the order they were placed.
QList<const TReportLabel *> LabelsWith(const TPageReport &page, const QString &caption)
{
    QList<const TReportLabel *> found;
    for (const TReportLabel *label : Labels(page))
        if (label->Caption() == caption)
            found << label;
    return found;
}

const TReportLabel &Only(const TPageReport &page, const QString &caption)
{
    const auto found = LabelsWith(page, caption);
    if (found.size() != 1)
        throw std::runtime_error("expected one label " + caption.toStdString() + ", found " +
                                 std::to_string(found.size()));
    return *found.first();
}

int Right(const TReportLabel &label)
{
    return label.Left + label.Width();
}

const TReportHeader Header{QStringLiteral("宝贝"), QDate(2024, 3, 1), QDate(2024, 3, 31), 150000, 32050};

QList<TRecord> TransRows(int count)
{
    QList<TRecord> list;
    for (int i = 1; i <= count; ++i)
        list << TRecord{i, QDate(2024, 3, i % 28 + 1), i % 2 ? kTypeIn : kTypeOut,
                        QStringLiteral("条目%1").arg(i, 3, 10, QLatin1Char('0')),
                        i % 2 ? TFen(i) * 100 : TFen(i) * 100 + 50, QStringLiteral("备注%1").arg(i)};
    return list;
}

QList<TRankRow> InCates()
{
    return {{kTypeIn, "工资", 2, 120000}, {kTypeIn, "奖金", 1, 20000}, {kTypeIn, "利息", 3, 10000}};
}

QList<TRankRow> OutCates()
{
    return {{kTypeOut, "餐饮", 9, 30050}, {kTypeOut, "交通", 4, 2000}};
}
} // namespace

TEST(ReportLayout, PageAndBandSizesFollowTheScreenResolution)
{
    {
        const TFixedResolution ppi(96);
        EXPECT_EQ(QSize(ReportPageWidth(), ReportPageHeight()), QSize(794, 1123));
        EXPECT_EQ(QSize(ReportBandWidth(), ReportBandHeight()), QSize(718, 1047));
        EXPECT_EQ(ScaleX(578), 578);
        EXPECT_EQ(ScaleY(86 + 51 * 18), 1004);
    }
    {
        const TFixedResolution ppi(120);
        EXPECT_EQ(QSize(ReportPageWidth(), ReportPageHeight()), QSize(992, 1403));
        EXPECT_EQ(QSize(ReportBandWidth(), ReportBandHeight()), QSize(898, 1309));
        // n x 1.25, halves to even: 22.5 -> 22, 72.5 -> 72, 107.5 -> 108, 722.5 -> 722.
        EXPECT_EQ(ScaleY(18), 22);
        EXPECT_EQ(ScaleY(58), 72);
        EXPECT_EQ(ScaleY(86), 108);
        EXPECT_EQ(ScaleX(578), 722);
        EXPECT_EQ(ScaleX(78), 98);
        EXPECT_EQ(ScaleX(510), 638);
        EXPECT_EQ(ScaleY(1), 1);
    }
}

TEST(ReportLayout, FiftyTwoRowsFillOnePageAndTheFiftyThirdStartsTheNext)
{
    const TFixedResolution ppi(96);
    TReportPages pages;
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(52)));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Only(*pages[0], QStringLiteral("条目052")).Top, 1004);

    LayOutAllPages(pages, TransactionsReport(Header, TransRows(53)));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(LabelsWith(*pages[0], QStringLiteral("条目053")).isEmpty());
    const TReportLabel &first = Only(*pages[1], QStringLiteral("条目053"));
    EXPECT_EQ(first.Top, 86);
    EXPECT_EQ(first.Left, 78);
    EXPECT_EQ(Only(*pages[1], QStringLiteral("2024-03-26")).Top, 86);

    const TPageReport &page = *pages[1];
    EXPECT_EQ(page.Size, QSize(794, 1123));
    EXPECT_EQ(page.Band()->Size, QSize(718, 1047));
    EXPECT_TRUE(page.Band()->ForceNewPage);
    EXPECT_FALSE(page.Band()->ForceNewColumn);
}

TEST(ReportLayout, EveryPageRepeatsTheHeaderAndOnlyThePageNumberChanges)
{
    const TFixedResolution ppi(96);
    TReportPages pages;
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(120)));
    ASSERT_EQ(pages.size(), 3u);

    // Header labels come first on every page: title, period, three caption/value pairs,
    // then the five headings, then the page number.
    const int headerLabels = 1 + 1 + 6 + 5 + 1;
    for (size_t p = 0; p < pages.size(); ++p) {
        const auto labels = Labels(*pages[p]);
        ASSERT_GE(labels.size(), headerLabels);
        QStringList captions;
        for (int i = 0; i < headerLabels; ++i)
            captions << labels[i]->Caption();
        EXPECT_EQ(captions, (QStringList{"宝贝", "(2024-03-01 至 2024-03-31)", "收入合计：", "1500.00",
                                         "支出合计：", "320.50", "结余合计：", "1179.50", "日期", "项目",
                                         "收入", "支出", "备注", QStringLiteral("第 %1 页").arg(p + 1)}));
        for (int i = 0; i < headerLabels - 1; ++i) {
            EXPECT_EQ(labels[i]->Left, Labels(*pages[0])[i]->Left) << i;
            EXPECT_EQ(labels[i]->Top, Labels(*pages[0])[i]->Top) << i;
        }
    }
    // The last page carries only the remaining 16 rows of five cells.
    EXPECT_EQ(Labels(*pages[2]).size(), headerLabels + 16 * 5);

    const TPageReport &page = *pages[0];
    const TReportLabel &title = Only(page, QStringLiteral("宝贝"));
    EXPECT_EQ(title.Font().pointSize(), 14);
    EXPECT_TRUE(title.Font().bold());
    EXPECT_EQ(title.Left, (578 - title.Width()) / 2);
    EXPECT_EQ(title.Top, 0);
    const TReportLabel &period = Only(page, QStringLiteral("(2024-03-01 至 2024-03-31)"));
    EXPECT_EQ(period.Left, (578 - period.Width()) / 2);
    EXPECT_EQ(period.Top, 36);
    EXPECT_FALSE(period.Font().bold());
    EXPECT_EQ(period.Font().pointSize(), 8);

    const struct {
        const char *caption, *value;
        int top;
    } totals[] = {{"收入合计：", "1500.00", 0}, {"支出合计：", "320.50", 18}, {"结余合计：", "1179.50", 36}};
    for (const auto &t : totals) {
        EXPECT_EQ(Only(page, QString::fromUtf8(t.caption)).Left, 578);
        EXPECT_EQ(Only(page, QString::fromUtf8(t.caption)).Top, t.top);
        EXPECT_EQ(Right(Only(page, QString::fromUtf8(t.value))), 718);
        EXPECT_EQ(Only(page, QString::fromUtf8(t.value)).Top, t.top);
    }

    const TReportLabel &number = Only(page, QStringLiteral("第 1 页"));
    EXPECT_EQ(number.Left, (718 - number.Width()) / 2);
    EXPECT_EQ(number.Top + number.Height(), 1047);

    const TReportShape *rule = nullptr;
    for (const auto &control : page.Band()->Controls())
        if (auto *shape = dynamic_cast<const TReportShape *>(control.get()))
            rule = shape;
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(QRect(rule->Left, rule->Top, rule->Width(), rule->Height()), QRect(0, 58, 718, 1));
    EXPECT_EQ(rule->FillColor, QColor(Qt::black));
}

TEST(ReportLayout, TransactionColumnsArePlacedByTheirEdges)
{
    const TFixedResolution ppi(96);
    TReportPages pages;
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(2)));
    const TPageReport &page = *pages[0];
    for (const char *heading : {"日期", "项目", "收入", "支出", "备注"})
        EXPECT_EQ(Only(page, QString::fromUtf8(heading)).Top, 68) << heading;
    EXPECT_EQ(Only(page, QStringLiteral("日期")).Left, 0);
    EXPECT_EQ(Only(page, QStringLiteral("项目")).Left, 78);
    EXPECT_EQ(Right(Only(page, QStringLiteral("收入"))), 394);
    EXPECT_EQ(Right(Only(page, QStringLiteral("支出"))), 486);
    EXPECT_EQ(Only(page, QStringLiteral("备注")).Left, 494);

    // Row 1 has income 1.00, row 2 an expense of 2.50; empty cells are empty labels.
    EXPECT_EQ(Right(Only(page, QStringLiteral("1.00"))), 394);
    EXPECT_EQ(Only(page, QStringLiteral("1.00")).Top, 86);
    EXPECT_EQ(Right(Only(page, QStringLiteral("2.50"))), 486);
    EXPECT_EQ(Only(page, QStringLiteral("2.50")).Top, 104);
    EXPECT_EQ(Only(page, QStringLiteral("备注2")).Left, 494);
    const auto empty = LabelsWith(page, QString());
    ASSERT_EQ(empty.size(), 2);
    EXPECT_EQ(empty[0]->Width(), 0);
    EXPECT_GT(empty[0]->Height(), 0);
}

TEST(ReportLayout, RankingPrintsIncomeRowsThenExpenseRowsWithAmountsInTheirColumn)
{
    const TFixedResolution ppi(96);
    TReportPages pages;
    LayOutAllPages(pages, RankingReport(Header, InCates(), OutCates()));
    ASSERT_EQ(pages.size(), 1u);
    const TPageReport &page = *pages[0];

    const QStringList items{"工资", "奖金", "利息", "餐饮", "交通"};
    for (int i = 0; i < items.size(); ++i) {
        const TReportLabel &item = Only(page, items[i]);
        EXPECT_EQ(item.Top, 86 + i * 18) << i;
        EXPECT_EQ(item.Left, 78);
    }
    EXPECT_EQ(LabelsWith(page, QStringLiteral("收入")).size(), 1 + 3);  // heading and kinds
    EXPECT_EQ(LabelsWith(page, QStringLiteral("支出")).size(), 1 + 2);

    EXPECT_EQ(Right(Only(page, QStringLiteral("1200.00"))), 510);
    EXPECT_EQ(Right(Only(page, QStringLiteral("100.00"))), 510);
    EXPECT_EQ(Right(Only(page, QStringLiteral("300.50"))), 602);
    EXPECT_EQ(Right(Only(page, QStringLiteral("20.00"))), 602);
    EXPECT_EQ(Right(Only(page, QStringLiteral("3"))), 418);
    EXPECT_EQ(Right(Only(page, QStringLiteral("93.76%"))), 718);
    EXPECT_EQ(Right(Only(page, QStringLiteral("0 - 100%"))), 718);

    // Per row six cells: an expense row's 收入 cell and an income row's 支出 cell are empty.
    const auto labels = Labels(page);
    const qsizetype firstCell = labels.indexOf(&Only(page, QStringLiteral("第 1 页"))) + 1;
    ASSERT_EQ(labels.size(), firstCell + 5 * 6);
    const auto cell = [&](int row, int column) { return labels[firstCell + row * 6 + column]->Caption(); };
    EXPECT_EQ(cell(0, 3), QStringLiteral("1200.00"));
    EXPECT_EQ(cell(0, 4), QString());
    EXPECT_EQ(cell(3, 0), QStringLiteral("支出"));
    EXPECT_EQ(cell(3, 3), QString());
    EXPECT_EQ(cell(3, 4), QStringLiteral("300.50"));
}

TEST(ReportLayout, AnExpenseRecordPrintsItsAmountUnderExpense)
{
    const TFixedResolution ppi(96);
    TReportPages pages;
    LayOutAllPages(pages,
                   TransactionsReport(Header, {TRecord{1, QDate(2024, 3, 5), kTypeOut, "餐饮", 1200, "午饭"}}));
    const TPageReport &page = *pages[0];
    EXPECT_EQ(Only(page, QStringLiteral("2024-03-05")).Left, 0);
    EXPECT_EQ(Only(page, QStringLiteral("餐饮")).Left, 78);
    EXPECT_EQ(Right(Only(page, QStringLiteral("12.00"))), 486);
    EXPECT_EQ(Only(page, QStringLiteral("午饭")).Left, 494);
}

TEST(ReportLayout, PositionsScaleWithTheScreenResolution)
{
    const TFixedResolution ppi(120);
    TReportPages pages;
    LayOutAllPages(pages, RankingReport(Header, InCates(), OutCates()));
    const TPageReport &page = *pages[0];
    EXPECT_EQ(page.Size, QSize(992, 1403));
    EXPECT_EQ(page.Band()->Size, QSize(898, 1309));
    EXPECT_EQ(page.PixelsPerInch(), QSizeF(120, 120));

    EXPECT_EQ(Only(page, QStringLiteral("工资")).Left, 98);
    EXPECT_EQ(Only(page, QStringLiteral("工资")).Top, 108);      // 86 -> 107.5 -> 108
    EXPECT_EQ(Only(page, QStringLiteral("奖金")).Top, 130);      // 104 -> 130
    EXPECT_EQ(Only(page, QStringLiteral("利息")).Top, 152);      // 122 -> 152.5 -> 152
    EXPECT_EQ(Right(Only(page, QStringLiteral("1200.00"))), 638);
    EXPECT_EQ(Right(Only(page, QStringLiteral("300.50"))), 752);  // 602 -> 752.5 -> 752
    EXPECT_EQ(Right(Only(page, QStringLiteral("2"))), 522);       // 418 -> 522.5 -> 522
    EXPECT_EQ(Only(page, QStringLiteral("收入合计：")).Left, 722);
    EXPECT_EQ(Only(page, QStringLiteral("支出合计：")).Top, 22);
    EXPECT_EQ(Only(page, QStringLiteral("类别")).Top, 85);
    const TReportLabel &number = Only(page, QStringLiteral("第 1 页"));
    EXPECT_EQ(number.Top + number.Height(), 1309);
    EXPECT_EQ(number.Left, (898 - number.Width()) / 2);
}

TEST(ReportLayout, LabelsSizeThemselvesAtTheReportResolution)
{
    QList<int> widths;
    for (double ppi : {96.0, 192.0}) {
        TPageReport page(QSizeF(ppi, ppi));
        TReportLabel *label = CreateReportLabel(page);
        EXPECT_TRUE(label->AutoSize);
        EXPECT_TRUE(label->Transparent);
        EXPECT_EQ(label->Font().family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(label->Font().pointSize(), 8);
        EXPECT_EQ(label->Caption(), QString());
        EXPECT_EQ(label->Width(), 0);
        label->SetCaption(QStringLiteral("支出合计：12345.67"));
        widths << label->Width();
        const int regular = label->Width();
        QFont bold = label->Font();
        bold.setPointSize(14);
        label->SetFont(bold);
        EXPECT_GT(label->Width(), regular);
    }
    // Twice the resolution, about twice the pixels.
    EXPECT_NEAR(widths[1], 2 * widths[0], 4);
}

TEST(ReportLayout, FreeingReleasesEveryPage)
{
    TReportPages pages;
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(200)));
    EXPECT_EQ(pages.size(), 4u);
    FreeReportPages(pages);
    EXPECT_TRUE(pages.empty());
    // Building again starts from nothing.
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(1)));
    LayOutAllPages(pages, TransactionsReport(Header, TransRows(1)));
    EXPECT_EQ(pages.size(), 1u);
}
