#include "app/MainForm.h"
#include "entry/EntryPanel.h"
#include "recurring/RecurringForm.h"
#include "recurring/RecurringOffers.h"
#include "store/RecurringStore.h"
#include "support/WindowParts.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kUser = QStringLiteral("妈妈");

QDate MonthsFromNow(int months)
{
    const QDate today = QDate::currentDate();
    return QDate(today.year(), today.month(), 1).addMonths(months);
}

QString Day(const QDate &month, int day)
{
    return OccurrenceDate(month, day).toString(Qt::ISODate);
}

QStringList Messages(const TScriptedDialogs &dialogs)
{
    QStringList out;
    for (const auto &call : dialogs.Of(QStringLiteral("message")))
        out << call.text;
    return out;
}

// Runs action on the next modal dialog once it is shown.
void OnModal(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        action(modal);
    });
}

void SelectRow(QTreeWidget *list, int row)
{
    list->setCurrentItem(list->topLevelItem(row));
}

// Signs in; the message about offered rows waits until the window is shown.
std::unique_ptr<TfrmMain> ShownMainWindow(const TTempLedger &ledger, const TScriptedDialogs &dialogs)
{
    auto window = SignedInMainWindow(ledger.Path(), kUser);
    EXPECT_TRUE(Messages(dialogs).isEmpty());
    window->show();
    QCoreApplication::processEvents();
    return window;
}

} // namespace

TEST(RecurringAtSignIn, DueOccurrencesWaitInTheirPanelsUntilSavedOrTakenBack)
{
    TTempLedger ledger;
    {
        TRecurringStore store(ledger.Path());
        store.Add(kUser, {0, kTypeOut, QStringLiteral("房租"), 250000, QStringLiteral("三月一付"), 1, MonthsFromNow(-2), {}});
        store.Add(kUser, {0, kTypeIn, QStringLiteral("工资"), 800000, QString(), 1, MonthsFromNow(0), {}});
        store.Add(kUser, {0, kTypeOut, QStringLiteral("学费"), 100000, QString(), 1, MonthsFromNow(-1), MonthsFromNow(-1)});
        store.Add(kUser, {0, kTypeOut, QStringLiteral("保险"), 100000, QString(), 1, MonthsFromNow(1), {}});
    }
    TScriptedDialogs &dialogs = Scripted();
    auto window = ShownMainWindow(ledger, dialogs);
    EXPECT_EQ(Messages(dialogs), QStringList{"已将 5 条定期收支加入待保存列表，请核对后保存。"});
    const QString rent = QStringLiteral("房租");
    EXPECT_EQ(Expense(window).PendingRows(),
              (QList<QStringList>{{Day(MonthsFromNow(-2), 1), "支出", rent, "2500.00", "三月一付"},
                                  {Day(MonthsFromNow(-1), 1), "支出", rent, "2500.00", "三月一付"},
                                  {Day(MonthsFromNow(-1), 1), "支出", "学费", "1000.00", ""},
                                  {Day(MonthsFromNow(0), 1), "支出", rent, "2500.00", "三月一付"}}));
    EXPECT_EQ(Income(window).PendingRows(),
              (QList<QStringList>{{Day(MonthsFromNow(0), 1), "收入", "工资", "8000.00", ""}}));
    EXPECT_EQ(Expense(window).lblTotal->text(), QStringLiteral("合计：8500.00"));
    EXPECT_TRUE(Expense(window).btnSave->isEnabled());

    // The first rent is taken back, the rest of the expenses saved; the salary is left
    // in its list when the window closes.
    const TEntryControls out = Expense(window);
    SelectRow(out.lvwRecs, 0);
    dialogs.answers.enqueue(true);  // delete
    dialogs.answers.enqueue(true);  // save
    out.btnDelete->click();
    out.btnSave->click();
    EXPECT_TRUE(out.PendingRows().isEmpty());
    EXPECT_EQ(Income(window).PendingRows().size(), 1);
    window.reset();

    TScriptedDialogs &again = Scripted();
    window = ShownMainWindow(ledger, again);
    EXPECT_EQ(Messages(again), QStringList{"已将 1 条定期收支加入待保存列表，请核对后保存。"});
    EXPECT_TRUE(Expense(window).PendingRows().isEmpty());
    EXPECT_EQ(Income(window).PendingRows().size(), 1);

    // Taken into the fields by Edit is not withdrawn: closed then, it is offered again.
    TEntryControls in = Income(window);
    SelectRow(in.lvwRecs, 0);
    again.answers.enqueue(true);
    in.btnEdit->click();
    EXPECT_EQ(in.edtAmount->text(), QStringLiteral("8000.00"));
    window.reset();
    TScriptedDialogs &third = Scripted();
    window = ShownMainWindow(ledger, third);
    EXPECT_EQ(Income(window).PendingRows().size(), 1);

    // Corrected and added again, it is settled by the save; nothing more is offered.
    in = Income(window);
    SelectRow(in.lvwRecs, 0);
    third.answers << true << true;
    in.btnEdit->click();
    in.edtAmount->setText(QStringLiteral("8100"));
    in.btnAdd->click();
    in.btnSave->click();
    EXPECT_TRUE(in.PendingRows().isEmpty());
    window.reset();
    TScriptedDialogs &fourth = Scripted();
    window = ShownMainWindow(ledger, fourth);
    EXPECT_TRUE(Messages(fourth).isEmpty());
    EXPECT_TRUE(Income(window).PendingRows().isEmpty());
}

TEST(RecurringAtSignIn, RowsDeletedTogetherAreAllWithdrawn)
{
    TTempLedger ledger;
    TRecurringStore(ledger.Path())
        .Add(kUser, {0, kTypeOut, QStringLiteral("房租"), 250000, QString(), 1, MonthsFromNow(-3), {}});
    TScriptedDialogs &dialogs = Scripted();
    auto window = ShownMainWindow(ledger, dialogs);
    const TEntryControls out = Expense(window);
    ASSERT_EQ(out.PendingRows().size(), 4);
    out.lvwRecs->selectAll();
    dialogs.answers.enqueue(true);
    out.btnDelete->click();
    EXPECT_EQ(dialogs.Of(QStringLiteral("question")).value(0).text, QStringLiteral("您真的想要删除这 4 条记录吗？"));
    EXPECT_TRUE(out.PendingRows().isEmpty());
    window.reset();
    TScriptedDialogs &again = Scripted();
    window = ShownMainWindow(ledger, again);
    EXPECT_TRUE(Expense(window).PendingRows().isEmpty());
}

class RecurringForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = SignedInMainWindow(ledger.Path(), kUser);
        dialogs = &Scripted();
        form = std::make_unique<TfrmRecurring>(*window, window.get());
    }

    // Fills the edit dialog and presses OK.
    static void FillAndAccept(QWidget *modal, int type, const QString &item, const QString &amount, int day,
                              const QDate &first, const QDate &last = QDate())
    {
        modal->findChild<QComboBox *>(QStringLiteral("cboType"))->setCurrentIndex(type);
        modal->findChild<QComboBox *>(QStringLiteral("cboCate"))->setEditText(item);
        modal->findChild<QLineEdit *>(QStringLiteral("edtAmount"))->setText(amount);
        modal->findChild<QSpinBox *>(QStringLiteral("spnDay"))->setValue(day);
        modal->findChild<QDateEdit *>(QStringLiteral("dtpFirst"))->setDate(first);
        modal->findChild<QCheckBox *>(QStringLiteral("chkLast"))->setChecked(last.isValid());
        if (last.isValid())
            modal->findChild<QDateEdit *>(QStringLiteral("dtpLast"))->setDate(last);
        modal->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
    }
    QStringList Row(int r) const
    {
        QStringList out;
        for (int c = 1; c < List()->columnCount(); ++c)
            out << List()->topLevelItem(r)->text(c);
        return out;
    }
    QTreeWidget *List() const { return Child<QTreeWidget>(form.get(), "lvwRecurring"); }
    QPushButton *Button(const char *name) const { return Child<QPushButton>(form.get(), name); }

    TTempLedger ledger;
    std::unique_ptr<TfrmMain> window;
    TScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<TfrmRecurring> form;
};

TEST_F(RecurringForm, AddEditAndDeleteKeepTheListAndTheLedgerTogether)
{
    EXPECT_EQ(Button("btnAdd")->text(), QStringLiteral("添加(&A)"));
    EXPECT_EQ(Button("btnClose")->text(), QStringLiteral("关闭(&C)"));
    EXPECT_FALSE(Button("btnEdit")->isEnabled());

    // Full-width digits, as a Chinese input method types them, are an amount as well.
    OnModal([](QWidget *m) { FillAndAccept(m, 1, QStringLiteral(" 工资 "), QStringLiteral("８０００"), 31, QDate(2026, 1, 15)); });
    Button("btnAdd")->click();
    OnModal([](QWidget *m) {
        FillAndAccept(m, 0, QStringLiteral("房租"), QStringLiteral("２５００．５"), 5, QDate(2026, 2, 1), QDate(2026, 12, 1));
    });
    Button("btnAdd")->click();
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{"收入", "工资", "8000.00", "31", "2026-01", "", ""}));
    EXPECT_EQ(Row(1), (QStringList{"支出", "房租", "2500.50", "5", "2026-02", "2026-12", ""}));
    EXPECT_TRUE(Button("btnEdit")->isEnabled());

    // A wrong field keeps the dialog open with a message; Cancel changes nothing.
    SelectRow(List(), 1);
    OnModal([this](QWidget *m) {
        m->findChild<QLineEdit *>(QStringLiteral("edtAmount"))->setText(QStringLiteral("0"));
        m->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
        EXPECT_TRUE(m->isVisible());
        EXPECT_EQ(dialogs->Of(QStringLiteral("message")).size(), 1);
        m->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    });
    Button("btnEdit")->click();
    EXPECT_EQ(Row(1)[2], QStringLiteral("2500.50"));

    OnModal([](QWidget *m) {
        FillAndAccept(m, 0, QStringLiteral("房租"), QStringLiteral("2600"), 28, QDate(2026, 2, 1));
    });
    Button("btnEdit")->click();
    EXPECT_EQ(Row(1), (QStringList{"支出", "房租", "2600.00", "28", "2026-02", "", ""}));
    const QList<TRecurring> stored = TRecurringStore(ledger.Path()).List(kUser);
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[1].amount, 260000);
    EXPECT_FALSE(stored[1].lastMonth.isValid());

    SelectRow(List(), 0);
    dialogs->answers.enqueue(false);
    Button("btnDelete")->click();
    EXPECT_EQ(List()->topLevelItemCount(), 2);
    dialogs->answers.enqueue(true);
    Button("btnDelete")->click();
    EXPECT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(TRecurringStore(ledger.Path()).List(kUser).value(0).item, QStringLiteral("房租"));
}
