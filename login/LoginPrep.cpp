#include "login/LoginPrep.h"
#include "app/Errors.h"
#include "app/HiClass.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

QString LedgerFilePath()
{
    const QString folder = THi::AppDataDir(QStringLiteral("Tallyfern"));
    if (folder.isEmpty())
        throw TError(QStringLiteral("无法确定用户的数据文件夹"));
    return folder + QStringLiteral("/db.zovalt");
}

void MakeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner |
                                    QFileDevice::WriteOwner);
}

QString PrepareLedgerFile(const QString &argument)
{
    const QString dbFile = LedgerFilePath();
    if (QFileInfo::exists(dbFile))
        MakeWritable(dbFile);

    const QFileInfo arg(argument);
    if (!argument.isEmpty() && arg.isFile() &&
        THi::AsciiLower(argument).endsWith(QLatin1String(".zovalt"))) {
        // Copied beside the ledger first and renamed over it, so a failed copy leaves the
        // current ledger whole.
        const QString tmp = dbFile + QStringLiteral(".restore");
        QFile::remove(tmp);
        if (QFile::copy(argument, tmp)) {
            MakeWritable(tmp);
            if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(dbFile).constData()) != 0)
                QFile::remove(tmp);
        }
    }

    if (!QFileInfo::exists(dbFile)) {
        const QString templ = THi::ProgramPath() + QStringLiteral("db.zovalt");
        if (!QFileInfo(templ).isFile())
            throw TError(QStringLiteral("找不到空白账本模板“%1”，程序无法创建数据文件。请重新安装本程序").arg(templ));
        if (!QFile::copy(templ, dbFile))
            throw TError(QStringLiteral("无法创建数据文件“%1”").arg(dbFile));
        QFile::setPermissions(dbFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return dbFile;
}
