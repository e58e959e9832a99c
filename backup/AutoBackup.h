#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// Automatic backups: copies of the ledger kept in the folder "backups" beside it (mode 0700,
// files 0600), named "db-auto-YYYYMMDD-HHMMSS.zovalt". Only files of exactly that form are
// ever listed or removed; anything else in the folder belongs to the user.

// The folder "backups" beside the ledger file dbFile.
QString AutoBackupFolder(const QString &dbFile);
// "db-auto-YYYYMMDD-HHMMSS.zovalt" for a copy made at when.
QString AutoBackupFileName(const QDateTime &when);

struct TBackupFile {
    QString path;
    QDateTime when;  // from the name for automatic copies, else the file's modification time
    qint64 size = 0;
};

// The automatic copies in folder, newest first.
QList<TBackupFile> ListAutoBackups(const QString &folder);
// The snapshots kept before restores ("db-before-restore-*.zovalt") in folder, newest first.
QList<TBackupFile> ListSnapshots(const QString &folder);

// Which of the copies made at the times in made to keep: the newest copy of each of the 7
// newest days that have copies, and of the copies older than those, the newest of each of
// the 4 newest weeks (Monday to Sunday). Returns the indexes into made of the copies to
// remove.
QList<int> CopiesToRemove(const QList<QDateTime> &made);

// Copies the ledger dbFile (consistent, checked) into folder as AutoBackupFileName(when),
// then removes the automatic copies the rotation does not keep. The copy appears under
// its name only once complete. Returns its path. Throws TError on failure.
QString MakeAutoBackup(const QString &dbFile, const QString &folder, const QDateTime &when);

// Whether folder holds an automatic copy made on day.
bool HasAutoBackupOf(const QString &folder, const QDate &day);

// The newest automatic copy in folder that passes the ledger check; empty when none does.
TBackupFile NewestSoundAutoBackup(const QString &folder);

// Whether the ledger at dbFile cannot be used as it is: it fails the ledger check. A
// missing file is not damaged (it is made anew from the empty ledger).
bool LedgerIsDamaged(const QString &dbFile);
