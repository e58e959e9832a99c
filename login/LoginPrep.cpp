#include "login/LoginPrep.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "base/DeliveredFiles.h"
#include "store/LedgerFile.h"
#include "store/LedgerSnapshot.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString LedgerFilePath()
{
    const QString folder = THi::AppDataDir(QStringLiteral("Tallyfern"));
    if (folder.isEmpty())
        throw TError(QStringLiteral("无法确定用户的数据文件夹"));
    return folder + QStringLiteral("/db.zovalt");
}

void MakeWritable(const QString &path)
{
    // Through a descriptor of the file itself: a link planted at path is left alone (the
    // open then refuses it), never the file it points to.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, (st.st_mode & 07777) | S_IRUSR | S_IWUSR);
    ::close(fd);
}

QString PrepareLedgerFile(const QString &argument, QString *restoreFailure, QString *snapshot)
{
    const QString dbFile = LedgerFilePath();
    TidyLedgerFolder(dbFile);
    if (QFileInfo::exists(dbFile))
        MakeWritable(dbFile);

    if (!argument.isEmpty() && QFileInfo(argument).isFile() && HasBackupExtension(argument)) {
        try {
            const QString kept = RestoreLedgerWithSnapshot(
                argument, dbFile, QFileInfo(dbFile).absolutePath() + QStringLiteral("/snapshots"),
                ProtectedFolders());
            if (snapshot)
                *snapshot = kept;
        } catch (const TError &e) {
            const QString why = QStringLiteral("无法从备份中恢复数据，原有的数据保持不变。\n%1").arg(e.message());
            if (!restoreFailure)
                throw TError(why);
            *restoreFailure = why;
        }
    }

    if (!QFileInfo::exists(dbFile)) {
        const QString templ = THi::DeliveredFile(QStringLiteral("db.zovalt"));
        if (!QFileInfo(templ).isFile())
            throw TError(QStringLiteral("找不到空白账本模板“%1”，程序无法创建数据文件。请重新安装本程序").arg(templ));
        QFile source(templ);
        if (!source.copy(dbFile))
            throw TError(QStringLiteral("无法创建数据文件“%1”：%2").arg(dbFile, source.errorString()));
        QFile::setPermissions(dbFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return dbFile;
}
