#pragma once
// A ledger file comes from anywhere (a restore source, a copied data folder): any bytes
// written as the ledger must be refused with a TError or used soundly, never crash. The
// fuzzer and the replay test run this on the same inputs.
#include "base/Errors.h"
#include "store/DbClass.h"

#include <QDate>
#include <QFile>
#include <QString>

#include <cstdlib>

// Writes bytes as the ledger at path, opens it through the check, then searches and saves
// one record.
inline void FuzzOneLedger(const QByteArray &bytes, const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
    }
    TDbMan::ForgetCheckedFiles();
    TDbMan db(path);
    try {
        const QString users = db.GetUsers();
        const QString user = users.section(QStringLiteral("\r\n"), 0, 0);
        db.Search(user, QDate(1900, 1, 1), QDate(2100, 12, 31));
        db.AddRecords(user, {TNewRecord{QDate(2026, 1, 2), QStringLiteral("支出"), QStringLiteral("菜"), 150, QString()}});
    } catch (const TError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
}
