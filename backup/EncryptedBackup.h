#pragma once
#include <QByteArray>
#include <QString>

// Encrypted backups (".zovault"): the ledger encrypted with a key derived from a password,
// so that a copy on a stick or a shared folder tells nothing to whoever finds it.
//
// Layout: a header of 40 bytes ("TFZV", format version 1, three zero bytes, the Argon2id
// operations and memory limits as 64-bit little-endian numbers, a random 16-byte salt),
// the 24-byte header of an XChaCha20-Poly1305 secret stream, then the content in chunks
// of 64 KiB, each with its 17 bytes of authentication; the last chunk carries the final
// tag. Every chunk authenticates the file header as additional data, so a change to any
// byte, a missing end or bytes after it are found.

// True when path ends in ".zovault", in any letter case.
bool HasEncryptedExtension(const QString &path);
// ".zovault" appended unless the name already ends so.
QString EncryptedFileName(const QString &chosen);

// Shortest password an encrypted backup accepts, in characters.
constexpr int kMinBackupPasswordLength = 8;

// The message for a wrong password and for a damaged or cut-off file alike.
QString WrongPasswordMessage();

// Encrypts the file source into target with password, replacing target only once it is
// complete (mode 0600). Throws TError on failure.
void EncryptFile(const QString &source, const QString &target, const QByteArray &password);
// Decrypts the encrypted file source into target (mode 0600). A wrong password or any
// damage throws TError(WrongPasswordMessage()) and leaves target as it was.
void DecryptFile(const QString &source, const QString &target, const QByteArray &password);

// Backs up the ledger dbFile encrypted into target: a consistent copy is taken beside the
// ledger (the ledger's own folder holds it unencrypted anyway), encrypted, then removed.
void BackupLedgerEncrypted(const QString &dbFile, const QString &target, const QByteArray &password);
// Decrypts source into a new private file beside the ledger dbFile and returns its path;
// the caller restores from it and removes it.
QString DecryptBackupBesideLedger(const QString &source, const QString &dbFile, const QByteArray &password);
// Whether path is such a decrypted copy (they are removed once the restore is done).
bool IsDecryptedCopy(const QString &path);
// Removes decrypted copies left in the ledger's folder.
void RemoveDecryptedCopies(const QString &dbFile);

// Overwrites the bytes of a password before it is let go.
void WipePassword(QByteArray &password);
