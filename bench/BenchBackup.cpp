// Automatic and encrypted backups of the 200,000-record ledger.
#include "Bench.h"
#include "backup/AutoBackup.h"
#include "backup/EncryptedBackup.h"
#include "store/LedgerFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <sodium.h>

namespace {
// "<stem>_200k" at the default scale, else the scaled name.
QString FigureName(const char *stem)
{
    const QString suffix = ScaleSuffix();
    return QLatin1String(stem) + (suffix.isEmpty() ? QStringLiteral("_200k") : suffix);
}
} // namespace

TALLYFERN_BENCH(auto_backup)
{
    const QString ledger = SeededLedger();
    const QString folder = BenchDir() + QStringLiteral("/auto-backups");
    int n = 0;
    const double ms = MedianMs(5, [&] {
        MakeAutoBackup(ledger, folder, QDateTime(QDate(2025, 1, 1), QTime(0, 0)).addDays(n++));
    });
    // The floor: a checked byte copy of the same ledger, as a backup made by hand.
    const QString plain = BenchDir() + QStringLiteral("/plain-backup.zovalt");
    const double floor = MedianMs(5, [&] { BackupLedger(ledger, plain); });
    ReportFigure(FigureName("auto_backup"), ms, FigureName("manual_backup"), floor);
}

TALLYFERN_BENCH(encrypted_backup)
{
    const QString ledger = SeededLedger();
    const QString target = BenchDir() + QStringLiteral("/family.zovault");
    const QByteArray password("bench-password");
    const double ms = MedianMs(3, [&] { BackupLedgerEncrypted(ledger, target, password); });
    // Argon2id's own cost (moderate limits), which every encrypted backup and restore pays.
    if (sodium_init() < 0)
        return;
    unsigned char key[32];
    unsigned char salt[crypto_pwhash_SALTBYTES] = {};
    const double kdf = MedianMs(3, [&] {
        if (crypto_pwhash(key, sizeof key, password.constData(), password.size(), salt,
                          crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE,
                          crypto_pwhash_ALG_ARGON2ID13) != 0)
            qFatal("crypto_pwhash failed");
    });
    ReportFigure(FigureName("encrypted_backup"), ms);
    ReportFigure(QStringLiteral("encrypted_backup_argon2id"), kdf);
}
