// The program worked with the keyboard alone, and read by a screen reader.
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "entry/EntryPanel.h"
#include "login/LoginForm.h"
#include "recurring/RecurringForm.h"
#include "store/DbClass.h"
#include "store/RecurringStore.h"
#include "support/KeyboardWalk.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"
#include "widgets/ListView.h"
#include "widgets/QtDialogs.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QString kUser = QStringLiteral("宝贝");

// Shows and activates the window, so that keys reach its focused control.
void Activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, Qt::Key(key), mods);
}

// Tab until the focus is on target; false when it never gets there.
bool TabTo(QWidget *target, int most = 40)
{
    for (int i = 0; i < most && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

// Moves the highlight of an open menu down to the entry with that object name and
// presses Enter.
void ChooseInMenu(QMenu *menu, const char *name)
{
    for (int i = 0; i < menu->actions().size() && menu->activeAction() &&
                    menu->activeAction()->objectName() != QLatin1String(name);
         ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    ASSERT_NE(menu->activeAction(), nullptr);
    ASSERT_EQ(menu->activeAction()->objectName(), QLatin1String(name));
    QTest::keyClick(menu, Qt::Key_Return);
}

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs = &Scripted();
        TDbMan db(ledger.Path());
        db.AddUser(kUser, QStringLiteral("pw"));
        db.AddRecords(kUser, NewRecords({{"2025-12-31", "支出", "房租", "1500", ""},
                                         {"2026-01-05", "支出", "买菜", "35.5", "超市"},
                                         {"2026-01-20", "收入", "工资", "8000", ""},
                                         {"2026-02-01", "支出", "电费", "120", ""}}));
    }
    void SignIn()
    {
        window = SignedInMainWindow(ledger.Path(), kUser);
        Activate(window.get());
    }
    void Browse()
    {
        Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
    }
    void Search(const QDate &from, const QDate &to)
    {
        Child<QDateEdit>(window.get(), "dtpTransDate1")->setDate(from);
        Child<QDateEdit>(window.get(), "dtpTransDate2")->setDate(to);
        Child<QPushButton>(window.get(), "btnTransSearch")->click();
    }

    TScriptedDialogs *dialogs = nullptr;
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> window;
};

} // namespace

TEST_F(KeyboardTest, MainMenuOpensByKeysBelowItsImageAndRunsBudget)
{
    SignIn();
    auto *menu = Child<QMenu>(window.get(), "mnuMenu");
    auto *image = Child<QLabel>(window.get(), "imgMenu");
    const std::pair<int, Qt::KeyboardModifiers> openers[] = {
        {Qt::Key_F10, Qt::NoModifier}, {Qt::Key_Menu, Qt::NoModifier}, {Qt::Key_M, Qt::AltModifier}};
    for (const auto &[key, mods] : openers) {
        QWidget *before = QApplication::focusWidget();
        Key(key, mods);
        ASSERT_TRUE(menu->isVisible()) << key;
        // Below the image (moved left only as far as the screen's edge needs).
        EXPECT_EQ(menu->y(), image->mapToGlobal(QPoint(0, image->height())).y()) << key;
        EXPECT_EQ(menu->activeAction(), Child<QAction>(window.get(), "mnuMenu_SwitchUser")) << key;
        Key(Qt::Key_Escape);
        EXPECT_FALSE(menu->isVisible()) << key;
        EXPECT_EQ(QApplication::focusWidget(), before) << key;
    }

    // In browsing, Alt+M is "更多(&M)...", not the main menu.
    Browse();
    Search(QDate(2026, 1, 1), QDate(2026, 1, 31));
    Key(Qt::Key_M, Qt::AltModifier);
    auto *more = Child<QMenu>(window.get(), "mnuTransMenu");
    auto *btnMore = Child<QPushButton>(window.get(), "btnTransMore");
    // A mnemonic clicks its button after a short animation.
    ASSERT_TRUE(QTest::qWaitFor([more] { return more->isVisible(); }, 2000));
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(more->y(), btnMore->mapToGlobal(QPoint(0, btnMore->height())).y());
    EXPECT_EQ(more->activeAction(), more->actions().first());
    Key(Qt::Key_Escape);

    bool budgetShown = false;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        budgetShown = modal && modal->inherits("TfrmBudget");
        if (modal)
            modal->close();
    });
    // The offscreen platform leaves a closed popup as the active window.
    Activate(window.get());
    Key(Qt::Key_F10);
    ChooseInMenu(menu, "mnuMenu_Budget");
    EXPECT_TRUE(budgetShown);
}

TEST_F(KeyboardTest, SpanTypedIntoBothDatePickersAndSearched)
{
    SignIn();
    auto *mode = Child<QRadioButton>(window.get(), "rdoExpense");
    mode->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    ASSERT_TRUE(Child<QRadioButton>(window.get(), "rdoTransactions")->isChecked());

    auto *from = Child<QDateEdit>(window.get(), "dtpTransDate1");
    auto *to = Child<QDateEdit>(window.get(), "dtpTransDate2");
    ASSERT_TRUE(TabTo(from));
    QTest::keyClicks(from, QStringLiteral("20260101"));
    Key(Qt::Key_Tab);  // one stop for the whole date
    ASSERT_EQ(QApplication::focusWidget(), to);
    QTest::keyClicks(to, QStringLiteral("20260131"));
    EXPECT_EQ(from->date(), QDate(2026, 1, 1));
    EXPECT_EQ(to->date(), QDate(2026, 1, 31));

    // Alt+Down and F4 open the calendar.
    for (const auto &[key, mods] : {std::pair{Qt::Key_Down, Qt::AltModifier}, std::pair{Qt::Key_F4, Qt::NoModifier}}) {
        Key(key, mods);
        ASSERT_NE(to->calendarWidget(), nullptr);
        EXPECT_TRUE(to->calendarWidget()->isVisible()) << key;
        QTest::keyClick(to->calendarWidget(), Qt::Key_Escape);
        EXPECT_FALSE(to->calendarWidget()->isVisible()) << key;
        to->setFocus(Qt::TabFocusReason);
    }

    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("btnTransSearch"));
    Key(Qt::Key_Space);
    QStringList dates;
    for (const QStringList &row : ListRows(Child<QTreeView>(window.get(), "lvwTrans")))
        dates << row.value(1);
    EXPECT_EQ(dates, (QStringList{"2026-01-05", "2026-01-20"}));

    // Tab goes on in order: the sub-views, the day totals, the tab strip, the records and
    // the commands.
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, (QStringList{"rdoTransTransactions", "lvwDayTotal", "TabSet1", "lvwTrans", "btnTransMore"}));
}

TEST_F(KeyboardTest, OfferedRowTakenBackFromThePendingListByKeys)
{
    TRecurring rec;
    rec.type = QStringLiteral("支出");
    rec.item = QStringLiteral("房租");
    rec.amount = 150000;
    rec.day = 1;
    rec.firstMonth = QDate::currentDate().addDays(1 - QDate::currentDate().day());
    TRecurringStore(ledger.Path()).Add(kUser, rec);
    SignIn();
    const TEntryControls out = Expense(window);
    out.panel->AddPendingRow(QDate(2026, 1, 2), QStringLiteral("买菜"), 1000, QString());
    ASSERT_EQ(out.PendingRows().size(), 2);

    out.dtpDate->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(TabTo(out.lvwRecs, 8));
    EXPECT_EQ(out.lvwRecs->currentItem(), out.lvwRecs->topLevelItem(0));
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    ASSERT_EQ(out.lvwRecs->selectedItems().size(), 1);
    EXPECT_EQ(out.lvwRecs->selectedItems().first()->text(3), QStringLiteral("房租"));
    dialogs->answers.enqueue(true);
    Key(Qt::Key_Delete);
    EXPECT_EQ(out.PendingRows(), (QList<QStringList>{{"2026-01-02", "支出", "买菜", "10.00", ""}}));
    ASSERT_EQ(dialogs->Of(QStringLiteral("question")).size(), 1);
    EXPECT_EQ(dialogs->Of(QStringLiteral("question")).first().preset, IDialogs::Answer::No);
    // Taken back: not offered again.
    EXPECT_TRUE(TRecurringStore(ledger.Path()).Due(kUser, QDate::currentDate()).isEmpty());
}

TEST_F(KeyboardTest, EnterOnTheDeleteUserQuestionDeletesNothing)
{
    SignIn();
    bool successorStarted = false;
    window->SuccessorStarter = [&](const QString &) { return successorStarted = true; };
    TQtDialogs real;
    SetDialogs(&real);
    QString defaultButton;
    bool enterClosed = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !QTest::qWaitForWindowActive(box))
            return;
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        // The keys of the active window go to its focused control.
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
        enterClosed = !box->isVisible();
        if (box->isVisible())
            box->done(QMessageBox::No);
    });
    Key(Qt::Key_F10);
    ChooseInMenu(Child<QMenu>(window.get(), "mnuMenu"), "mnuMenu_DeleteUser");
    SetDialogs(dialogs);
    EXPECT_EQ(defaultButton, QStringLiteral("否(&N)"));
    EXPECT_TRUE(enterClosed);
    EXPECT_FALSE(successorStarted);
    EXPECT_TRUE(TDbMan(ledger.Path()).UserExists(kUser));
}

TEST_F(KeyboardTest, LabelsAndImagesAreReadAsChineseText)
{
    SignIn();
    Browse();
    Search(QDate(2026, 1, 1), QDate(2026, 1, 31));
    auto name = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    EXPECT_EQ(name(Child<QLabel>(window.get(), "imgMenu")), QStringLiteral("菜单"));
    EXPECT_EQ(name(Child<QLabel>(window.get(), "imgSkinClose")), QStringLiteral("关闭"));
    EXPECT_EQ(name(Child<QLabel>(window.get(), "imgSkinMinimize")), QStringLiteral("最小化"));
    auto *total = Child<QLabel>(window.get(), "lblTransTotal");
    EXPECT_EQ(name(total), total->text());
    EXPECT_TRUE(total->text().startsWith(QStringLiteral("收入合计：8000.00")));
    for (QTreeView *list : window->findChildren<QTreeView *>()) {
        EXPECT_FALSE(list->accessibleDescription().isEmpty()) << list->objectName().toStdString();
    }
}

TEST_F(KeyboardTest, EveryWindowIsNamedAndReachedByTab)
{
    QStringList problems;
    {
        TfrmLogin login(ledger.Path());
        problems << KeyboardWalkProblems(&login);
    }
    SignIn();
    const TEntryControls out = Expense(window);
    out.panel->AddPendingRow(QDate(2026, 1, 2), QStringLiteral("买菜"), 1000, QString());
    problems << KeyboardWalkProblems(window.get());
    problems << WalkModal([&] { out.btnEditCates->click(); });
    Child<QRadioButton>(window.get(), "rdoIncome")->setChecked(true);
    problems << KeyboardWalkProblems(window.get());

    Browse();
    Search(QDate(2026, 1, 1), QDate(2026, 1, 31));
    auto *records = Child<QTreeView>(window.get(), "lvwTrans");
    records->setCurrentIndex(records->model()->index(0, 1));
    problems << KeyboardWalkProblems(window.get());
    records->setCurrentIndex(records->model()->index(1, 1));
    dialogs->answers.enqueue(true);
    problems << WalkModal([&] { Child<QPushButton>(window.get(), "btnTransEdit")->click(); });

    Child<QRadioButton>(window.get(), "rdoTransCategories")->setChecked(true);
    auto *ranking = Child<QTreeView>(window.get(), "lvwOutCates");
    ranking->setCurrentIndex(ranking->model()->index(0, 1));
    problems << KeyboardWalkProblems(window.get());
    ranking->setFocus();
    ranking->setCurrentIndex(ranking->model()->index(0, 2));
    problems << WalkModal([&] { Child<QPushButton>(window.get(), "btnMoreInfo")->click(); });
    problems << WalkModal([&] { Child<QPushButton>(window.get(), "btnCatesPrint")->click(); });
    Child<QRadioButton>(window.get(), "rdoTransCharts")->setChecked(true);
    problems << KeyboardWalkProblems(window.get());

    problems << WalkModal([&] { Child<QAction>(window.get(), "mnuMenu_Budget")->trigger(); });
    problems << WalkModal([&] {
        Child<QAction>(window.get(), "mnuMenu_Recurring")->trigger();
    });
    {
        TRecurring rec;
        rec.type = QStringLiteral("支出");
        rec.firstMonth = QDate(2026, 1, 1);
        TfrmRecurringEdit edit(window.get(), rec, {QStringLiteral("房租")}, {QStringLiteral("工资")});
        problems << KeyboardWalkProblems(&edit);
    }
    dialogs->fileNames.enqueue(QStringLiteral(TALLYFERN_TEST_DATA "/import/wechat.csv"));
    problems << WalkModal([&] { Child<QAction>(window.get(), "mnuMenu_ImportBill")->trigger(); });
    // A table of no known form opens the column mapping first.
    dialogs->fileNames.enqueue(QStringLiteral(TALLYFERN_TEST_DATA "/import/family.csv"));
    problems << WalkModal([&] { Child<QAction>(window.get(), "mnuMenu_ImportBill")->trigger(); });
    problems << WalkModal([&] { Child<QAction>(window.get(), "mnuMenu_Family")->trigger(); });
    problems << WalkModal([&] { Child<QAction>(window.get(), "mnuMenu_AutoBackup")->trigger(); });
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}
