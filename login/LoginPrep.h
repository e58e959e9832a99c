#pragma once
#include <QString>

// Locates and prepares the ledger file of the current desktop user: the per-user folder
// "Tallyfern" in the application-data folder, the database file "db.zovalt" in it, made
// writable, replaced by a backup named by argument (a file ending in ".zovalt", any case),
// or copied from the empty ledger delivered with the program when missing.
// Returns the full path of the ledger file. Throws TError with a plain message when no
// usable ledger file can be prepared. A backup that cannot be restored leaves the ledger
// as it was; why is put into restoreFailure, or thrown when restoreFailure is null. Before a
// restore the old ledger is kept in the folder "snapshots" beside it; the copy's path is
// put into snapshot.
QString PrepareLedgerFile(const QString &argument, QString *restoreFailure = nullptr,
                          QString *snapshot = nullptr);

// The per-user ledger file path (the folder is created when missing).
QString LedgerFilePath();
// Clears the read-only state of a file (owner may read and write).
void MakeWritable(const QString &path);
