#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

// A restore replaces the whole ledger; the ledger it replaces is kept first as a snapshot
// the user can restore in turn. Failures throw TError with a plain message.

// "db-before-restore-YYYYMMDD-HHMMSS.zovalt" for a restore at when.
QString SnapshotFileName(const QDateTime &when);

// Copies the ledger dbFile byte for byte into folder (created mode 0700 when missing) as
// SnapshotFileName(when), mode 0600; a name already taken gets "-2", "-3" and so on before
// the extension. Returns the full path of the copy. Nothing is left behind on failure.
QString SnapshotLedger(const QString &dbFile, const QString &folder, const QDateTime &when);

// Refuses to restore from the ledger dbFile itself or from a file in one of the protected
// folders (the delivered empty ledger would wipe out every account).
void CheckRestoreSource(const QString &backup, const QString &dbFile,
                        const QStringList &protectedFolders);

// Checks backup, keeps a snapshot of dbFile in snapshotFolder when dbFile exists, then
// replaces dbFile with backup. Returns the snapshot's path (empty when there was no ledger
// to keep). A snapshot that cannot be made stops the restore with dbFile unchanged.
QString RestoreLedgerWithSnapshot(const QString &backup, const QString &dbFile,
                                  const QString &snapshotFolder, const QStringList &protectedFolders,
                                  const QDateTime &when = QDateTime::currentDateTime());
