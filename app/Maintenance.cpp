// The commands that look after the account and the ledger file as a whole.
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "base/DeliveredFiles.h"
#include "store/DbClass.h"
#include "store/LedgerFile.h"
#include "store/LedgerSnapshot.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Both the description and the pattern are "*.zovalt".
const QString kBackupFilter = QStringLiteral("*.zovalt (*.zovalt)");
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
    // The file dialog asked about the name as chosen; a completed name is asked about here.
    const QString target = BackupFileName(chosen);
    CheckNotProtected(target);
    if (target != chosen && QFileInfo::exists(target) &&
        !Confirm(this, QStringLiteral("文件“%1”已经存在。\n要替换它吗？").arg(target)))
        return;
    {
        TBusyScope busy(*this, nullptr);
        BackupLedger(DbFileName(), target);
    }
    Dialogs().Message(this, QStringLiteral("成功！"), QStringLiteral("备份"), IDialogs::Icon::Information);
}

void TfrmMain::mnuMenu_RestoreClick()
{
    const QString chosen = Dialogs().OpenFileName(this, QStringLiteral("从备份中恢复数据"), kBackupFilter);
    if (chosen.isEmpty() || !QFileInfo(chosen).isFile() || !HasBackupExtension(chosen))
        return;
    // Refused here, while the current ledger is still untouched and this window open.
    CheckRestoreSource(chosen, DbFileName(), ProtectedFolders());
    {
        TBusyScope busy(*this, nullptr);
        CheckLedgerFile(chosen);
    }
    // The successor splits its argument text like a command line: the quotes keep a path with
    // blanks together, and a quote inside the path is written as three.
    QString quoted = chosen;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    if (StartSuccessor(QStringLiteral("\"%1\"").arg(quoted)))
        close();
}
