#include "entry/EntryFixture.h"
#include "widgets/ListView.h"
#include "store/DbClass.h"

#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using EntryPanel = EntryFixture;

namespace {

// The six steps each panel lists at its top and in its help.
const QStringList kOutSteps = {
    QStringLiteral("第1步，选择日期，例如：2099-12-31。"),
    QStringLiteral("第2步，填写项目，例如：宝宝奶粉钱。"),
    QStringLiteral("第3步，填写金额，例如：1000009.95。"),
    QStringLiteral("第4步，填写备注，例如：金装喜康力。"),
    QStringLiteral("第5步，确认无误，请点添加按钮即可。"),
    QStringLiteral("第6步，添加完所有支出请点保存按钮。"),
};
const QStringList kInSteps = {
    QStringLiteral("第1步，选择日期，例如：2099-01-31。"),
    QStringLiteral("第2步，填写项目，例如：亲属赠与金。"),
    QStringLiteral("第3步，填写金额，例如：8000008.88。"),
    QStringLiteral("第4步，填写备注，例如：宝宝压岁钱。"),
    QStringLiteral("第5步，确认无误，请点添加按钮即可。"),
    QStringLiteral("第6步，添加完所有收入请点保存按钮。"),
};

} // namespace

TEST_F(EntryPanel, ControlsOfBothTwinsCarryTheirNamesAndCaptions)
{
    for (const bool out : {true, false}) {
        const QString t = out ? QStringLiteral("Out") : QStringLiteral("In");
        const TEntryControls controls = out ? Expense(window) : Income(window);
        TEntryPanel *panel = controls.panel;
        for (const auto &[name, caption] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"Help", "帮助"}, {"EditCates", "编辑"}, {"Calc", "计算器"}, {"Add", "添加(&A)"},
                 {"Delete", "删除(&D)"}, {"Edit", "编辑(&E)"}, {"Save", "保存(&S)"}}) {
            auto *b = panel->findChild<QPushButton *>(QStringLiteral("btn") + t + QString::fromLatin1(name));
            ASSERT_NE(b, nullptr) << name;
            EXPECT_EQ(b->text(), QString::fromUtf8(caption));
        }
        for (int i = 1; i <= 6; ++i) {
            const QString name = (out ? QStringLiteral("lblOutStep%1") : QStringLiteral("lblStep%1")).arg(i);
            auto *label = panel->findChild<QLabel *>(name);
            ASSERT_NE(label, nullptr) << name.toStdString();
            EXPECT_EQ(label->text(), (out ? kOutSteps : kInSteps).at(i - 1));
            EXPECT_EQ(label->font().pixelSize(), 12);
        }
        EXPECT_NE(panel->findChild<QDateEdit *>(QStringLiteral("dtp") + t + QStringLiteral("Date")), nullptr);
        EXPECT_NE(panel->findChild<QComboBox *>(QStringLiteral("cbo") + t + QStringLiteral("Cate")), nullptr);
        EXPECT_NE(panel->findChild<QLineEdit *>(QStringLiteral("edt") + t + QStringLiteral("Amount")), nullptr);
        EXPECT_NE(panel->findChild<QLineEdit *>(QStringLiteral("edt") + t + QStringLiteral("Notes")), nullptr);
        EXPECT_EQ(ListCaptions(controls.lvwRecs), (QStringList{"日期", "类别", "项目", "金额", "备注"}));
        EXPECT_EQ(controls.lblTotal->text(), QStringLiteral("合计：0.00"));
        EXPECT_FALSE(controls.btnAdd->isEnabled());
    }

    // Only the four fields and Add take the focus by Tab, in this order.
    const TEntryControls p = Expense(window);
    QWidget *w = p.dtpDate;
    QList<QWidget *> chain;
    for (int i = 0; i < 200 && chain.size() < 5; ++i, w = w->nextInFocusChain())
        if (w->parentWidget() == p.panel && (w->focusPolicy() & Qt::TabFocus) && !chain.contains(w))
            chain << w;
    EXPECT_EQ(chain, (QList<QWidget *>{p.dtpDate, p.cboCate, p.edtAmount, p.edtNotes, p.btnAdd}));
}

TEST_F(EntryPanel, AddFollowsTheAcceptedAmountRule)
{
    const TEntryControls p = Expense(window);
    for (const char *amount : {"0.009", "0", "-5", "abc", "1,000", "", "   ", "1e999", "nan", "12元"}) {
        Fill(p, QStringLiteral("Milk"), QString::fromUtf8(amount));
        EXPECT_FALSE(p.btnAdd->isEnabled()) << amount;
    }
    Fill(p, QStringLiteral("   "), QStringLiteral("5"));
    EXPECT_FALSE(p.btnAdd->isEnabled());

    const std::pair<const char *, const char *> accepted[] = {
        {"0.01", "0.01"}, {" 12 ", "12.00"}, {"3.456", "3.46"}, {"1e3", "1000.00"}};
    for (const auto &[typed, listed] : accepted)
        Add(p, QStringLiteral("Milk"), QString::fromUtf8(typed));
    EXPECT_EQ(Column(p, 4), (QStringList{"0.01", "12.00", "3.46", "1000.00"}));
    EXPECT_EQ(Column(p, 5), (QStringList{"", "", "", ""}));
}

TEST_F(EntryPanel, AddListsTheTrimmedRowAndEmptiesTheFields)
{
    const TEntryControls p = Income(window);
    p.dtpDate->setDate(QDate(2024, 2, 29));
    Add(p, QStringLiteral("  压岁钱 "), QStringLiteral(" 88.8"), QStringLiteral("\t给宝宝 "));

    EXPECT_EQ(p.PendingRows(), (QList<QStringList>{{"2024-02-29", "收入", "压岁钱", "88.80", "给宝宝"}}));
    EXPECT_EQ(p.dtpDate->date(), QDate(2024, 2, 29));
    EXPECT_EQ(p.cboCate->currentText(), QString());
    EXPECT_EQ(p.edtAmount->text(), QString());
    EXPECT_EQ(p.edtNotes->text(), QString());
    EXPECT_FALSE(p.btnAdd->isEnabled());
    EXPECT_TRUE(Income(window).btnSave->isEnabled());
    EXPECT_FALSE(Expense(window).btnSave->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：88.80"));
    // The new item is at the top of the drop-down and already stored; nothing else is.
    EXPECT_EQ(p.CateEntries(), QStringList{"压岁钱"});
    EXPECT_EQ(window->SessionDb().GetCates(user, QStringLiteral("in")), QStringLiteral("压岁钱"));
    EXPECT_TRUE(StoredRecords().isEmpty());
}

TEST_F(EntryPanel, EnterMovesThroughTheFieldsAndAddsFromTheNotes)
{
    const TEntryControls p = Expense(window);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Scripted();

    // Keys go where the application sends them: to the widget that has the focus.
    const auto type = [](const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); };
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    p.dtpDate->setFocus();
    press(Qt::Key_Return);
    EXPECT_TRUE(p.cboCate->hasFocus());
    type(QStringLiteral("Bread"));
    press(Qt::Key_Return);
    EXPECT_TRUE(p.edtAmount->hasFocus());
    EXPECT_EQ(p.cboCate->count(), 0);  // Enter does not put the text into the drop-down
    type(QStringLiteral("4.5"));
    press(Qt::Key_Return);
    EXPECT_TRUE(p.edtNotes->hasFocus());
    type(QStringLiteral("rye"));
    press(Qt::Key_Enter);
    EXPECT_EQ(Column(p, 3), QStringList{"Bread"});
    EXPECT_EQ(Column(p, 4), QStringList{"4.50"});
    EXPECT_EQ(Column(p, 5), QStringList{"rye"});
    EXPECT_TRUE(p.cboCate->hasFocus());

    // With Add disabled, Enter in the notes only sends the user back to the item.
    p.edtAmount->setText(QStringLiteral("0"));
    p.edtNotes->setFocus();
    type(QStringLiteral("x"));
    press(Qt::Key_Return);
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 1);
    EXPECT_TRUE(p.cboCate->hasFocus());
    EXPECT_EQ(p.edtNotes->text(), QStringLiteral("x"));
    EXPECT_TRUE(Scripted().calls.isEmpty());
}

TEST_F(EntryPanel, TotalIsTheSumOfTheListedAmounts)
{
    const TEntryControls p = Expense(window);
    Add(p, QStringLiteral("a"), QStringLiteral("12.346"));
    Add(p, QStringLiteral("b"), QStringLiteral("0.01"));
    EXPECT_EQ(Column(p, 4), (QStringList{"12.35", "0.01"}));
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：12.36"));

    auto &dlg = Scripted();
    dlg.answers << true << true;
    for (int i = 0; i < 2; ++i) {
        p.lvwRecs->setCurrentItem(p.lvwRecs->topLevelItem(0));
        p.btnDelete->click();
    }
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 0);
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：0.00"));
    EXPECT_FALSE(Expense(window).btnSave->isEnabled());
}

TEST_F(EntryPanel, TakeBackMovesTheRowIntoTheFields)
{
    const TEntryControls p = Expense(window);
    p.dtpDate->setDate(QDate(2023, 5, 1));
    Add(p, QStringLiteral("Rent"), QStringLiteral("900"), QStringLiteral("May"));
    p.dtpDate->setDate(QDate(2023, 5, 2));
    Add(p, QStringLiteral("Gas"), QStringLiteral("40"));
    const QList<QStringList> before = p.PendingRows();
    p.dtpDate->setDate(QDate(2030, 1, 1));
    Fill(p, QStringLiteral("typed"), QStringLiteral("1"), QStringLiteral("n"));

    p.lvwRecs->setCurrentItem(p.lvwRecs->topLevelItem(0));
    auto &dlg = Scripted();
    dlg.answers << false;
    p.btnEdit->click();
    EXPECT_EQ(p.PendingRows(), before);
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("typed"));

    dlg.answers << true;
    p.btnEdit->click();
    EXPECT_EQ(dlg.Of(QStringLiteral("question")).last().text, QStringLiteral("您真的想要编辑它吗？"));
    EXPECT_EQ(dlg.Of(QStringLiteral("question")).last().caption, QStringLiteral("确认"));
    EXPECT_EQ(p.dtpDate->date(), QDate(2023, 5, 1));
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("Rent"));
    EXPECT_EQ(p.edtAmount->text(), QStringLiteral("900.00"));
    EXPECT_EQ(p.edtNotes->text(), QStringLiteral("May"));
    EXPECT_TRUE(p.btnAdd->isEnabled());
    EXPECT_EQ(Column(p, 3), QStringList{"Gas"});
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：40.00"));
    EXPECT_TRUE(p.lvwRecs->selectedItems().isEmpty());
    EXPECT_FALSE(Expense(window).btnEdit->isEnabled());
    EXPECT_FALSE(Expense(window).btnDelete->isEnabled());

    // Added again unchanged, the row comes back identical at the end.
    p.btnAdd->click();
    EXPECT_EQ(p.PendingRows(), (QList<QStringList>{before[1], before[0]}));
}

TEST_F(EntryPanel, DeleteKeyAsksOnlyWithASelectedRow)
{
    const TEntryControls p = Expense(window);
    Add(p, QStringLiteral("a"), QStringLiteral("1"));
    Add(p, QStringLiteral("b"), QStringLiteral("2"));
    auto &dlg = Scripted();
    QTest::keyClick(p.lvwRecs, Qt::Key_Delete);
    EXPECT_TRUE(dlg.calls.isEmpty());
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 2);

    p.lvwRecs->setCurrentItem(p.lvwRecs->topLevelItem(1));
    dlg.answers << false;
    QTest::keyClick(p.lvwRecs, Qt::Key_Delete);
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("您真的想要删除它吗？"));
    EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("确认"));
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 2);

    dlg.answers << true;
    QTest::keyClick(p.lvwRecs, Qt::Key_Delete);
    EXPECT_EQ(Column(p, 3), QStringList{"a"});
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：1.00"));
    EXPECT_FALSE(Expense(window).btnDelete->isEnabled());
    EXPECT_TRUE(Expense(window).btnSave->isEnabled());
}

TEST_F(EntryPanel, SeveralSelectedRowsGoWithOneQuestion)
{
    const TEntryControls p = Expense(window);
    for (const char *item : {"a", "b", "c", "d"})
        Add(p, QString::fromLatin1(item), QStringLiteral("1"));
    // Ctrl+click adds rows to the selection, as in any list.
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QRect rect = p.lvwRecs->visualItemRect(p.lvwRecs->topLevelItem(row));
        QTest::mouseClick(p.lvwRecs->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    click(0, {});
    click(2, Qt::ControlModifier);
    click(3, Qt::ControlModifier);
    EXPECT_EQ(p.lvwRecs->selectedItems().size(), 3);
    EXPECT_TRUE(p.btnDelete->isEnabled());
    EXPECT_FALSE(p.btnEdit->isEnabled());  // Edit takes back one row

    auto &dlg = Scripted();
    dlg.answers << true;
    p.btnDelete->click();
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("您真的想要删除这 3 条记录吗？"));
    EXPECT_EQ(Column(p, 3), QStringList{"b"});
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：1.00"));
    EXPECT_FALSE(p.btnDelete->isEnabled());
}

TEST_F(EntryPanel, SaveStoresTheListInOrderAfterYes)
{
    const TEntryControls p = Expense(window);
    p.dtpDate->setDate(QDate(2022, 12, 31));
    Add(p, QStringLiteral("奶粉"), QStringLiteral("199.9"), QStringLiteral("金装"));
    Add(p, QStringLiteral("Bus"), QStringLiteral("2"));
    Add(p, QStringLiteral("奶粉"), QStringLiteral("0.01"), QStringLiteral("'; drop table data; --"));
    const QList<QStringList> rows = p.PendingRows();
    Fill(p, QStringLiteral("left"), QStringLiteral("abc"), QStringLiteral("in place"));

    auto &dlg = Scripted();
    dlg.answers << false;
    p.btnSave->click();
    EXPECT_TRUE(StoredRecords().isEmpty());
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 3);

    dlg.answers << true;
    p.btnSave->click();
    EXPECT_EQ(StoredRecords(), rows);
    ASSERT_EQ(dlg.calls.size(), 3);
    EXPECT_EQ(dlg.calls[1].text, QStringLiteral("您真的想要保存吗？"));
    EXPECT_EQ(dlg.calls[2].kind, QStringLiteral("message"));
    EXPECT_EQ(dlg.calls[2].text, QStringLiteral("成功！\r\n\r\n想查看收支记录明细，请点击“收支目录”。"));
    EXPECT_EQ(dlg.calls[2].caption, QStringLiteral("Tallyfern"));
    EXPECT_EQ(dlg.calls[2].icon, IDialogs::Icon::Information);
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 0);
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：0.00"));
    EXPECT_FALSE(Expense(window).btnSave->isEnabled());
    EXPECT_EQ(p.dtpDate->date(), QDate(2022, 12, 31));
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("left"));
    EXPECT_EQ(p.edtNotes->text(), QStringLiteral("in place"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EntryPanel, PendingRowsOfOnePanelSurviveWorkOnTheOther)
{
    const TEntryControls out = Expense(window);
    const TEntryControls in = Income(window);
    Add(out, QStringLiteral("Rent"), QStringLiteral("900"));
    Add(out, QStringLiteral("Food"), QStringLiteral("35.5"));
    out.lvwRecs->setCurrentItem(out.lvwRecs->topLevelItem(1));
    const QList<QStringList> pending = out.PendingRows();

    Child<QRadioButton>(window.get(), "rdoIncome")->setChecked(true);
    EXPECT_TRUE(out.panel->isHidden());
    Add(in, QStringLiteral("Salary"), QStringLiteral("3000"));
    auto &dlg = Scripted();
    dlg.answers << true;
    in.btnSave->click();
    Child<QRadioButton>(window.get(), "rdoExpense")->setChecked(true);

    EXPECT_FALSE(out.panel->isHidden());
    EXPECT_EQ(out.PendingRows(), pending);
    EXPECT_EQ(out.lvwRecs->currentItem(), out.lvwRecs->topLevelItem(1));
    EXPECT_TRUE(Expense(window).btnEdit->isEnabled());
    EXPECT_TRUE(Expense(window).btnSave->isEnabled());
    EXPECT_EQ(out.lblTotal->text(), QStringLiteral("合计：935.50"));
    const QList<QStringList> stored = StoredRecords();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].mid(1, 3), (QStringList{"收入", "Salary", "3000.00"}));
}

TEST_F(EntryPanel, FailedSaveStoresNothingAndKeepsTheList)
{
    const TEntryControls p = Expense(window);
    Add(p, QStringLiteral("a"), QStringLiteral("1"));
    Add(p, QStringLiteral("b"), QStringLiteral("2"));
    Add(p, QStringLiteral("c"), QStringLiteral("3"));
    const QList<QStringList> rows = p.PendingRows();
    auto &dlg = Scripted();

    // A ledger file that may not be written.
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    QFile::setPermissions(ledger.Dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    dlg.answers << true;
    p.btnSave->click();
    QFile::setPermissions(ledger.Dir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_EQ(dlg.calls.size(), 2);
    EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Error);
    EXPECT_EQ(p.PendingRows(), rows);
    EXPECT_TRUE(p.btnSave->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The ledger refuses the third insert, after two rows of the batch went in: the
    // automatic numbers of the records run out after two more.
    Sql(QStringLiteral("delete from sqlite_sequence where name='data'"));
    Sql(QStringLiteral("insert into sqlite_sequence (name, seq) values ('data', 9223372036854775805)"));
    dlg.calls.clear();
    dlg.answers << true;
    p.btnSave->click();
    ASSERT_EQ(dlg.calls.size(), 2);
    EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(dlg.calls[1].text.contains(QStringLiteral("编号已经用到了最大值"))) << dlg.calls[1].text.toStdString();
    EXPECT_TRUE(StoredRecords().isEmpty());
    EXPECT_EQ(p.PendingRows(), rows);
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：6.00"));
    EXPECT_TRUE(p.btnSave->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Once the ledger takes writes again, a second Save stores every row exactly once.
    Sql(QStringLiteral("update sqlite_sequence set seq=0 where name='data'"));
    dlg.answers << true;
    p.btnSave->click();
    EXPECT_EQ(StoredRecords(), rows);
    EXPECT_EQ(p.lvwRecs->topLevelItemCount(), 0);
}

TEST_F(EntryPanel, FailedItemStoreDuringAddKeepsTheRow)
{
    const TEntryControls p = Expense(window);
    Add(p, QStringLiteral("Old"), QStringLiteral("1"));
    // The ledger file may not be written when the new item is stored.
    auto &dlg = Scripted();
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    Add(p, QStringLiteral("New"), QStringLiteral("2"));
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].icon, IDialogs::Icon::Error);
    EXPECT_EQ(Column(p, 3), (QStringList{"Old", "New"}));
    EXPECT_EQ(p.lblTotal->text(), QStringLiteral("合计：3.00"));
    EXPECT_EQ(p.cboCate->currentText(), QString());
    EXPECT_TRUE(Expense(window).btnSave->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The drop-down shows what is stored, so the next Add of the item stores it.
    EXPECT_EQ(p.CateEntries(), QStringList{"Old"});
    EXPECT_EQ(window->SessionDb().GetCates(user, QStringLiteral("out")), QStringLiteral("Old"));

    Add(p, QStringLiteral("New"), QStringLiteral("2"));
    EXPECT_EQ(window->SessionDb().GetCates(user, QStringLiteral("out")), QStringLiteral("New\r\nOld"));
}

TEST_F(EntryPanel, HelpShowsTheStepsOfItsPanel)
{
    for (const bool out : {true, false}) {
        const TEntryControls p = out ? Expense(window) : Income(window);
        auto &dlg = Scripted();
        p.btnHelp->click();
        ASSERT_EQ(dlg.calls.size(), 1);
        QString expected = QStringLiteral("- 例子：\r\n");
        for (const QString &step : out ? kOutSteps : kInSteps)
            expected += QStringLiteral("  ") + step + QStringLiteral("\r\n");
        expected += QStringLiteral("\r\n- 想查看收支记录明细，请点击“收支目录”。");
        EXPECT_EQ(dlg.calls[0].text, expected);
        EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("帮助"));
        EXPECT_EQ(dlg.calls[0].icon, IDialogs::Icon::Information);
    }
}

TEST_F(EntryPanel, TheNewRowIsScrolledIntoViewAndAFullWidthAmountIsAccepted)
{
    window->show();
    const TEntryControls p = Expense(window);
    for (int i = 1; i <= 40; ++i)
        Add(p, QStringLiteral("项目%1").arg(i), QStringLiteral("%1").arg(i));
    Add(p, QStringLiteral("午餐"), QStringLiteral("１２．５"));
    QTreeWidgetItem *last = p.lvwRecs->topLevelItem(40);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->text(4), QStringLiteral("12.50"));
    const QRect shown = p.lvwRecs->visualItemRect(last);
    EXPECT_TRUE(p.lvwRecs->viewport()->rect().contains(shown)) << shown.y();
}

TEST_F(EntryPanel, TheCalculatorButtonSaysSoWhenNoCalculatorIsInstalled)
{
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    auto &dlg = Scripted();
    Income(window).btnCalc->click();
    qputenv("PATH", path);
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("未找到计算器程序"));
}
