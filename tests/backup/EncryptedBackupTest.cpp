// Encrypted backups: the round trip, every kind of damage refused with nothing changed, and
// nothing readable in the encrypted bytes.
#include "backup/EncryptedBackup.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/DbClass.h"
#include "store/LedgerFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

QByteArray Gb18030(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

} // namespace

TEST(EncryptedBackup, RoundTripAndEveryDamageRefusedWithNothingChanged)
{
    TTempLedger ledger;
    const QString password = QStringLiteral("家里的密码2025");
    const QString note = QStringLiteral("给外婆买的降压药");
    {
        TDbMan db(ledger.Path());
        db.AddUser(QStringLiteral("妈妈"), QStringLiteral("mum-secret"));
        QList<QStringList> rows;
        // Enough rows for several chunks of the stream.
        for (int i = 0; i < 4000; ++i)
            rows << QStringList{QStringLiteral("2025-02-03"), QStringLiteral("支出"), QStringLiteral("医药"),
                                QStringLiteral("88.5"), note};
        db.AddRecords(QStringLiteral("妈妈"), NewRecords(rows));
    }
    const QString sealed = ledger.Dir() + QStringLiteral("/家.zovault");
    BackupLedgerEncrypted(ledger.Path(), sealed, password.toUtf8());
    const QByteArray bytes = THi::ReadWholeFile(sealed);
    ASSERT_GT(bytes.size(), 3 * 65536);
    EXPECT_EQ(QFile::permissions(sealed) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // No plain copy is left beside the ledger.
    EXPECT_EQ(QDir(ledger.Dir()).entryList(QDir::Files | QDir::Hidden), (QStringList{"db.zovalt", "家.zovault"}));

    // Nothing of a record, an account or the password in any form the ledger or a user knows.
    for (const QString &secret : {note, QStringLiteral("妈妈"), QStringLiteral("mum-secret"), password}) {
        for (const QByteArray &form : {Gb18030(secret), secret.toUtf8(), THi::EncodeText(secret).toLatin1(),
                                       Gb18030(secret).toBase64()})
            EXPECT_FALSE(bytes.contains(form)) << secret.toStdString();
    }
    EXPECT_FALSE(bytes.contains("SQLite format 3"));

    const QString restored = ledger.Dir() + QStringLiteral("/restored.zovalt");
    DecryptFile(sealed, restored, password.toUtf8());
    EXPECT_EQ(THi::ReadWholeFile(restored), THi::ReadWholeFile(ledger.Path()));
    EXPECT_NO_THROW(CheckLedgerFile(restored));

    // Every refusal: the same message, the target as it was, no file left behind.
    THi::WriteWholeFile(restored, "before");
    const auto flipped = [&bytes](qsizetype at) {
        QByteArray b = bytes;
        b[at] = char(b[at] ^ 0x01);
        return b;
    };
    const struct {
        const char *what;
        QByteArray file;
        QString password;
    } cases[] = {
        {"wrong password", bytes, QStringLiteral("家里的密码2024")},
        {"version byte", flipped(4), password},
        {"salt", flipped(30), password},
        {"middle", flipped(bytes.size() / 2), password},
        {"last block", flipped(bytes.size() - 3), password},
        {"truncated", bytes.left(bytes.size() - 40), password},
        {"cut at a chunk end", bytes.left(64 + 65536 + 17), password},
        {"bytes after the end", bytes + QByteArray(1, '\0'), password},
        {"empty", QByteArray(), password},
    };
    const QString damaged = ledger.Dir() + QStringLiteral("/damaged.zovault");
    for (const auto &c : cases) {
        THi::WriteWholeFile(damaged, c.file);
        try {
            DecryptFile(damaged, restored, c.password.toUtf8());
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const TError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("密码不正确，或文件已损坏。")) << c.what;
        }
        EXPECT_EQ(THi::ReadWholeFile(restored), "before") << c.what;
        EXPECT_EQ(QDir(ledger.Dir()).entryList(QDir::Files | QDir::Hidden).size(), 4) << c.what;
    }
}
