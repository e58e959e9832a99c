#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "entry/EntryPanel.h"
#include "store/DbClass.h"
#include "support/WindowParts.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

TEST(MainForm, AbandonedSignInEndsWithoutWindow)
{
    TfrmMain window;
    window.LoginRunner = [] { return TLoginResult{}; };
    EXPECT_FALSE(window.FormCreate());
}

TEST(MainForm, CaptionMenuAndStartingState)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tallyfern - 用户名称：宝贝"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Tallyfern - 用户名称：宝贝"));
    auto *menu = Child<QMenu>(w.get(), "mnuMenu");
    EXPECT_EQ(Child<QAction>(w.get(), "mnuMenu_DeleteUser")->text(), QStringLiteral("删除 宝贝"));
    QStringList captions;
    for (QAction *a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions, (QStringList{"切换用户", "-", "修改密码", "删除 宝贝", "-", "备份数据",
                                     "从备份中恢复数据", "自动备份...", "导入账单...", "撤销上次导入", "月度预算...", "定期收支...", "家庭汇总...", "-", "退出"}));
    EXPECT_EQ(menu->defaultAction(), Child<QAction>(w.get(), "mnuMenu_SwitchUser"));

    TTransPanel *trans = TransactionsPanel(w);
    EXPECT_TRUE(Child<QRadioButton>(w.get(), "rdoExpense")->isChecked());
    EXPECT_FALSE(Expense(w).panel->isHidden());
    EXPECT_TRUE(Income(w).panel->isHidden());
    EXPECT_TRUE(trans->isHidden());
    EXPECT_EQ(w->size(), QSize(706, 521));
    EXPECT_EQ(Child<QWidget>(w.get(), "pnlCenter")->geometry(), QRect(5, 31, 696, 485));
    EXPECT_EQ(Expense(w).panel->geometry(), QRect(0, 38, 696, 445));
    EXPECT_EQ(Child<QLabel>(w.get(), "imgMenu")->geometry(), QRect(644, 12, 38, 13));

    const QDate today = QDate::currentDate();
    EXPECT_EQ(Child<QDateEdit>(trans, "dtpTransDate1")->date(), today.addDays(1 - today.day()));
    EXPECT_EQ(Child<QDateEdit>(trans, "dtpTransDate2")->date(), today);
    EXPECT_EQ(Expense(w).dtpDate->date(), today);

    // Every command button of the rule is disabled with empty lists.
    for (const char *name : {"btnOutSave", "btnOutEdit", "btnOutDelete", "btnInSave", "btnInEdit",
                             "btnInDelete", "btnTransMore", "btnTransEdit", "btnTransDelete",
                             "btnMoreInfo", "btnCatesExport", "btnCatesPrint"}) {
        auto *b = w->findChild<QPushButton *>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_FALSE(b->isEnabled()) << name;
    }
}

TEST(MainForm, CommandStatesFollowTheLists)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls out = Expense(w);
    auto *row = new QTreeWidgetItem(out.lvwRecs, {QString(), "2009-01-01", "支出", "x", "1.00", ""});
    w->UpdateCommandStates();
    EXPECT_TRUE(out.btnSave->isEnabled());
    EXPECT_FALSE(out.btnEdit->isEnabled());
    out.lvwRecs->setCurrentItem(row);  // selection change runs the rule
    EXPECT_TRUE(out.btnEdit->isEnabled());
    EXPECT_TRUE(out.btnDelete->isEnabled());
    EXPECT_FALSE(Income(w).btnSave->isEnabled());

    TTransPanel *trans = TransactionsPanel(w);
    TSearchResult ranked;
    ranked.outRanking = {Rank(kTypeOut, QStringLiteral("x"), 1, 100)};
    ranked.outTotal = 100;
    trans->ShowResult(ranked);
    w->UpdateCommandStates();
    EXPECT_TRUE(Child<QPushButton>(trans, "btnCatesExport")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(trans, "btnCatesPrint")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(trans, "btnMoreInfo")->isEnabled());
}

TEST(MainForm, ModeSwitchKeepsPanelsAsTheyWere)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls out = Expense(w);
    auto *row = new QTreeWidgetItem(out.lvwRecs, {QString(), "2009-01-01", "支出", "x", "1.00", ""});
    out.lvwRecs->setCurrentItem(row);
    out.edtNotes->setText(QStringLiteral("half typed"));
    Child<QRadioButton>(w.get(), "rdoIncome")->setChecked(true);
    EXPECT_TRUE(out.panel->isHidden());
    EXPECT_FALSE(Income(w).panel->isHidden());
    Child<QRadioButton>(w.get(), "rdoTransactions")->setChecked(true);
    EXPECT_FALSE(TransactionsPanel(w)->isHidden());
    Child<QRadioButton>(w.get(), "rdoExpense")->setChecked(true);
    EXPECT_EQ(out.lvwRecs->topLevelItemCount(), 1);
    EXPECT_EQ(out.lvwRecs->currentItem(), row);
    EXPECT_EQ(out.edtNotes->text(), QStringLiteral("half typed"));
    EXPECT_TRUE(out.btnEdit->isEnabled());
}

TEST(MainForm, MenuButtonOnlyAnswersTheLeftButton)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    auto *imgMenu = Child<QLabel>(w.get(), "imgMenu");
    auto *menu = Child<QMenu>(w.get(), "mnuMenu");
    const QPixmap up = imgMenu->pixmap();
    QTest::mousePress(imgMenu, Qt::RightButton);
    EXPECT_EQ(imgMenu->pixmap().toImage(), up.toImage());
    QTest::mouseRelease(imgMenu, Qt::RightButton);
    EXPECT_FALSE(menu->isVisible());
    QTest::mousePress(imgMenu, Qt::LeftButton);
    // Pressed, the button shows its darker face.
    const QImage down = imgMenu->pixmap().toImage();
    EXPECT_NE(down, up.toImage());
    EXPECT_EQ(down.pixelColor(1, 1), QColor(214, 210, 194));
    EXPECT_EQ(up.toImage().pixelColor(1, 1), QColor(236, 233, 216));
    QTest::mouseRelease(imgMenu, Qt::LeftButton);
    EXPECT_EQ(imgMenu->pixmap().toImage(), up.toImage());
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST(MainForm, SwitchUserAsksAndStartsASuccessor)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    QStringList started;
    w->SuccessorStarter = [&](const QString &arg) { started << arg; return true; };
    auto &dlg = Scripted();
    dlg.answers.enqueue(false);
    Child<QAction>(w.get(), "mnuMenu_SwitchUser")->trigger();
    EXPECT_EQ(dlg.calls.value(0).text, QStringLiteral("您真的想要切换用户吗？"));
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(w->isVisible());

    dlg.answers.enqueue(true);
    Child<QAction>(w.get(), "mnuMenu_SwitchUser")->trigger();
    EXPECT_EQ(started, QStringList{QStringLiteral("none")});
    EXPECT_FALSE(w->isVisible());
}

TEST(MainForm, LeavingWithPendingRowsAsksWithNoAsTheDefault)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    QStringList started;
    w->SuccessorStarter = [&](const QString &arg) { started << arg; return true; };
    for (const TEntryControls &panel : {Expense(w), Income(w), Income(w)}) {
        panel.cboCate->setEditText(QStringLiteral("午饭"));
        panel.edtAmount->setText(QStringLiteral("12"));
        panel.btnAdd->click();
    }
    auto &dlg = Scripted();
    const QString question = QStringLiteral("待保存列表中还有 3 条记录没有保存，确实要退出吗？");
    // Exit, and the window's own close: No keeps the window and its rows.
    Child<QAction>(w.get(), "mnuMenu_Exit")->trigger();
    w->close();
    ASSERT_EQ(dlg.Kinds(), (QStringList{"question", "question"}));
    for (const auto &call : dlg.calls) {
        EXPECT_EQ(call.text, question);
        EXPECT_EQ(call.preset, IDialogs::Answer::No);
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Income(w).PendingRows().size(), 2);

    // Switching user asks as well before any successor starts.
    dlg.Reset();
    dlg.answers << true << false;
    Child<QAction>(w.get(), "mnuMenu_SwitchUser")->trigger();
    EXPECT_EQ(dlg.calls.value(1).text, question);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(w->isVisible());
    dlg.answers << true << true;
    Child<QAction>(w.get(), "mnuMenu_SwitchUser")->trigger();
    EXPECT_EQ(started, QStringList{QStringLiteral("none")});
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(dlg.calls.size(), 4);
}

TEST(MainForm, SuccessorThatCannotStartKeepsTheWindowOpen)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    w->SuccessorStarter = [](const QString &) { return false; };
    auto &dlg = Scripted();
    dlg.answers.enqueue(true);
    Child<QAction>(w.get(), "mnuMenu_SwitchUser")->trigger();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(dlg.Of(QStringLiteral("message")).size(), 1);
}
