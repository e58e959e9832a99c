#include "base/DeliveredFiles.h"
#include "base/Errors.h"
#include "base/HiClass.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {
QString Canonical(const QString &folder)
{
    const QString c = QFileInfo(folder).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : c;
}
} // namespace

QStringList ProtectedFolders()
{
    QStringList folders{Canonical(THi::ProgramDir())};
    // The empty ledger marks the folder of the delivered files.
    const QFileInfo ledger(THi::DeliveredFile(QStringLiteral("db.zovalt")));
    if (!ledger.absoluteFilePath().startsWith(QLatin1Char(':')))
        folders << Canonical(ledger.absolutePath());
    folders.removeDuplicates();
    return folders;
}

bool IsProtectedFolder(const QString &folder)
{
    return !folder.isEmpty() && ProtectedFolders().contains(Canonical(folder));
}

bool IsInProtectedFolder(const QString &path)
{
    return !path.isEmpty() && IsProtectedFolder(QFileInfo(path).absolutePath());
}

void CheckNotProtected(const QString &target)
{
    if (IsInProtectedFolder(target))
        throw TError(QStringLiteral("不能把文件保存到程序自己的文件夹（“%1”）中，"
                                    "那里存放着程序自带的文件。请选择其他文件夹")
                         .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath())));
}

void CheckPlainFileName(const QString &target)
{
    const QString name = QFileInfo(target).fileName();
    const bool odd = std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == QLatin1Char('*') || c == QLatin1Char('?') || c.category() == QChar::Other_Control;
    });
    if (odd)
        throw TError(QStringLiteral("文件名“%1”中含有通配符（* 或 ?）或控制字符，请换一个文件名")
                         .arg(QString(name).replace(QRegularExpression(QStringLiteral("\\p{Cc}")), QStringLiteral("?"))));
}

void CheckNotTemplate(const QString &templatePath, const QString &target)
{
    const QString templ = QFileInfo(templatePath).canonicalFilePath();
    if (!templ.isEmpty() && templ == QFileInfo(target).canonicalFilePath())
        throw TError(QStringLiteral("不能用导出的文件替换它的模板“%1”，请选择其他文件名")
                         .arg(QDir::toNativeSeparators(target)));
}
