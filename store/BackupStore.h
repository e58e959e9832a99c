#pragma once
#include "store/DbClass.h"

#include <QList>
#include <QPair>
#include <QString>

// What the automatic backups need of a ledger: whether they are wanted (a setting kept in
// the ledger itself, so each ledger has its own), and what a backup file holds.
class TBackupStore : public TDbMan {
public:
    using TDbMan::TDbMan;

    // On unless turned off for this ledger.
    bool AutoBackupEnabled();
    void SetAutoBackupEnabled(bool enabled);
};

// The members of the ledger file at path with their number of records, in the order of
// their accounts (newest first). The file is opened read-only and never changed. Throws
// TError when it cannot be read.
QList<QPair<QString, qint64>> RecordsPerMember(const QString &path);
