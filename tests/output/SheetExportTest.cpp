#include "output/XlrdReader.h"
#include "base/Errors.h"
#include "output/SheetExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString Delivered(const char *name)
{
    return QStringLiteral(TALLYFERN_BIN_DIR "/") + QString::fromLatin1(name);
}

const QList<QStringList> kSummary100 = {
    {"", "宝贝 (2026-01-01 至 2026-01-31)", "", "", ""},
    {"", "收入合计：100.00", "", "", ""},
    {"", "支出合计：250.50", "", "", ""},
    {"", "结余合计：-150.50", "", "", ""},
};

QString WriteText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

QStringList Texts(const QList<TSheetCell> &row)
{
    QStringList texts;
    for (const TSheetCell &cell : row)
        texts.append(cell.text);
    return texts;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(SheetExport, TransactionRowsLeaveEmptyAmountsAndEmptyNotesOut)
{
    const TSheetRows sheet = TransSheetRows(
        {Rec(7, "2026-01-02", kTypeIn, "工资", 10000), Rec(9, "2026-01-03", kTypeOut, "奶粉", 25050, "  两罐  ")},
        Header(10000, 25050));
    EXPECT_EQ(sheet.columns, (QStringList{"日期", "项目", "收入", "支出", "备注"}));
    ASSERT_EQ(sheet.rows.size(), 6);
    EXPECT_EQ(Texts(sheet.rows[0]), (QStringList{"2026-01-02", "工资", "100.00", QString(), QString()}));
    EXPECT_TRUE(sheet.rows[0][3].text.isNull() && sheet.rows[0][4].text.isNull());
    EXPECT_EQ(Texts(sheet.rows[1]), (QStringList{"2026-01-03", "奶粉", QString(), "250.50", "  两罐  "}));
    EXPECT_TRUE(sheet.rows[1][2].text.isNull());
    // Title and totals rows come last and fill only the item column.
    EXPECT_EQ(Texts(sheet.rows[2]), (QStringList{QString(), "宝贝 (2026-01-01 至 2026-01-31)", QString(), QString(), QString()}));
    EXPECT_EQ(sheet.rows[3][1].text, QStringLiteral("收入合计：100.00"));
    EXPECT_EQ(sheet.rows[4][1].text, QStringLiteral("支出合计：250.50"));
    EXPECT_EQ(sheet.rows[5][1].text, QStringLiteral("结余合计：-150.50"));
    EXPECT_TRUE(sheet.rows[5][0].text.isNull() && sheet.rows[5][2].text.isNull());
}

TEST(SheetExport, RankingRowsPlaceTheAmountUnderTheirTypeWithSharesOfTheTypeTotal)
{
    const TSheetRows sheet = CatesSheetRows(
        {Rank(kTypeIn, "工资", 1, 10000)},
        {Rank(kTypeOut, "奶粉", 3, 20000), Rank(kTypeOut, "怪", 1, 5050)},
        Header(10000, 25050));
    EXPECT_EQ(sheet.columns, (QStringList{"类别", "项目", "数量", "收入", "支出", "比例"}));
    ASSERT_EQ(sheet.rows.size(), 3 + 4);
    EXPECT_EQ(Texts(sheet.rows[0]), (QStringList{"收入", "工资", "1", "100.00", QString(), "100.00%"}));
    EXPECT_EQ(Texts(sheet.rows[1]), (QStringList{"支出", "奶粉", "3", QString(), "200.00", "79.84%"}));
    EXPECT_EQ(Texts(sheet.rows[2]), (QStringList{"支出", "怪", "1", QString(), "50.50", "20.16%"}));
    EXPECT_EQ(sheet.rows[1][2].number, 3.0);   // the count is a number
    EXPECT_EQ(sheet.rows[3][1].text, QStringLiteral("宝贝 (2026-01-01 至 2026-01-31)"));
}

TEST(SheetExport, TransactionsWorkbookReadsBackWithTitleAndTotalsAndIsNeverAccumulated)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("trans.xls"));
    const TSheetRows sheet = TransSheetRows(
        {Rec(1, "2026-01-02", kTypeIn, "工资 😀", 10000), Rec(2, "2026-01-03", kTypeOut, "奶粉's <b>", 25050, " 备注 ")},
        Header(10000, 25050));
    WriteSheetExport(Delivered("trans.xls"), target, sheet);
    WriteSheetExport(Delivered("trans.xls"), target, sheet);

    const TXlrdBook read = ReadWithXlrd(target);
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_TRUE(read.CleanLog()) << read.log.toStdString();
    QList<QStringList> expected = {{"日期", "项目", "收入", "支出", "备注"},
                                   {"2026-01-02", "工资 😀", "100.00", "", ""},
                                   {"2026-01-03", "奶粉's <b>", "", "250.50", " 备注 "}};
    expected += kSummary100;
    EXPECT_EQ(read.rows, expected);
}

TEST(SheetExport, IncomeOnlyAndExpenseOnlyRankingsWriteJustTheirRows)
{
    QTemporaryDir dir;
    const QString inOnly = dir.filePath(QStringLiteral("in.xls"));
    WriteSheetExport(Delivered("cates.xls"), inOnly,
                     CatesSheetRows({Rank(kTypeIn, "工资", 2, 10000)}, {}, Header(10000, 0)));
    const TXlrdBook in = ReadWithXlrd(inOnly);
    ASSERT_TRUE(in.opened) << in.error.toStdString();
    EXPECT_TRUE(in.CleanLog()) << in.log.toStdString();
    EXPECT_EQ(in.rows, (QList<QStringList>{{"类别", "项目", "数量", "收入", "支出", "比例"},
                                           {"收入", "工资", "2", "100.00", "", "100.00%"},
                                           {"", "宝贝 (2026-01-01 至 2026-01-31)", "", "", "", ""},
                                           {"", "收入合计：100.00", "", "", "", ""},
                                           {"", "支出合计：0.00", "", "", "", ""},
                                           {"", "结余合计：100.00", "", "", "", ""}}));

    const QString outOnly = dir.filePath(QStringLiteral("out.xls"));
    WriteSheetExport(Delivered("cates.xls"), outOnly,
                     CatesSheetRows({}, {Rank(kTypeOut, "奶粉", 3, 3500), Rank(kTypeOut, "尿布", 1, 0)},
                                    Header(0, 3500)));
    const TXlrdBook out = ReadWithXlrd(outOnly);
    ASSERT_TRUE(out.opened) << out.error.toStdString();
    ASSERT_EQ(out.rows.size(), 1 + 2 + 4);
    EXPECT_EQ(out.rows[1], (QStringList{"支出", "奶粉", "3", "", "35.00", "100.00%"}));
    EXPECT_EQ(out.rows[2], (QStringList{"支出", "尿布", "1", "", "0.00", "0.00%"}));
    EXPECT_EQ(out.rows[6][1], QStringLiteral("结余合计：-35.00"));
}

TEST(SheetExport, AnUnusableTemplateIsReportedAndTheTargetLeftAlone)
{
    QTemporaryDir dir;
    const QString target = WriteText(dir.filePath(QStringLiteral("keep.xls")), "earlier export");
    const TSheetRows trans = TransSheetRows({}, Header(0, 0));
    auto failure = [&](const QString &templ, const TSheetRows &rows) {
        try {
            WriteSheetExport(templ, target, rows);
        } catch (const TError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(failure(dir.filePath(QStringLiteral("missing.xls")), trans).contains(QStringLiteral("找不到")));
    const QString html = WriteText(dir.filePath(QStringLiteral("page.xls")), "<html></html>");
    EXPECT_TRUE(failure(html, trans).contains(QStringLiteral("不是Excel 97-2003工作簿")));
    // The transactions template has no 类别 column for a ranking.
    const QString wrong = failure(Delivered("trans.xls"), CatesSheetRows({}, {}, Header(0, 0)));
    EXPECT_TRUE(wrong.contains(QStringLiteral("“类别”"))) << wrong.toStdString();
    EXPECT_EQ(ReadAll(target), QByteArray("earlier export"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);   // no temporary file left
}
