#include "base/HiClass.h"
#include "app/MainForm.h"
#include "entry/EntryPanel.h"
#include "import/BillReader.h"
#include "import/ImportForm.h"
#include "import/ImportSettingsForm.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTableWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kUser = QStringLiteral("妈妈");

QString Fixture(const char *name)
{
    return QStringLiteral(TALLYFERN_TEST_DATA "/import/") + QString::fromLatin1(name);
}

class ImportFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs = &Scripted();
        window = SignedInMainWindow(ledger.Path(), kUser);
    }

    // Starts "导入账单..." with the file; handle runs on the import dialog once it shows.
    void ImportFile(const QString &path, std::function<void(TfrmImport &)> handle)
    {
        dialogs->fileNames.enqueue(path);
        bool shown = false;
        if (handle)
            QTimer::singleShot(0, [&] {
                auto *form = qobject_cast<TfrmImport *>(QApplication::activeModalWidget());
                ASSERT_NE(form, nullptr);
                shown = true;
                handle(*form);
                if (form->isVisible())
                    form->reject();
            });
        Menu("mnuMenu_ImportBill")->trigger();
        EXPECT_EQ(shown, bool(handle));
    }

    QAction *Menu(const char *name) { return window->findChild<QAction *>(QString::fromLatin1(name)); }

    int StoredCount()
    {
        TConnection conn;
        conn.Open(ledger.Path());
        TStatement rs(conn, QStringLiteral("select count(*) from [data] where [user]=?"), {THi::EncodeText(kUser)});
        const int n = rs.Next() ? int(rs.Integer(0)) : -1;
        conn.Close();
        return n;
    }

    QString LastMessage() const
    {
        const auto messages = dialogs->Of(QStringLiteral("message"));
        return messages.isEmpty() ? QString() : messages.last().text;
    }

    TScriptedDialogs *dialogs = nullptr;
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> window;
};

// The dialog's controls, by their object names.
QTreeWidget *Bill(const TfrmImport &form)
{
    return Child<QTreeWidget>(&form, "lvwBill");
}

QString Summary(const TfrmImport &form)
{
    return Child<QLabel>(&form, "lblSummary")->text();
}

QPushButton *Button(const TfrmImport &form, const char *name)
{
    return Child<QPushButton>(&form, name);
}

QStringList Column(const TfrmImport &form, int column)
{
    QStringList out;
    for (int i = 0; i < Bill(form)->topLevelItemCount(); ++i)
        out << Bill(form)->topLevelItem(i)->text(column);
    return out;
}

// Types an item into the row's drop-down editor and commits it with Enter, as the user does.
void TypeItem(TfrmImport &form, int row, const QString &text)
{
    QTreeWidgetItem *item = Bill(form)->topLevelItem(row);
    Bill(form)->setCurrentItem(item, TfrmImport::ColItem);
    Bill(form)->editItem(item, TfrmImport::ColItem);
    auto *combo = Bill(form)->findChild<QComboBox *>(QStringLiteral("cboItem"));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentText(text);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    // The view commits an edit on Enter through a queued call.
    QCoreApplication::processEvents();
    EXPECT_EQ(item->text(TfrmImport::ColItem), text);
}

} // namespace

TEST_F(ImportFormTest, ReviewedBillIsStoredAndItsItemsLearned)
{
    TDbMan(ledger.Path()).SetCates(kUser, QStringLiteral("out"), QStringLiteral("房租"));
    ImportFile(Fixture("wechat.csv"), [&](TfrmImport &form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("导入账单"));
        EXPECT_EQ(dialogs->Of(QStringLiteral("open")).first().caption, QStringLiteral("选择账单文件"));
        EXPECT_TRUE(dialogs->Of(QStringLiteral("open")).first().text.startsWith(QStringLiteral("账单文件 (*.csv *.xls *.xlsx *.zip)")));
        EXPECT_EQ(Column(form, TfrmImport::ColDate).first(), QStringLiteral("2026-11-04"));
        EXPECT_EQ(Column(form, TfrmImport::ColAmount),
                  (QStringList{"25.00", "1234.56", "27.00", "199.00", "50.00", "100.00", "25.00"}));
        EXPECT_EQ(Column(form, TfrmImport::ColReason),
                  (QStringList{"", "", "", "已全额退款", "已全额退款", "不计收支", "账单内重复"}));
        EXPECT_EQ(Summary(form), QStringLiteral("共 7 条，选中 3 条：支出 52.00 元，收入 1234.56 元"));
        // A row that is neither expense nor income cannot be checked.
        EXPECT_FALSE(Bill(form)->topLevelItem(5)->flags() & Qt::ItemIsUserCheckable);

        TypeItem(form, 0, QStringLiteral("午饭"));
        // The repeated row of the same counterpart follows the change.
        EXPECT_EQ(Column(form, TfrmImport::ColItem).at(6), QStringLiteral("午饭"));
        // Space on the current row leaves it out, as a click on its box does.
        Bill(form)->setCurrentItem(Bill(form)->topLevelItem(1), TfrmImport::ColCheck);
        QTest::keyClick(Bill(form), Qt::Key_Space);
        EXPECT_EQ(Bill(form)->topLevelItem(1)->checkState(TfrmImport::ColCheck), Qt::Unchecked);
        Bill(form)->topLevelItem(3)->setCheckState(TfrmImport::ColCheck, Qt::Checked);
        EXPECT_EQ(Summary(form), QStringLiteral("共 7 条，选中 3 条：支出 251.00 元，收入 0.00 元"));
        QTest::mouseClick(Button(form, "btnImport"), Qt::LeftButton);
    });
    EXPECT_EQ(LastMessage(), QStringLiteral("已导入 3 条记录。"));
    EXPECT_EQ(StoredCount(), 3);
    // New items show in the entry drop-down at once, newest first.
    EXPECT_EQ(Expense(window).CateEntries(),
              (QStringList{QStringLiteral("网店"), QStringLiteral("水果店"), QStringLiteral("午饭"), QStringLiteral("房租")}));

    // The next bill: the known row is offered unchecked, the learned item is applied; Cancel stores nothing.
    ImportFile(Fixture("wechat-later.csv"), [&](TfrmImport &form) {
        EXPECT_EQ(Column(form, TfrmImport::ColReason).first(), QStringLiteral("已导入"));
        EXPECT_EQ(Column(form, TfrmImport::ColItem), (QStringList{"午饭", "午饭", "面包房"}));
        QTest::mouseClick(Button(form, "btnCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(StoredCount(), 3);
}

TEST_F(ImportFormTest, ABillImportedBeforeIsSaidSoWithoutTheDialog)
{
    ImportFile(Fixture("wechat.csv"), [](TfrmImport &form) { Button(form, "btnImport")->click(); });
    ASSERT_EQ(StoredCount(), 3);
    // Its other rows (refunds, not counted, a repeat) are left out by any import.
    dialogs->calls.clear();
    ImportFile(Fixture("wechat.csv"), nullptr);
    EXPECT_EQ(dialogs->Kinds(), (QStringList{"open", "message"}));
    EXPECT_EQ(LastMessage(), QStringLiteral("这份账单的 3 条记录都已导入过。"));
    EXPECT_EQ(StoredCount(), 3);
}

TEST_F(ImportFormTest, RefusedFilesAreNamedAndStoreNothing)
{
    for (const char *name : {"wechat-truncated.xlsx", "wechat-gb18030.csv", "wechat-empty.csv"}) {
        SCOPED_TRACE(name);
        dialogs->calls.clear();
        ImportFile(Fixture(name), nullptr);
        const auto messages = dialogs->Of(QStringLiteral("message"));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages.first().caption, QStringLiteral("导入账单"));
        EXPECT_EQ(messages.first().icon, IDialogs::Icon::Warning);
        EXPECT_FALSE(messages.first().text.isEmpty());
    }
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("没有交易记录")));
    // Cancelling the file dialog does nothing at all.
    dialogs->calls.clear();
    Menu("mnuMenu_ImportBill")->trigger();
    EXPECT_EQ(dialogs->Kinds(), QStringList{QStringLiteral("open")});
    EXPECT_EQ(StoredCount(), 0);
}

TEST_F(ImportFormTest, UndoAsksThenRemovesTheLastImport)
{
    Menu("mnuMenu_UndoImport")->trigger();
    EXPECT_EQ(LastMessage(), QStringLiteral("没有可以撤销的导入。"));

    ImportFile(Fixture("alipay-app.csv"), [](TfrmImport &form) { Button(form, "btnImport")->click(); });
    ASSERT_EQ(StoredCount(), 4);
    dialogs->answers.enqueue(false);
    Menu("mnuMenu_UndoImport")->trigger();
    EXPECT_TRUE(dialogs->Of(QStringLiteral("question")).last().text.contains(QStringLiteral("alipay-app.csv")));
    EXPECT_EQ(StoredCount(), 4);
    dialogs->answers.enqueue(true);
    Menu("mnuMenu_UndoImport")->trigger();
    EXPECT_EQ(LastMessage(), QStringLiteral("已删除 4 条记录。"));
    EXPECT_EQ(StoredCount(), 0);
}

TEST_F(ImportFormTest, AFailedStoreKeepsTheDialogAsTheUserLeftIt)
{
    bool reopened = false;
    ImportFile(Fixture("alipay-web.csv"), [&](TfrmImport &form) {
        // The fully refunded row (0.00) has nothing to store and cannot be checked.
        EXPECT_EQ(Column(form, TfrmImport::ColAmount).at(1), QStringLiteral("0.00"));
        EXPECT_FALSE(Bill(form)->topLevelItem(1)->flags() & Qt::ItemIsUserCheckable);
        TypeItem(form, 0, QStringLiteral("买书"));
        QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
        // The dialog comes back after the message, with the typed item still there.
        QTimer::singleShot(0, [&] {
            auto *again = qobject_cast<TfrmImport *>(QApplication::activeModalWidget());
            ASSERT_EQ(again, &form);
            reopened = true;
            EXPECT_EQ(Column(form, TfrmImport::ColItem).first(), QStringLiteral("买书"));
            EXPECT_EQ(StoredCount(), 0);
            QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            Button(form, "btnImport")->click();
        });
        Button(form, "btnImport")->click();
    });
    EXPECT_TRUE(reopened);
    const auto messages = dialogs->Of(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.first().icon, IDialogs::Icon::Warning);
    EXPECT_EQ(messages.last().text, QStringLiteral("已导入 2 条记录。"));
    EXPECT_EQ(StoredCount(), 2);
}

TEST_F(ImportFormTest, ABankStatementOpensTheSameDialogAndIsUndone)
{
    ImportFile(Fixture("icbc.csv"), [&](TfrmImport &form) {
        EXPECT_EQ(Column(form, TfrmImport::ColReason), (QStringList{"", "", "转账", "转账", ""}));
        EXPECT_EQ(Summary(form), QStringLiteral("共 5 条，选中 3 条：支出 144.40 元，收入 8000.00 元"));
        TypeItem(form, 0, QStringLiteral("日用"));
        Button(form, "btnImport")->click();
    });
    EXPECT_EQ(LastMessage(), QStringLiteral("已导入 3 条记录。"));
    EXPECT_EQ(StoredCount(), 3);
    // The item chosen for the counterpart is learned for the next statement.
    ImportFile(Fixture("icbc.csv"), [&](TfrmImport &form) {
        EXPECT_EQ(Column(form, TfrmImport::ColReason), (QStringList{"已导入", "已导入", "转账", "转账", "已导入"}));
        EXPECT_EQ(Column(form, TfrmImport::ColItem).first(), QStringLiteral("日用"));
    });
    dialogs->answers.enqueue(true);
    Menu("mnuMenu_UndoImport")->trigger();
    EXPECT_EQ(LastMessage(), QStringLiteral("已删除 3 条记录。"));
    EXPECT_EQ(StoredCount(), 0);
}

TEST_F(ImportFormTest, ALockedBillAsksForItsPassword)
{
    dialogs->inputs.enqueue(QStringLiteral("000000"));
    dialogs->inputs.enqueue(QStringLiteral("123456"));
    ImportFile(Fixture("wechat-locked.zip"), [&](TfrmImport &form) {
        EXPECT_EQ(Bill(form)->topLevelItemCount(), 7);
    });
    const auto asked = dialogs->Of(QStringLiteral("input"));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked.first().text, QStringLiteral("解压密码"));
    EXPECT_EQ(dialogs->Of(QStringLiteral("message")).first().text, QStringLiteral("解压密码不正确。"));
    // Cancelling the password box ends the import quietly.
    dialogs->calls.clear();
    dialogs->inputs.enqueue(QString());
    ImportFile(Fixture("wechat-locked.zip"), nullptr);
    EXPECT_EQ(dialogs->Kinds(), (QStringList{QStringLiteral("open"), QStringLiteral("input")}));
    EXPECT_EQ(StoredCount(), 0);
}

TEST_F(ImportFormTest, AnyOtherTableIsMappedAndTheSavedMappingUsedNextTime)
{
    bool set = false;
    QTimer::singleShot(0, [&] {
        auto *settings = qobject_cast<TfrmImportSettings *>(QApplication::activeModalWidget());
        ASSERT_NE(settings, nullptr);
        set = true;
        EXPECT_EQ(settings->windowTitle(), QStringLiteral("导入设置"));
        // The header line and the usual columns are guessed; the notes column is ticked by hand.
        EXPECT_EQ(Child<QSpinBox>(settings, "spnHeader")->value(), 2);
        EXPECT_EQ(Child<QComboBox>(settings, "cboDate")->currentText(), QStringLiteral("日期"));
        EXPECT_EQ(Child<QComboBox>(settings, "cboItem")->currentText(), QStringLiteral("用途"));
        EXPECT_EQ(Child<QComboBox>(settings, "cboAmount")->currentText(), QStringLiteral("金额"));
        EXPECT_EQ(Child<QTableWidget>(settings, "lvwPreview")->rowCount(), 5);
        auto *notes = Child<QListWidget>(settings, "lvwNotes");
        notes->findItems(QStringLiteral("说明"), Qt::MatchExactly).first()->setCheckState(Qt::Checked);
        dialogs->inputs.enqueue(QStringLiteral("家庭表"));
        Child<QPushButton>(settings, "btnSavePlan")->click();
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<TfrmImport *>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(Column(*form, TfrmImport::ColItem), (QStringList{"买菜", "工资", "水电"}));
            EXPECT_EQ(Column(*form, TfrmImport::ColNotes), (QStringList{"菜市场", "十一月", ""}));
            EXPECT_EQ(Summary(*form), QStringLiteral("共 3 条，选中 3 条：支出 155.50 元，收入 6000.00 元"));
            Button(*form, "btnImport")->click();
        });
        Child<QPushButton>(settings, "btnOk")->click();
    });
    dialogs->fileNames.enqueue(Fixture("family.csv"));
    Menu("mnuMenu_ImportBill")->trigger();
    EXPECT_TRUE(set);
    EXPECT_EQ(StoredCount(), 3);

    // The same header row in another file (and another encoding): no questions asked.
    ImportFile(Fixture("family-later.csv"), [&](TfrmImport &form) {
        EXPECT_EQ(Column(form, TfrmImport::ColAmount), (QStringList{"42.00", "800.00"}));
        EXPECT_EQ(Column(form, TfrmImport::ColType), (QStringList{"支出", "收入"}));
        Button(form, "btnImport")->click();
    });
    EXPECT_EQ(StoredCount(), 5);
    // Undo takes back the mapped import.
    dialogs->answers.enqueue(true);
    Menu("mnuMenu_UndoImport")->trigger();
    EXPECT_EQ(LastMessage(), QStringLiteral("已删除 2 条记录。"));
    EXPECT_EQ(StoredCount(), 3);
}
