#include "output/XlrdReader.h"
#include "app/HiClass.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "output/ExportCommands.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// Adds a list row, placing each text under the column of its caption.
void AddRow(QAbstractItemView *list, const QMap<QString, QString> &byCaption)
{
    QAbstractItemModel *model = list->model();
    const int row = model->rowCount();
    model->insertRows(row, 1);
    for (int c = 1; c < model->columnCount(); ++c)
        model->setData(model->index(row, c),
                       byCaption.value(model->headerData(c, Qt::Horizontal).toString()));
}

// A signed-in window whose browsing view shows two records and their ranking, as a search
// of January 2026 with income 100 and expense 250.5 leaves it.
class ExportCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
        TTransPanel *p = window->pnlTransactions;
        AddRow(p->lvwTrans, {{"日期", "2026-01-02"}, {"项目", "工资"}, {"收入", "100.00"}, {"备注", ""}});
        AddRow(p->lvwTrans, {{"日期", "2026-01-03"}, {"项目", "奶粉 <b>"}, {"支出", "250.50"}, {"备注", " 两罐 "}});
        AddRow(p->lvwInCates, {{"类别", "收入"}, {"项目", "工资"}, {"数量", "1"}, {"收入", "100.00"}, {"0 - 100%", "100.00%"}});
        AddRow(p->lvwOutCates, {{"类别", "支出"}, {"项目", "奶粉 <b>"}, {"数量", "1"}, {"支出", "250.50"}, {"0 - 100%", "100.00%"}});
        p->SearchFromDate = QDate(2026, 1, 1);
        p->SearchToDate = QDate(2026, 1, 31);
        p->PeriodInTotal = 100;
        p->PeriodOutTotal = 250.5;
        // Pickers changed after the search do not reach the exports.
        p->dtpTransDate1->setDate(QDate(2020, 5, 5));
    }

    QString Path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    TTempLedger ledger;
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
};

} // namespace

TEST_F(ExportCommands, TransactionsWorkbookIsWrittenAndTheSuccessShownAfterwards)
{
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("报表");
    window->pnlTransactions->btnTransMore_ToXls->trigger();

    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"}));
    EXPECT_EQ(d.calls[0].text, QStringLiteral("*.xls (*.xls)"));
    EXPECT_EQ(d.calls[1].text, QStringLiteral("成功！\r\n\r\n") + Path("报表.xls"));
    EXPECT_EQ(d.calls[1].caption, QStringLiteral("Tallyfern"));
    EXPECT_EQ(d.calls[1].icon, IDialogs::Icon::Information);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    const TXlrdBook read = ReadWithXlrd(Path("报表.xls"));
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_EQ(read.rows, (QList<QStringList>{{"日期", "项目", "收入", "支出", "备注"},
                                             {"2026-01-02", "工资", "100.00", " ", ""},
                                             {"2026-01-03", "奶粉 <b>", " ", "250.50", " 两罐 "},
                                             {"", "宝贝 (2026-01-01 至 2026-01-31)", "", "", ""},
                                             {"", "收入合计：100.00", "", "", ""},
                                             {"", "支出合计：250.50", "", "", ""},
                                             {"", "结余合计：-150.50", "", "", ""}}));
}

TEST_F(ExportCommands, RankingWorkbookListsIncomesThenExpenses)
{
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("rank.XLS");
    window->pnlTransactions->mnuCatesExport_ToXls->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "message"}));
    const TXlrdBook read = ReadWithXlrd(Path("rank.XLS"));
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    ASSERT_EQ(read.rows.size(), 1 + 2 + 4);
    EXPECT_EQ(read.rows[1], (QStringList{"收入", "工资", "1", "100.00", " ", "100.00%"}));
    EXPECT_EQ(read.rows[2], (QStringList{"支出", "奶粉 <b>", "1", " ", "250.50", "100.00%"}));
}

TEST_F(ExportCommands, TheExtensionIsCompletedAndAnExistingCompletedNameIsReplacedOnlyAfterAsking)
{
    struct Case {
        const char *chosen;
        const char *written;
    };
    for (const Case &c : {Case{"Report.XLS", "Report.XLS"}, Case{"a.txt", "a.txt.xls"}, Case{"x.xlsx", "x.xlsx.xls"}}) {
        Scripted().fileNames << Path(c.chosen);
        window->pnlTransactions->btnTransMore_ToXls->trigger();
        EXPECT_TRUE(QFileInfo::exists(Path(c.written))) << c.written;
    }
    for (const Case &c : {Case{"page.HTML", "page.HTML"}, Case{"page.htm", "page.htm.html"}, Case{"page", "page.html"}}) {
        Scripted().fileNames << Path(c.chosen);
        window->pnlTransactions->btnTransMore_ToHtml->trigger();
        EXPECT_TRUE(QFileInfo::exists(Path(c.written))) << c.written;
    }

    THi::WriteWholeFile(Path("old.xls"), "keep me");
    TScriptedDialogs &d = Scripted();
    d.fileNames << Path("old");
    d.answers << false;
    window->pnlTransactions->btnTransMore_ToXls->trigger();
    ASSERT_EQ(d.Kinds(), (QStringList{"save", "question"}));
    EXPECT_EQ(d.calls[1].caption, QStringLiteral("确认"));
    EXPECT_TRUE(d.calls[1].text.contains(Path("old.xls")));
    EXPECT_EQ(THi::ReadWholeFile(Path("old.xls")), QByteArray("keep me"));

    d.Reset();
    d.fileNames << Path("old");
    d.answers << true;
    window->pnlTransactions->btnTransMore_ToXls->trigger();
    EXPECT_EQ(d.Kinds(), (QStringList{"save", "question", "message"}));
    EXPECT_EQ(ReadWithXlrd(Path("old.xls")).rows.size(), 7);
}

TEST_F(ExportCommands, CancellingWritesNothingAndAFailedWriteShowsOnlyTheError)
{
    TScriptedDialogs &d = Scripted();
    window->pnlTransactions->btnTransMore_ToXls->trigger();
    window->pnlTransactions->mnuCatesExport_ToHtml->trigger();
    EXPECT_EQ(d.Kinds(), (QStringList{"save", "save"}));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    d.Reset();
    d.fileNames << Path("no-such-folder/out.xls") << Path("no-such-folder/out.html");
    window->pnlTransactions->btnTransMore_ToXls->trigger();
    window->pnlTransactions->btnTransMore_ToHtml->trigger();
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
    window->pnlTransactions->btnTransMore_ToHtml->trigger();
    window->pnlTransactions->mnuCatesExport_ToHtml->trigger();
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
