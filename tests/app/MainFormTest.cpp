#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "entry/EntryPanel.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
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
    EXPECT_EQ(w->mnuMenu_DeleteUser->text(), QStringLiteral("删除 宝贝"));
    QStringList captions;
    for (QAction *a : w->mnuMenu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions, (QStringList{"切换用户", "-", "修改密码", "删除 宝贝", "-", "备份数据",
                                     "从备份中恢复数据", "导入账单...", "撤销上次导入", "月度预算...", "定期收支...", "-", "退出"}));
    EXPECT_EQ(w->mnuMenu->defaultAction(), w->mnuMenu_SwitchUser);

    EXPECT_TRUE(w->rdoExpense->isChecked());
    EXPECT_FALSE(w->pnlExpense->isHidden());
    EXPECT_TRUE(w->pnlIncome->isHidden());
    EXPECT_TRUE(w->pnlTransactions->isHidden());
    EXPECT_EQ(w->size(), QSize(706, 521));
    EXPECT_EQ(w->pnlCenter->geometry(), QRect(5, 31, 696, 485));
    EXPECT_EQ(w->pnlExpense->geometry(), QRect(0, 38, 696, 445));
    EXPECT_EQ(w->imgMenu->geometry(), QRect(644, 12, 38, 13));

    const QDate today = QDate::currentDate();
    EXPECT_EQ(Child<QDateEdit>(w->pnlTransactions, "dtpTransDate1")->date(), today.addDays(1 - today.day()));
    EXPECT_EQ(Child<QDateEdit>(w->pnlTransactions, "dtpTransDate2")->date(), today);
    EXPECT_EQ(w->pnlExpense->dtpDate->date(), today);

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
    auto *row = new QTreeWidgetItem(w->pnlExpense->lvwRecs, {QString(), "2009-01-01", "支出", "x", "1.00", ""});
    w->UpdateCommandStates();
    EXPECT_TRUE(w->pnlExpense->btnSave->isEnabled());
    EXPECT_FALSE(w->pnlExpense->btnEdit->isEnabled());
    w->pnlExpense->lvwRecs->setCurrentItem(row);  // selection change runs the rule
    EXPECT_TRUE(w->pnlExpense->btnEdit->isEnabled());
    EXPECT_TRUE(w->pnlExpense->btnDelete->isEnabled());
    EXPECT_FALSE(w->pnlIncome->btnSave->isEnabled());

    TSearchResult ranked;
    ranked.outRanking = {Rank(kTypeOut, QStringLiteral("x"), 1, 100)};
    ranked.outTotal = 100;
    w->pnlTransactions->ShowResult(ranked);
    w->UpdateCommandStates();
    EXPECT_TRUE(Child<QPushButton>(w->pnlTransactions, "btnCatesExport")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(w->pnlTransactions, "btnCatesPrint")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(w->pnlTransactions, "btnMoreInfo")->isEnabled());
}

TEST(MainForm, ModeSwitchKeepsPanelsAsTheyWere)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    auto *row = new QTreeWidgetItem(w->pnlExpense->lvwRecs, {QString(), "2009-01-01", "支出", "x", "1.00", ""});
    w->pnlExpense->lvwRecs->setCurrentItem(row);
    w->pnlExpense->edtNotes->setText(QStringLiteral("half typed"));
    w->rdoIncome->setChecked(true);
    EXPECT_TRUE(w->pnlExpense->isHidden());
    EXPECT_FALSE(w->pnlIncome->isHidden());
    w->rdoTransactions->setChecked(true);
    EXPECT_FALSE(w->pnlTransactions->isHidden());
    w->rdoExpense->setChecked(true);
    EXPECT_EQ(w->pnlExpense->lvwRecs->topLevelItemCount(), 1);
    EXPECT_EQ(w->pnlExpense->lvwRecs->currentItem(), row);
    EXPECT_EQ(w->pnlExpense->edtNotes->text(), QStringLiteral("half typed"));
    EXPECT_TRUE(w->pnlExpense->btnEdit->isEnabled());
}

TEST(MainForm, MenuButtonOnlyAnswersTheLeftButton)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    const QPixmap up = w->imgMenu->pixmap();
    QTest::mousePress(w->imgMenu, Qt::RightButton);
    EXPECT_EQ(w->imgMenu->pixmap().toImage(), up.toImage());
    QTest::mouseRelease(w->imgMenu, Qt::RightButton);
    EXPECT_FALSE(w->mnuMenu->isVisible());
    QTest::mousePress(w->imgMenu, Qt::LeftButton);
    EXPECT_EQ(w->imgMenu->pixmap().toImage(), w->imgMenuDown.toImage());
    QTest::mouseRelease(w->imgMenu, Qt::LeftButton);
    EXPECT_EQ(w->imgMenu->pixmap().toImage(), up.toImage());
    EXPECT_TRUE(w->mnuMenu->isVisible());
    w->mnuMenu->hide();
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
    w->mnuMenu_SwitchUserClick();
    EXPECT_EQ(dlg.calls.value(0).text, QStringLiteral("您真的想要切换用户吗？"));
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(w->isVisible());

    dlg.answers.enqueue(true);
    w->mnuMenu_SwitchUserClick();
    EXPECT_EQ(started, QStringList{QStringLiteral("none")});
    EXPECT_FALSE(w->isVisible());
}

TEST(MainForm, SuccessorThatCannotStartKeepsTheWindowOpen)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    w->show();
    w->SuccessorStarter = [](const QString &) { return false; };
    auto &dlg = Scripted();
    dlg.answers.enqueue(true);
    w->mnuMenu_SwitchUserClick();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(dlg.Of(QStringLiteral("message")).size(), 1);
}
