#include "output/XlrdReader.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "browse/ExportCommands.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// A signed-in window whose browsing view shows two records and their ranking, as a search
// of January 2026 with income 100 and expense 250.5 leaves it.
class ExportCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
        TTransPanel *p = TransactionsPanel(window);
        TSearchResult result;
        result.fromDate = QDate(2026, 1, 1);
        result.toDate = QDate(2026, 1, 31);
        result.inTotal = 10000;
        result.outTotal = 25050;
        result.records = {Rec(1, "2026-01-02", kTypeIn, "工资", 10000),
                          Rec(2, "2026-01-03", kTypeOut, "奶粉 <b>", 25050, " 两罐 ")};
        result.inRanking = {Rank(kTypeIn, "工资", 1, 10000)};
        result.outRanking = {Rank(kTypeOut, "奶粉 <b>", 1, 25050)};
        p->ShowResult(result);
        // Pickers changed after the search do not reach the exports.
        Child<QDateEdit>(p, "dtpTransDate1")->setDate(QDate(2020, 5, 5));
    }

    QString Path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
    // An entry of the browsing view's export menus, by its object name.
    QAction *Entry(const char *name) const { return Child<QAction>(TransactionsPanel(window), name); }

    TTempLedger ledger;
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
};

} // namespace

TEST_F(ExportCommands, TransactionsWorkbookIsWrittenAndTheSuccessShownAfterwards)
{
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("报表");
    Entry("btnTransMore_ToXls")->trigger();

    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"}));
    EXPECT_EQ(d.calls[0].text, QStringLiteral("*.xls (*.xls)"));
    EXPECT_EQ(d.calls[1].text, QStringLiteral("成功！\r\n\r\n") + Path("报表.xls"));
    EXPECT_EQ(d.calls[1].caption, QStringLiteral("Tallyfern"));
    EXPECT_EQ(d.calls[1].icon, IDialogs::Icon::Information);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    const TXlrdBook read = ReadWithXlrd(Path("报表.xls"));
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_EQ(read.rows, (QList<QStringList>{{"日期", "项目", "收入", "支出", "备注"},
                                             {"2026-01-02", "工资", "100.00", "", ""},
                                             {"2026-01-03", "奶粉 <b>", "", "250.50", " 两罐 "},
                                             {"", "宝贝 (2026-01-01 至 2026-01-31)", "", "", ""},
                                             {"", "收入合计：100.00", "", "", ""},
                                             {"", "支出合计：250.50", "", "", ""},
                                             {"", "结余合计：-150.50", "", "", ""}}));
}

TEST_F(ExportCommands, RankingWorkbookListsIncomesThenExpenses)
{
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("rank.XLS");
    Entry("mnuCatesExport_ToXls")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"}));
    const TXlrdBook read = ReadWithXlrd(Path("rank.XLS"));
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    ASSERT_EQ(read.rows.size(), 1 + 2 + 4);
    EXPECT_EQ(read.rows[1], (QStringList{"收入", "工资", "1", "100.00", "", "100.00%"}));
    EXPECT_EQ(read.rows[2], (QStringList{"支出", "奶粉 <b>", "1", "", "250.50", "100.00%"}));
}

TEST_F(ExportCommands, TheExtensionIsCompletedAndAnExistingCompletedNameIsReplacedOnlyAfterAsking)
{
    struct Case {
        const char *chosen;
        const char *written;
    };
    for (const Case &c : {Case{"Report.XLS", "Report.XLS"}, Case{"a.txt", "a.txt.xls"}, Case{"x.xlsx", "x.xlsx.xls"}}) {
        Scripted().fileNames << Path(c.chosen);
        Entry("btnTransMore_ToXls")->trigger();
        EXPECT_TRUE(QFileInfo::exists(Path(c.written))) << c.written;
    }
    for (const Case &c : {Case{"page.HTML", "page.HTML"}, Case{"page.htm", "page.htm.html"}, Case{"page", "page.html"}}) {
        Scripted().fileNames << Path(c.chosen);
        Entry("btnTransMore_ToHtml")->trigger();
        EXPECT_TRUE(QFileInfo::exists(Path(c.written))) << c.written;
    }

    THi::WriteWholeFile(Path("old.xls"), "keep me");
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("old");
    d.answers << false;
    Entry("btnTransMore_ToXls")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "question"}));
    EXPECT_EQ(d.calls[1].caption, QStringLiteral("确认"));
    EXPECT_TRUE(d.calls[1].text.contains(Path("old.xls")));
    EXPECT_EQ(THi::ReadWholeFile(Path("old.xls")), QByteArray("keep me"));

    d.Reset();
    d.fileNames << Path("old");
    d.answers << true;
    Entry("btnTransMore_ToXls")->trigger();
    EXPECT_EQ(d.Kinds(), (QStringList{"save", "question", "message"}));
    EXPECT_EQ(ReadWithXlrd(Path("old.xls")).rows.size(), 7);
}

TEST_F(ExportCommands, CancellingWritesNothingAndAFailedWriteShowsOnlyTheError)
{
    TScriptedDialogs &d = Scripted();
    Entry("btnTransMore_ToXls")->trigger();
    Entry("mnuCatesExport_ToHtml")->trigger();
    EXPECT_EQ(d.Kinds(), (QStringList{"save", "save"}));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    d.Reset();
    d.fileNames << Path("no-such-folder/out.xls") << Path("no-such-folder/out.html");
    Entry("btnTransMore_ToXls")->trigger();
    Entry("btnTransMore_ToHtml")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message", "save", "message"}));
    for (int i : {1, 3}) {
        EXPECT_EQ(d.calls[i].icon, IDialogs::Icon::Error);
        EXPECT_FALSE(d.calls[i].text.contains(QStringLiteral("成功")));
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportCommands, WebPagesAreBuiltFromTheDeliveredTemplates)
{
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("trans") << Path("cates");
    Entry("btnTransMore_ToHtml")->trigger();
    Entry("mnuCatesExport_ToHtml")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message", "save", "message"}));
    EXPECT_EQ(d.calls[0].text, QStringLiteral("*.html (*.html)"));
    EXPECT_EQ(d.calls[3].text, QStringLiteral("成功！\r\n\r\n") + Path("cates.html"));

    const QString trans = THi::FromLocalBytes(THi::ReadWholeFile(Path("trans.html")));
    EXPECT_TRUE(trans.contains(QStringLiteral("宝贝 (2026-01-01 至 2026-01-31)")));
    EXPECT_TRUE(trans.contains(QStringLiteral("<td>奶粉 &lt;b&gt;</td>")));
    EXPECT_TRUE(trans.contains(QStringLiteral("<td> 两罐 </td>")));
    EXPECT_TRUE(trans.contains(QStringLiteral("结余合计：-150.50")));
    const QString cates = THi::FromLocalBytes(THi::ReadWholeFile(Path("cates.html")));
    EXPECT_LT(cates.indexOf(QStringLiteral("<td>工资</td>")), cates.indexOf(QStringLiteral("<td>奶粉 &lt;b&gt;</td>")));
    EXPECT_TRUE(cates.contains(QStringLiteral("<td class=\"num\">&nbsp;</td><td class=\"num\">250.50</td>")));
}

TEST_F(ExportCommands, XlsxAndCsvEntriesOfBothMenusCompleteTheirExtensionAndReportSuccess)
{
    struct Case {
        QAction *action;
        const char *chosen;
        const char *written;
        const char *filter;
    };
    for (const Case &c : {Case{Entry("btnTransMore_ToXlsx"), "明细", "明细.xlsx", "*.xlsx (*.xlsx)"},
                          Case{Entry("mnuCatesExport_ToXlsx"), "排行.XLSX", "排行.XLSX", "*.xlsx (*.xlsx)"},
                          Case{Entry("btnTransMore_ToCsv"), "明细.xls", "明细.xls.csv", "*.csv (*.csv)"},
                          Case{Entry("mnuCatesExport_ToCsv"), "排行", "排行.csv", "*.csv (*.csv)"}}) {
        TScriptedDialogs &d = Scripted();
        d.Reset();
        d.fileNames << Path(c.chosen);
        c.action->trigger();
        ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"})) << c.written;
        EXPECT_EQ(d.calls[0].text, QString::fromUtf8(c.filter));
        EXPECT_EQ(d.calls[1].text, QStringLiteral("成功！\r\n\r\n") + Path(c.written));
    }
    // The ranking's CSV holds the ranking, the list's the records.
    EXPECT_TRUE(THi::ReadWholeFile(Path("排行.csv")).contains("比例"));
    EXPECT_TRUE(THi::ReadWholeFile(Path("明细.xls.csv")).contains("2026-01-03,奶粉 <b>,,250.50, 两罐 \r\n"));
    EXPECT_TRUE(THi::ReadWholeFile(Path("明细.xlsx")).startsWith("PK"));

    // A failed .xlsx write shows the error only.
    TScriptedDialogs &d = Scripted();
    d.Reset();
    d.fileNames << Path("no-such-folder/out");
    Entry("btnTransMore_ToXlsx")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"}));
    EXPECT_EQ(d.calls[1].icon, IDialogs::Icon::Error);
}

TEST_F(ExportCommands, AnXlsOfTooManyRowsIsOfferedAsXlsxBeforeTheFileDialog)
{
    TSearchResult result;
    result.fromDate = QDate(2020, 1, 1);
    result.toDate = QDate(2026, 1, 31);
    for (int i = 0; i < 65536; ++i)
        result.records.append({i + 1, QDate(2020, 1, 1), kTypeOut, QStringLiteral("饭"), 100, QString()});
    result.outTotal = 6553600;
    TransactionsPanel(window)->ShowResult(result);

    TScriptedDialogs &d = Scripted();
    d.answers << false;
    Entry("btnTransMore_ToXls")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"question"}));
    EXPECT_TRUE(d.calls[0].text.contains(QStringLiteral("65535"))) << d.calls[0].text.toStdString();
    EXPECT_TRUE(d.calls[0].text.contains(QStringLiteral("(*.xlsx)")));

    d.Reset();
    d.answers << true;
    d.fileNames << Path("all");
    Entry("btnTransMore_ToXls")->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"question", "save", "message"}));
    EXPECT_EQ(d.calls[1].text, QStringLiteral("*.xlsx (*.xlsx)"));
    EXPECT_EQ(d.calls[2].text, QStringLiteral("成功！\r\n\r\n") + Path("all.xlsx"));
    EXPECT_FALSE(QFileInfo::exists(Path("all.xls")));
}

TEST_F(ExportCommands, NamesWithWildcardsOrControlCharactersAreRefusedAndNothingIsWritten)
{
    TScriptedDialogs &d = Scripted();
    for (const QString &name : {QStringLiteral("*"), QStringLiteral("账单?.csv"), QStringLiteral("a\tb.csv"),
                                QStringLiteral("a\x01.csv")}) {
        d.Reset();
        d.fileNames << dir.filePath(name);
        Entry("btnTransMore_ToCsv")->trigger();
        ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"})) << name.toStdString();
        EXPECT_EQ(d.calls[1].icon, IDialogs::Icon::Error);
        EXPECT_TRUE(d.calls[1].text.contains(QStringLiteral("通配符"))) << d.calls[1].text.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}
