#include "store/LedgerSnapshot.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "store/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString CanonicalOrAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString c = info.canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : c;
}

void MakePrivateFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return;
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0)
        return;
    const int error = errno;
    if (QFileInfo(folder).isDir())
        return;
    // Something else holds the name: say what, not the system's English.
    struct stat held {};
    QString why = FileErrorReason(error);
    if (::lstat(QFile::encodeName(folder).constData(), &held) == 0)
        why = S_ISLNK(held.st_mode) ? QStringLiteral("这个名字是一个指向别处的链接，不是文件夹")
                                    : QStringLiteral("这个名字已被一个文件占用，不是文件夹");
    throw TError(QStringLiteral("无法创建文件夹“%1”：%2。请把它删除或改名后再试").arg(folder, why));
}

} // namespace

QString SnapshotFileName(const QDateTime &when)
{
    return QStringLiteral("db-before-restore-%1.zovalt").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString SnapshotLedger(const QString &dbFile, const QString &folder, const QDateTime &when)
{
    MakePrivateFolder(folder);
    const QString name = SnapshotFileName(when);
    const QString stem = name.chopped(int(qstrlen(".zovalt")));
    QString target = QDir(folder).filePath(name);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(folder).filePath(QStringLiteral("%1-%2.zovalt").arg(stem).arg(n));
    CopyLedgerAsIs(dbFile, target);
    return target;
}

void CheckRestoreSource(const QString &backup, const QString &dbFile, const QStringList &protectedFolders)
{
    const QString source = CanonicalOrAbsolute(backup);
    if (source == CanonicalOrAbsolute(dbFile))
        throw TError(QStringLiteral("“%1”就是当前正在使用的数据文件，不能用它恢复数据").arg(backup));
    const QString folder = QFileInfo(source).absolutePath();
    for (const QString &p : protectedFolders)
        if (CanonicalOrAbsolute(p) == folder)
            throw TError(QStringLiteral("“%1”是程序自带的文件（空白账本），不能用它恢复数据。"
                                        "请选择您自己备份的数据文件")
                             .arg(backup));
}

QString RestoreLedgerWithSnapshot(const QString &backup, const QString &dbFile,
                                  const QString &snapshotFolder, const QStringList &protectedFolders,
                                  const QDateTime &when)
{
    CheckRestoreSource(backup, dbFile, protectedFolders);
    CheckLedgerFile(backup);
    QString snapshot;
    if (QFileInfo::exists(dbFile)) {
        try {
            snapshot = SnapshotLedger(dbFile, snapshotFolder, when);
        } catch (const TError &e) {
            throw TError(QStringLiteral("无法保存恢复前的数据副本，没有进行恢复。\n%1").arg(e.message()));
        }
    }
    RestoreLedger(backup, dbFile);
    return snapshot;
}
