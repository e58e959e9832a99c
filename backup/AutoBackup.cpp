#include "backup/AutoBackup.h"
#include "base/Errors.h"
#include "store/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

const QString kStamp = QStringLiteral("yyyyMMdd-HHmmss");

void MakePrivateFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && !QFileInfo(folder).isDir())
            throw TError(QStringLiteral("无法创建文件夹“%1”：%2")
                             .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QList<TBackupFile> ListMatching(const QString &folder, const QRegularExpression &pattern, bool stamped)
{
    QList<TBackupFile> files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &info : entries) {
        const QRegularExpressionMatch m = pattern.match(info.fileName());
        if (!m.hasMatch() || info.isSymLink())
            continue;
        QDateTime when = stamped ? QDateTime::fromString(m.captured(1), kStamp) : info.lastModified();
        if (!when.isValid())
            continue;
        files.append({info.absoluteFilePath(), when, info.size()});
    }
    std::sort(files.begin(), files.end(), [](const TBackupFile &a, const TBackupFile &b) {
        return a.when != b.when ? a.when > b.when : a.path > b.path;
    });
    return files;
}

} // namespace

QString AutoBackupFolder(const QString &dbFile)
{
    return QFileInfo(dbFile).absolutePath() + QStringLiteral("/backups");
}

QString AutoBackupFileName(const QDateTime &when)
{
    return QStringLiteral("db-auto-%1.zovalt").arg(when.toString(kStamp));
}

QList<TBackupFile> ListAutoBackups(const QString &folder)
{
    static const QRegularExpression pattern(QStringLiteral("^db-auto-(\\d{8}-\\d{6})\\.zovalt$"));
    return ListMatching(folder, pattern, true);
}

QList<TBackupFile> ListSnapshots(const QString &folder)
{
    static const QRegularExpression pattern(QStringLiteral("^db-before-restore-\\d{8}-\\d{6}(-\\d+)?\\.zovalt$"));
    return ListMatching(folder, pattern, false);
}

QList<int> CopiesToRemove(const QList<QDateTime> &made)
{
    QList<int> order(made.size());
    for (int i = 0; i < made.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&made](int a, int b) { return made[a] > made[b]; });

    QList<bool> keep(made.size(), false);
    QList<QDate> days;
    for (int i : order) {
        const QDate day = made[i].date();
        if (days.size() < 7 && !days.contains(day)) {
            days.append(day);
            keep[i] = true;
        }
    }
    // Weeks run Monday to Sunday: fixed weeks, so the copy kept for a week stays kept as
    // the days go by (a window sliding with the days would let every copy fall out of it).
    QList<qint64> weeks;
    for (int i : order) {
        const QDate day = made[i].date();
        if (keep[i] || days.contains(day))
            continue;
        const qint64 week = day.toJulianDay() - day.dayOfWeek();
        if (weeks.size() < 4 && !weeks.contains(week)) {
            weeks.append(week);
            keep[i] = true;
        }
    }
    QList<int> removed;
    for (int i = 0; i < made.size(); ++i)
        if (!keep[i])
            removed.append(i);
    return removed;
}

QString MakeAutoBackup(const QString &dbFile, const QString &folder, const QDateTime &when)
{
    MakePrivateFolder(folder);
    const QString target = QDir(folder).filePath(AutoBackupFileName(when));
    BackupLedger(dbFile, target);
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QList<TBackupFile> copies = ListAutoBackups(folder);
    QList<QDateTime> made;
    for (const TBackupFile &copy : copies)
        made.append(copy.when);
    for (int i : CopiesToRemove(made))
        if (copies[i].path != target)
            QFile::remove(copies[i].path);
    return target;
}

bool HasAutoBackupOf(const QString &folder, const QDate &day)
{
    const QList<TBackupFile> copies = ListAutoBackups(folder);
    return std::any_of(copies.begin(), copies.end(), [&day](const TBackupFile &f) { return f.when.date() == day; });
}

TBackupFile NewestSoundAutoBackup(const QString &folder)
{
    for (const TBackupFile &copy : ListAutoBackups(folder)) {
        try {
            CheckLedgerFile(copy.path);
            return copy;
        } catch (const TError &) {
        }
    }
    return {};
}

bool LedgerIsDamaged(const QString &dbFile)
{
    if (!QFileInfo::exists(dbFile))
        return false;
    try {
        CheckLedgerFile(dbFile);
        return false;
    } catch (const TError &) {
        return true;
    }
}
