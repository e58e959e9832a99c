// The commands that look after the account and the ledger file as a whole.
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "base/DeliveredFiles.h"
#include "store/DbClass.h"
#include "store/LedgerFile.h"
#include "store/LedgerSnapshot.h"
#include "store/BackupStore.h"
#include "backup/AutoBackup.h"
#include "backup/AutoBackupScheduler.h"
#include "backup/BackupForms.h"
#include "backup/EncryptedBackup.h"
#include "entry/EntryPanel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>

namespace {
// Both the description and the pattern are "*.zovalt".
const QString kPlainFilter = QStringLiteral("*.zovalt (*.zovalt)");
const QString kEncryptedFilter = QStringLiteral("加密备份文件(*.zovault)");
const QString kBackupFilter = kPlainFilter + QStringLiteral(";;") + kEncryptedFilter;
const QString kRestoreFilter = QStringLiteral("备份文件 (*.zovalt *.zovault);;") + kBackupFilter;

// Wipes the password however the command ends.
struct TPasswordScope {
    QByteArray password;
    ~TPasswordScope() { WipePassword(password); }
};
} // namespace

QString RestoredMessage(const QString &snapshot)
{
    return QStringLiteral("已从备份中恢复数据。\n恢复前的数据已保存为：\n%1\n如需找回，可以从这个文件恢复。")
        .arg(QDir::toNativeSeparators(snapshot));
}

void TfrmMain::mnuMenu_SetPwdClick()
{
    const QString caption = QStringLiteral("修改密码");
    QString password;
    while (password.isEmpty()) {
        QString entered = password;
        if (!Dialogs().InputText(this, caption, QStringLiteral("请输入一个新的密码：") + QString(10, QLatin1Char(' ')),
                                 entered, false))
            return;
        password = THi::Trim(entered);
    }
    {
        TBusyScope busy(*this, nullptr);
        SessionDb().ReplaceUser(SessionUser(), password);
    }
    Dialogs().Message(this, QStringLiteral("成功！"), caption, IDialogs::Icon::Information);
}

void TfrmMain::mnuMenu_DeleteUserClick()
{
    if (!ConfirmDestructive(this, QStringLiteral("您真的想要删除 %1 吗？").arg(SessionUser())))
        return;
    {
        TBusyScope busy(*this, nullptr);
        if (!SessionDb().DeleteUser(SessionUser()))
            throw TError(QStringLiteral("无法删除用户 %1").arg(SessionUser()));
    }
    // When the successor cannot start, the window stays open as the message says; the
    // account is gone, the records stay in the ledger, and the user can leave by the menu.
    if (StartSuccessor(QStringLiteral("none")))
        close();
}

void TfrmMain::mnuMenu_BackupClick()
{
    const QString chosen = Dialogs().SaveFileName(this, QStringLiteral("备份数据"), kBackupFilter, QString());
    if (chosen.isEmpty())
        return;
    const bool encrypted = HasEncryptedExtension(chosen) || Dialogs().LastSelectedFilter() == kEncryptedFilter;
    // The file dialog asked about the name as chosen; a completed name is asked about here.
    const QString target = encrypted ? EncryptedFileName(chosen) : BackupFileName(chosen);
    CheckNotProtected(target);
    if (target != chosen && QFileInfo::exists(target) &&
        !Confirm(this, QStringLiteral("文件“%1”已经存在。\n要替换它吗？").arg(target)))
        return;
    TPasswordScope secret;
    if (encrypted && !AskNewBackupPassword(this, secret.password))
        return;
    {
        TBusyScope busy(*this, nullptr);
        if (encrypted)
            BackupLedgerEncrypted(DbFileName(), target, secret.password);
        else
            BackupLedger(DbFileName(), target);
    }
    Dialogs().Message(this, QStringLiteral("成功！"), QStringLiteral("备份"), IDialogs::Icon::Information);
}

QString TfrmMain::ChooseRestoreSource()
{
    // The chooser appears only when there is something to choose in it.
    const QList<TBackupFile> autoBackups = ListAutoBackups(AutoBackupFolder(DbFileName()));
    const QList<TBackupFile> snapshots =
        ListSnapshots(QFileInfo(DbFileName()).absolutePath() + QStringLiteral("/snapshots"));
    if (!autoBackups.isEmpty() || !snapshots.isEmpty()) {
        TfrmRestoreChooser chooser(autoBackups, snapshots, this);
        if (chooser.exec() != QDialog::Accepted)
            return QString();
        if (!chooser.OtherFileWanted())
            return chooser.ChosenFile();
    }
    return Dialogs().OpenFileName(this, QStringLiteral("从备份中恢复数据"), kRestoreFilter);
}

void TfrmMain::mnuMenu_RestoreClick()
{
    QString chosen = ChooseRestoreSource();
    const bool encrypted = HasEncryptedExtension(chosen);
    if (chosen.isEmpty() || !QFileInfo(chosen).isFile() || !(HasBackupExtension(chosen) || encrypted))
        return;
    // Refused here, while the current ledger is still untouched and this window open.
    CheckRestoreSource(chosen, DbFileName(), ProtectedFolders());
    if (encrypted) {
        TPasswordScope secret;
        if (!AskBackupPassword(this, secret.password))
            return;
        try {
            TBusyScope busy(*this, nullptr);
            // The successor restores from the decrypted copy and removes it.
            chosen = DecryptBackupBesideLedger(chosen, DbFileName(), secret.password);
        } catch (const TError &e) {
            // Said as it is: the error box would add a full stop of its own.
            Dialogs().Message(this, e.message(), QStringLiteral("从备份中恢复数据"), IDialogs::Icon::Error);
            return;
        }
    }
    try {
        TBusyScope busy(*this, nullptr);
        CheckLedgerFile(chosen);
    } catch (const TError &) {
        if (encrypted)
            QFile::remove(chosen);
        throw;
    }
    // The successor splits its argument text like a command line: the quotes keep a path with
    // blanks together, and a quote inside the path is written as three.
    QString quoted = chosen;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    if (StartSuccessor(QStringLiteral("\"%1\"").arg(quoted)))
        close();
    else if (encrypted)
        QFile::remove(chosen);
}

void TfrmMain::StartAutoBackups()
{
    m_autoBackups = new TAutoBackupScheduler(DbFileName(), AutoBackupClock, this);
    m_autoBackups->SetEnabled(TBackupStore(DbFileName()).AutoBackupEnabled());
    connect(m_autoBackups, &TAutoBackupScheduler::Failed, this, [this](const QString &message) {
        Dialogs().Message(this, message, QStringLiteral("自动备份"), IDialogs::Icon::Warning);
    });
    for (TEntryPanel *panel : {pnlExpense, pnlIncome})
        connect(panel, &TEntryPanel::RowsSaved, m_autoBackups, &TAutoBackupScheduler::AfterSave);
}

void TfrmMain::mnuMenu_AutoBackupClick()
{
    TBackupStore store(DbFileName());
    const bool enabled = store.AutoBackupEnabled();
    TfrmAutoBackup form(AutoBackupFolder(DbFileName()), enabled, this);
    if (form.exec() != QDialog::Accepted || form.Enabled() == enabled)
        return;
    store.SetAutoBackupEnabled(form.Enabled());
    if (m_autoBackups)
        m_autoBackups->SetEnabled(form.Enabled());
}
