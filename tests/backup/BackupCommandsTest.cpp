// The backup commands of the main menu: the restore chooser, encrypted backups and the
// automatic backup settings, driven as the user does.
#include "app/MainForm.h"
#include "app/MaintenanceSupport.h"
#include "backup/AutoBackup.h"
#include "backup/AutoBackupScheduler.h"
#include "backup/BackupForms.h"
#include "backup/EncryptedBackup.h"
#include "entry/EntryPanel.h"
#include "store/BackupStore.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

struct TBackupWindow {
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> w;
    QStringList successors;

    TBackupWindow()
    {
        w = SignedInMainWindow(ledger.Path(), QStringLiteral("Mum"));
        w->SuccessorStarter = [this](const QString &argument) {
            successors << argument;
            return true;
        };
        w->show();
    }
    QString File(const QString &name) const { return ledger.Dir() + QLatin1Char('/') + name; }
};

// Plays the modal dialog that the next command opens.
template <class Form, class F>
void OnModal(F play)
{
    QTimer::singleShot(0, [play] {
        auto *form = qobject_cast<Form *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        play(*form);
    });
}

} // namespace

TEST(BackupCommands, TheChooserListsCopiesWithTheirMembersAndRestoresTheChosenOne)
{
    TBackupWindow m;
    TDbMan(m.ledger.Path()).AddRecords(QStringLiteral("Mum"), NewRecords({{"2025-01-02", "支出", "菜", "3", ""}}));
    const QString folder = AutoBackupFolder(m.ledger.Path());
    const QString older = MakeAutoBackup(m.ledger.Path(), folder, QDateTime(QDate(2025, 1, 2), QTime(9, 0)));
    MakeAutoBackup(m.ledger.Path(), folder, QDateTime(QDate(2025, 1, 3), QTime(9, 0)));

    QStringList shown;
    OnModal<TfrmRestoreChooser>([&shown](TfrmRestoreChooser &form) {
        auto *list = Child<QTreeWidget>(&form, "lvwBackups");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(3);
        list->setCurrentItem(list->topLevelItem(1));
        Child<QPushButton>(&form, "btnRestore")->click();
    });
    auto &dlg = Scripted();
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();
    EXPECT_EQ(shown, (QStringList{"2025-01-03 09:00:00|Mum 1 条", "2025-01-02 09:00:00|Mum 1 条"}));
    EXPECT_TRUE(dlg.calls.isEmpty());
    ASSERT_EQ(m.successors.size(), 1);
    EXPECT_EQ(QProcess::splitCommand(m.successors[0]), QStringList{older});

    // "其他文件..." opens the file dialog as before.
    m.w->show();
    m.successors.clear();
    OnModal<TfrmRestoreChooser>([](TfrmRestoreChooser &form) { Child<QPushButton>(&form, "btnOther")->click(); });
    dlg.Reset();
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();
    EXPECT_EQ(dlg.Kinds(), QStringList{"open"});
    EXPECT_TRUE(m.successors.isEmpty());
}

TEST(BackupCommands, AnEncryptedBackupAsksThePasswordTwiceAndRestoresOnlyWithIt)
{
    TBackupWindow m;
    TDbMan(m.ledger.Path()).AddRecords(QStringLiteral("Mum"), NewRecords({{"2025-01-02", "支出", "菜", "3", ""}}));
    auto &dlg = Scripted();
    dlg.inputs << QStringLiteral("short") << QStringLiteral("longenough1") << QStringLiteral("longenough2")
               << QStringLiteral("longenough1") << QStringLiteral("longenough1");
    const QString sealed = m.File("family.zovault");
    dlg.fileNames << sealed;
    Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
    ASSERT_EQ(dlg.Kinds(), (QStringList{"save", "input", "message", "input", "input", "message", "input", "input",
                                        "message"}));
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("*.zovalt (*.zovalt);;加密备份文件(*.zovault)"));
    EXPECT_EQ(dlg.calls[2].text, QStringLiteral("密码至少需要 8 个字符。"));
    EXPECT_EQ(dlg.calls[5].text, QStringLiteral("两次输入的密码不一致，请重新输入。"));
    EXPECT_EQ(dlg.calls[8].text, QStringLiteral("成功！"));
    ASSERT_TRUE(QFileInfo::exists(sealed));

    dlg.Reset();
    dlg.fileNames << sealed;
    dlg.inputs << QStringLiteral("longenough2");
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();
    ASSERT_EQ(dlg.Kinds(), (QStringList{"open", "input", "message"}));
    EXPECT_EQ(dlg.calls[2].text, QStringLiteral("密码不正确，或文件已损坏。"));
    EXPECT_TRUE(m.successors.isEmpty());
    EXPECT_EQ(QDir(m.ledger.Dir()).entryList(QDir::Files), (QStringList{"db.zovalt", "family.zovault"}));

    dlg.Reset();
    dlg.fileNames << sealed;
    dlg.inputs << QStringLiteral("longenough1");
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();
    ASSERT_EQ(m.successors.size(), 1);
    const QString decrypted = QProcess::splitCommand(m.successors[0]).value(0);
    EXPECT_TRUE(IsDecryptedCopy(decrypted));
    EXPECT_EQ(RecordCount(decrypted, QStringLiteral("Mum")), 1);
    EXPECT_EQ(QFile::permissions(decrypted) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(BackupCommands, SavesMakeADailyCopyUntilTheSettingTurnsThemOff)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Mum"), QStringLiteral("pw"));
    QDateTime now(QDate(2025, 7, 1), QTime(10, 0));
    auto w = std::make_unique<TfrmMain>();
    w->LoginRunner = [&ledger] { return TLoginResult{ledger.Path(), QStringLiteral("Mum")}; };
    w->AutoBackupClock = [&now] { return now; };
    ASSERT_TRUE(w->FormCreate());
    const QString folder = AutoBackupFolder(ledger.Path());

    emit Child<TEntryPanel>(w.get(), "pnlExpense")->RowsSaved({}, {});
    w->AutoBackups()->Wait();
    ASSERT_EQ(ListAutoBackups(folder).size(), 1);

    OnModal<TfrmAutoBackup>([](TfrmAutoBackup &form) {
        EXPECT_TRUE(Child<QLabel>(&form, "lblCount")->text().startsWith(QStringLiteral("现有 1 个自动备份，共 ")));
        auto *box = Child<QCheckBox>(&form, "chkEnabled");
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
        Child<QPushButton>(&form, "btnOk")->click();
    });
    Child<QAction>(w.get(), "mnuMenu_AutoBackup")->trigger();
    EXPECT_FALSE(TBackupStore(ledger.Path()).AutoBackupEnabled());

    now = now.addDays(1);
    emit Child<TEntryPanel>(w.get(), "pnlIncome")->RowsSaved({}, {});
    w->AutoBackups()->Wait();
    w->close();
    EXPECT_EQ(ListAutoBackups(folder).size(), 1);
}
