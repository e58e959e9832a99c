#include "budget/BudgetForm.h"
#include "entry/EntryFixture.h"
#include "store/BudgetStore.h"
#include "store/DbClass.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>

namespace {

QDate ThisMonth()
{
    const QDate today = QDate::currentDate();
    return QDate(today.year(), today.month(), 1);
}

QStringList OverBudgetMessages(const TScriptedDialogs &dialogs)
{
    QStringList out;
    for (const auto &call : dialogs.Of(QStringLiteral("message")))
        if (call.text.contains(QStringLiteral("超出预算")))
            out << call.text;
    return out;
}

// The dialog's controls, by their object names.
QTableWidget *Grid(const TfrmBudget &form)
{
    return Child<QTableWidget>(&form, "grdBudgets");
}

QDateEdit *MonthPicker(const TfrmBudget &form)
{
    return Child<QDateEdit>(&form, "dtpMonth");
}

QPushButton *Button(const TfrmBudget &form, const char *name)
{
    return Child<QPushButton>(&form, name);
}

} // namespace

class Budget : public EntryFixture {
protected:
    void SetUp() override
    {
        EntryFixture::SetUp();
        dialogs = &Scripted();
    }
    void Save(const TEntryControls &panel)
    {
        dialogs->answers.enqueue(true);
        panel.btnSave->click();
    }
    QStringList GridRow(const TfrmBudget &form, int r) const
    {
        QStringList out;
        for (int c = 0; c < 4; ++c)
            out << Grid(form)->item(r, c)->text();
        return out;
    }
    TBudgetStore Store() const { return TBudgetStore(ledger.Path()); }

    TScriptedDialogs *dialogs = nullptr;
};

TEST_F(Budget, ASaveThatPushesAnItemPastItsBudgetSaysSoOncePerItem)
{
    Store().SetBudgets(user, ThisMonth(), {{QStringLiteral("米"), 10000}, {QStringLiteral("电费"), 5000}});
    const TEntryControls out = Expense(window);
    Add(out, QStringLiteral("米"), QStringLiteral("60"));
    Add(out, QStringLiteral("电费"), QStringLiteral("20"));
    Add(out, QStringLiteral("米"), QStringLiteral("50.5"));
    Save(out);
    // The records are stored first, then the message follows the success message.
    EXPECT_EQ(StoredRecords().size(), 3);
    const QList<TScriptedDialogs::Call> messages = dialogs->Of(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("成功！")));
    EXPECT_EQ(messages[1].text, QStringLiteral("本月“米”已超出预算 10.50 元。"));
    EXPECT_EQ(messages[1].icon, IDialogs::Icon::Information);
    EXPECT_TRUE(dialogs->Of(QStringLiteral("question")).size() == 1);

    // Already past: not said again; the other item stays within its budget.
    dialogs->Reset();
    Add(out, QStringLiteral("米"), QStringLiteral("1"));
    Add(out, QStringLiteral("电费"), QStringLiteral("30"));
    Save(out);
    EXPECT_TRUE(OverBudgetMessages(*dialogs).isEmpty());

    // Income is never held against a budget.
    Add(Income(window), QStringLiteral("电费"), QStringLiteral("500"));
    Save(Income(window));
    EXPECT_TRUE(OverBudgetMessages(*dialogs).isEmpty());

    // An earlier month is measured against its own budget and spending: this month's
    // budgets do not reach back.
    out.dtpDate->setDate(ThisMonth().addMonths(-1));
    Add(out, QStringLiteral("米"), QStringLiteral("500"));
    Save(out);
    EXPECT_TRUE(OverBudgetMessages(*dialogs).isEmpty());
    Store().SetBudgets(user, ThisMonth().addMonths(-1), {{QStringLiteral("电费"), 5000}});
    Add(out, QStringLiteral("电费"), QStringLiteral("51"));
    Save(out);
    const QDate last = ThisMonth().addMonths(-1);
    EXPECT_EQ(OverBudgetMessages(*dialogs),
              QStringList{QStringLiteral("%1年%2月“电费”已超出预算 1.00 元。").arg(last.year()).arg(last.month())});
}

TEST_F(Budget, OneSaveOverTwoMonthsSaysEachMonth)
{
    const QDate last = ThisMonth().addMonths(-1);
    // Last month's budget goes on into this month.
    Store().SetBudgets(user, last, {{QStringLiteral("米"), 10000}});
    const TEntryControls out = Expense(window);
    Add(out, QStringLiteral("米"), QStringLiteral("130"));
    out.dtpDate->setDate(last.addDays(27));
    Add(out, QStringLiteral("米"), QStringLiteral("120"));
    Save(out);
    EXPECT_EQ(OverBudgetMessages(*dialogs),
              (QStringList{QStringLiteral("%1年%2月“米”已超出预算 20.00 元。").arg(last.year()).arg(last.month()),
                           QStringLiteral("本月“米”已超出预算 30.00 元。")}));
}

TEST_F(Budget, TheDialogShowsAndStoresTheBudgetsOfAnyMonth)
{
    Sql(QStringLiteral("delete from cates"));
    window->SessionDb().SetCates(user, QStringLiteral("out"), QStringLiteral("米\r\n电费"));
    Store().AddRecords(user, NewRecords({{ThisMonth().toString(Qt::ISODate), "支出", "米", "120", ""},
                              {ThisMonth().addMonths(-1).toString(Qt::ISODate), "支出", "米", "30", ""},
                              {ThisMonth().toString(Qt::ISODate), "支出", "书", "15", ""}}));
    TfrmBudget form(*window, window.get());
    EXPECT_EQ(MonthPicker(form)->date(), ThisMonth());
    EXPECT_EQ(Button(form, "btnSave")->text(), QStringLiteral("保存(&S)"));
    ASSERT_EQ(Grid(form)->rowCount(), 3);
    EXPECT_EQ(GridRow(form, 0), (QStringList{"米", "", "120.00", ""}));
    EXPECT_EQ(GridRow(form, 1), (QStringList{"电费", "", "0.00", ""}));
    EXPECT_EQ(GridRow(form, 2), (QStringList{"书", "", "15.00", ""}));

    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral(" 100 "));
    Grid(form)->item(1, TfrmBudget::colBudget)->setText(QStringLiteral("80.5"));
    Button(form, "btnSave")->click();
    EXPECT_EQ(GridRow(form, 0), (QStringList{"米", "100.00", "120.00", "超出 20.00"}));
    EXPECT_EQ(Grid(form)->item(0, TfrmBudget::colLeft)->foreground().color(), QColor(200, 0, 0));
    EXPECT_DOUBLE_EQ(Grid(form)->item(0, TfrmBudget::colBar)->data(TfrmBudget::BarRole).toDouble(), 1.2);
    EXPECT_EQ(GridRow(form, 1), (QStringList{"电费", "80.50", "0.00", "80.50"}));
    EXPECT_FALSE(Grid(form)->item(2, TfrmBudget::colBar)->data(TfrmBudget::BarRole).isValid());

    // Last month: no budgets yet, its own spending. A budget set there holds this month
    // only until this month's own.
    MonthPicker(form)->setDate(ThisMonth().addMonths(-1));
    EXPECT_EQ(GridRow(form, 0), (QStringList{"米", "", "30.00", ""}));
    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("40"));
    Button(form, "btnSave")->click();
    EXPECT_EQ(GridRow(form, 0), (QStringList{"米", "40.00", "30.00", "10.00"}));
    // Any day of a month shows that month.
    MonthPicker(form)->setDate(ThisMonth().addDays(5));
    EXPECT_EQ(GridRow(form, 0)[1], QStringLiteral("100.00"));

    // Emptied: no budget from this month on.
    Grid(form)->item(1, TfrmBudget::colBudget)->setText(QString());
    Button(form, "btnSave")->click();
    EXPECT_EQ(Store().MonthLines(user, ThisMonth().addMonths(3), {QStringLiteral("电费")}).value(0).budget,
              std::nullopt);
    EXPECT_TRUE(dialogs->Of(QStringLiteral("message")).isEmpty());
    // Saved budgets count as unchanged: no month change above asked about them.
    EXPECT_TRUE(dialogs->Of(QStringLiteral("question")).isEmpty());
}

TEST_F(Budget, AWrongBudgetIsRefusedAndUnsavedChangesAreAskedAbout)
{
    window->SessionDb().SetCates(user, QStringLiteral("out"), QStringLiteral("米"));
    TfrmBudget form(*window, window.get());
    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("0.001"));
    Button(form, "btnSave")->click();
    ASSERT_EQ(dialogs->Of(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(dialogs->calls[0].icon, IDialogs::Icon::Warning);
    EXPECT_EQ(Grid(form)->currentRow(), 0);
    EXPECT_EQ(Store().MonthLines(user, ThisMonth(), {QStringLiteral("米")}).value(0).budget, std::nullopt);

    // Another month with changes pending: No throws them away.
    MonthPicker(form)->setDate(ThisMonth().addMonths(1));
    EXPECT_EQ(dialogs->Of(QStringLiteral("question")).size(), 1);
    EXPECT_EQ(MonthPicker(form)->date(), ThisMonth().addMonths(1));
    EXPECT_EQ(GridRow(form, 0)[1], QString());

    // Yes stores them before the month changes; a wrong one keeps the month.
    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("abc"));
    dialogs->answers.enqueue(true);
    MonthPicker(form)->setDate(ThisMonth());
    EXPECT_EQ(MonthPicker(form)->date(), ThisMonth().addMonths(1));
    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("66"));
    dialogs->answers.enqueue(true);
    Button(form, "btnClose")->click();
    EXPECT_EQ(Store().MonthLines(user, ThisMonth().addMonths(1), {QStringLiteral("米")}).value(0).budget, 6600);
}

TEST_F(Budget, FullWidthBudgetsAreTakenAndTheQuestionNamesTheMonth)
{
    window->SessionDb().SetCates(user, QStringLiteral("out"), QStringLiteral("米\r\n电费"));
    const QDate december(2026, 12, 1);
    TfrmBudget form(*window, window.get(), december);
    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("３０００"));
    Grid(form)->item(1, TfrmBudget::colBudget)->setText(QStringLiteral("　１２．５"));
    Button(form, "btnSave")->click();
    EXPECT_TRUE(dialogs->calls.isEmpty());
    EXPECT_EQ(GridRow(form, 0)[1], QStringLiteral("3000.00"));
    EXPECT_EQ(Store().MonthLines(user, december, {QStringLiteral("电费")}).value(0).budget, 1250);

    Grid(form)->item(0, TfrmBudget::colBudget)->setText(QStringLiteral("１０"));
    dialogs->answers.enqueue(false);
    MonthPicker(form)->setDate(december.addMonths(1));
    ASSERT_EQ(dialogs->Of(QStringLiteral("question")).size(), 1);
    EXPECT_EQ(dialogs->calls[0].text, QStringLiteral("2026年12月的预算已修改，要先保存吗？"));
}

TEST_F(Budget, TheMenuOpensTheDialog)
{
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        auto *form = qobject_cast<TfrmBudget *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        shown = true;
        Button(*form, "btnClose")->click();
    });
    Child<QAction>(window.get(), "mnuMenu_Budget")->trigger();
    EXPECT_TRUE(shown);
}
