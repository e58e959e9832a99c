#pragma once
#include <QString>

// Work on the ledger file as a whole: checking that a file is a ledger database, backing
// the ledger up and restoring it from a backup. Every file these routines write is first
// written to a temporary file beside it (mode 0600), synced and then renamed into place,
// so a failure half-way leaves the old file whole. Failures throw TError.

// True when path ends in ".zovalt", in any letter case: the extension of backup files.
bool HasBackupExtension(const QString &path);
// The name a backup chosen as chosen is stored under: ".zovalt" is appended unless the
// name already carries that extension (so "x.bak" becomes "x.bak.zovalt").
QString BackupFileName(const QString &chosen);

// Throws TError saying why path is not a sound ledger database: an SQLite file holding the
// tables users, data and cates with the ledger's columns, whose pages read back without
// fault. Never writes to path.
void CheckLedgerFile(const QString &path);

// Copies the bytes of source to target, replacing target only once the copy is complete.
void CopyFileSafely(const QString &source, const QString &target);

// Byte copy of the ledger dbFile to target. No other instance can commit to the ledger
// during the copy, so the backup is always a consistent ledger.
void BackupLedger(const QString &dbFile, const QString &target);

// Byte copy of the ledger dbFile to target, taken while no other instance can commit to it.
// Unlike a backup, a ledger too damaged to be read is copied as it is.
void CopyLedgerAsIs(const QString &dbFile, const QString &target);

// Replaces the ledger dbFile with the backup after checking that the backup is a ledger
// database; dbFile may be missing. On any failure dbFile stays as it was.
void RestoreLedger(const QString &backup, const QString &dbFile);

// Made at every start before the ledger is used: temporary copies left beside the ledger by
// a replacement that was killed half-way (".db.zovalt.XXXXXX", with its journal) and not
// touched for ten minutes are removed; a ledger folder or ledger file that others may write
// to is made the owner's alone (0700, 0600). A ledger that is a link is never changed
// through the link. Never throws.
void TidyLedgerFolder(const QString &dbFile);
