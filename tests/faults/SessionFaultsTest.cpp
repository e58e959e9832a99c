// The ledger file goes wrong in the middle of a session. Whatever the command, the window
// stays usable, says what happened once, keeps the pending rows and loses nothing stored.
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "entry/EditCateForm.h"
#include "entry/EditRecForm.h"
#include "entry/EntryPanel.h"
#include "faults/FaultSupport.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace faults;

namespace {

enum class Fault { Missing, ReadOnly, Truncated, RandomBytes, ForeignTables, Locked };
enum class Command { Save, Search, EditRecord, DeleteRecord, EditCates, ChangePassword, Backup };

const char *Name(Fault f)
{
    const char *names[] = {"Missing", "ReadOnly", "Truncated", "RandomBytes", "ForeignTables", "Locked"};
    return names[int(f)];
}
const char *Name(Command c)
{
    const char *names[] = {"Save", "Search", "EditRecord", "DeleteRecord", "EditCates", "ChangePassword", "Backup"};
    return names[int(c)];
}

// Reading works on a read-only or write-locked ledger; everything else must fail.
bool Fails(Fault f, Command c)
{
    const bool reads = c == Command::Search || c == Command::Backup;
    return !(reads && (f == Fault::ReadOnly || f == Fault::Locked));
}

const QString kUser = QStringLiteral("U");
const QString kOutCates = QStringLiteral("房租\r\n饮料");

class SessionFaults : public ::testing::TestWithParam<std::tuple<Fault, Command>> {
protected:
    void SetUp() override
    {
        dialogs = &Scripted();
        {
            TDbMan db(ledger.Path());
            db.AddUser(kUser, QStringLiteral("pw"));
            // Enough records for a file of many pages, so that a cut-off file misses some.
            QList<QStringList> rows;
            for (int i = 0; i < 1500; ++i)
                rows << QStringList{QStringLiteral("2009-08-%1").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                                    QStringLiteral("支出"), QStringLiteral("饮料"),
                                    QStringLiteral("%1.50").arg(i + 1), QStringLiteral("备注 %1").arg(i)};
            db.AddRecords(kUser, NewRecords(rows));
            db.SetCates(kUser, QStringLiteral("out"), kOutCates);
        }
        storedBefore = StoredRecords(ledger.Path());
        window = SignedInMainWindow(ledger.Path(), kUser);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

        // Two pending rows, and a search with the first record selected.
        const TEntryControls p = Expense(window);
        for (const char *amount : {"3", "4.25"}) {
            p.cboCate->setEditText(QStringLiteral("房租"));
            p.edtAmount->setText(QString::fromLatin1(amount));
            p.btnAdd->click();
        }
        ASSERT_EQ(p.lvwRecs->topLevelItemCount(), 2);
        TTransPanel *t = TransactionsPanel(window);
        Child<QDateEdit>(t, "dtpTransDate1")->setDate(QDate(2009, 8, 1));
        Child<QDateEdit>(t, "dtpTransDate2")->setDate(QDate(2009, 8, 31));
        Child<QPushButton>(t, "btnTransSearch")->click();
        QTreeView *records = Child<QTreeView>(t, "lvwTrans");
        ASSERT_EQ(records->model()->rowCount(), 1500);
        records->setCurrentIndex(records->model()->index(0, 1));
        ASSERT_TRUE(Child<QPushButton>(t, "btnTransEdit")->isEnabled());
        original = FileBytes(ledger.Path());
        dialogs->Reset();
    }

    void Break(Fault f)
    {
        switch (f) {
        case Fault::Missing:
            ASSERT_TRUE(QFile::remove(ledger.Path()));
            break;
        case Fault::ReadOnly:
            QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
            break;
        case Fault::Truncated:
            damaged = original.left(original.size() / 3);
            break;
        case Fault::RandomBytes:
            damaged.resize(original.size());
            for (char &c : damaged)
                c = char(QRandomGenerator::global()->bounded(256));
            break;
        case Fault::ForeignTables:
            damaged = ForeignDatabaseBytes();
            break;
        case Fault::Locked:
            lock = std::make_unique<TLockHolder>(ledger.Path());
            ASSERT_TRUE(lock->Holding());
            break;
        }
        if (!damaged.isEmpty())
            PutFileBytes(ledger.Path(), damaged);
    }

    void Mend(Fault f)
    {
        if (f == Fault::Locked)
            lock->Release();
        else if (f == Fault::ReadOnly)
            QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        else
            PutFileBytes(ledger.Path(), original);
    }

    QString BackupTarget() const { return ledger.Dir() + QStringLiteral("/copy.zovalt"); }

    // Runs the command through the window as the user would; returns the button that
    // started it (none for the menu commands).
    QWidget *Run(Command c)
    {
        TTransPanel *t = TransactionsPanel(window);
        switch (c) {
        case Command::Save:
            Child<QRadioButton>(window.get(), "rdoExpense")->setChecked(true);
            dialogs->answers.enqueue(true);
            Expense(window).btnSave->click();
            return Expense(window).btnSave;
        case Command::Search:
            Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
            Child<QPushButton>(t, "btnTransSearch")->click();
            return Child<QPushButton>(t, "btnTransSearch");
        case Command::EditRecord:
            Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
            dialogs->answers.enqueue(true);
            OnDialog<TfrmEditRec>([](TfrmEditRec *d) {
                Child<QLineEdit>(d, "edtAmount")->setText(QStringLiteral("99"));
                Child<QPushButton>(d, "btnSave")->click();
            });
            Child<QPushButton>(t, "btnTransEdit")->click();
            return Child<QPushButton>(t, "btnTransEdit");
        case Command::DeleteRecord:
            Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
            dialogs->answers.enqueue(true);
            Child<QPushButton>(t, "btnTransDelete")->click();
            return Child<QPushButton>(t, "btnTransDelete");
        case Command::EditCates:
            Child<QRadioButton>(window.get(), "rdoExpense")->setChecked(true);
            OnDialog<TfrmEditCate>([](TfrmEditCate *d) {
                Child<QPlainTextEdit>(d, "memText")->setPlainText(QStringLiteral("房租\n饮料\n水电"));
                Child<QPushButton>(d, "btnSave")->click();
            });
            Expense(window).btnEditCates->click();
            return Expense(window).btnEditCates;
        case Command::ChangePassword:
            dialogs->inputs.enqueue(QStringLiteral("new"));
            Child<QAction>(window.get(), "mnuMenu_SetPwd")->trigger();
            return nullptr;
        case Command::Backup:
            dialogs->fileNames.enqueue(BackupTarget());
            Child<QAction>(window.get(), "mnuMenu_Backup")->trigger();
            return nullptr;
        }
        return nullptr;
    }

    // Works the modal dialog of type D if the command gets as far as showing it.
    template <class D, class F>
    void OnDialog(F act)
    {
        QTimer::singleShot(0, window.get(), [this, act] {
            if (auto *d = window->findChild<D *>(); d && d->isVisible())
                act(d);
        });
    }

    QList<TScriptedDialogs::Call> Errors() const
    {
        QList<TScriptedDialogs::Call> out;
        for (const auto &call : dialogs->Of(QStringLiteral("message")))
            if (call.icon == IDialogs::Icon::Error)
                out << call;
        return out;
    }
    bool SuccessShown() const
    {
        for (const auto &call : dialogs->Of(QStringLiteral("message")))
            if (call.text.startsWith(QStringLiteral("成功！")))
                return true;
        return false;
    }

    TScriptedDialogs *dialogs = nullptr;
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TLockHolder> lock;
    QByteArray original, damaged;
    qint64 storedBefore = 0;
};

TEST_P(SessionFaults, CommandSaysWhatWentWrongOnceAndLosesNothing)
{
    const auto [fault, command] = GetParam();
    Break(fault);
    QWidget *invoker = Run(command);
    QCoreApplication::processEvents();

    const bool fails = Fails(fault, command);
    const auto errors = Errors();
    if (fails) {
        ASSERT_EQ(errors.size(), 1) << dialogs->Kinds().join(QLatin1Char(',')).toStdString();
        EXPECT_FALSE(errors[0].text.trimmed().isEmpty());
        EXPECT_FALSE(SuccessShown());
    } else {
        EXPECT_TRUE(errors.isEmpty()) << errors.value(0).text.toStdString();
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    if (invoker) {
        EXPECT_TRUE(invoker->isEnabled());
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Expense(window).lvwRecs->topLevelItemCount(), fails || command != Command::Save ? 2 : 0);

    // A damaged or missing file is left exactly as it was: nothing is created or repaired.
    if (fault == Fault::Missing) {
        EXPECT_FALSE(QFile::exists(ledger.Path()));
    }
    if (!damaged.isEmpty()) {
        EXPECT_EQ(FileBytes(ledger.Path()), damaged);
    }
    if (command == Command::Backup && fails) {
        EXPECT_FALSE(QFile::exists(BackupTarget()));
        QStringList left = QDir(ledger.Dir()).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral("db.zovalt"));
        EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
    }

    Mend(fault);
    ASSERT_TRUE(LedgerIntact(ledger.Path()));
    TDbMan db(ledger.Path());
    if (fails) {
        EXPECT_EQ(StoredRecords(ledger.Path()), storedBefore);
        EXPECT_TRUE(db.CheckUser(kUser, QStringLiteral("pw")));
        EXPECT_EQ(db.GetCates(kUser, QStringLiteral("out")), kOutCates);
        EXPECT_EQ(db.GetUsers(), kUser);

        // Once the file is sound again the same command works from the same window.
        dialogs->Reset();
        Run(command);
        QCoreApplication::processEvents();
        EXPECT_TRUE(Errors().isEmpty()) << Errors().value(0).text.toStdString();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    const qint64 expected = storedBefore + (command == Command::Save ? 2 : 0) -
                            (command == Command::DeleteRecord ? 1 : 0);
    EXPECT_EQ(StoredRecords(ledger.Path()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, SessionFaults,
    ::testing::Combine(::testing::Values(Fault::Missing, Fault::ReadOnly, Fault::Truncated, Fault::RandomBytes,
                                         Fault::ForeignTables, Fault::Locked),
                       ::testing::Values(Command::Save, Command::Search, Command::EditRecord,
                                         Command::DeleteRecord, Command::EditCates,
                                         Command::ChangePassword, Command::Backup)),
    [](const auto &info) {
        return std::string(Name(std::get<0>(info.param))) + "_" + Name(std::get<1>(info.param));
    });

} // namespace
