#pragma once
#include "store/DbClass.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// One bill transaction as it is stored: the record, and the key that marks the
// transaction as imported. Amounts are integer fen.
struct TImportRecord {
    QString key;
    QDate date;
    QString type;  // kTypeOut or kTypeIn
    QString item;
    qint64 amountFen = 0;
    QString notes;
};

// The statements that create the import tables and their index, for the ledger check.
QStringList ImportSchemaStatements();

// An item the user chose for a counterpart: bills of that counterpart get it next time.
struct TItemRule {
    QString type;
    QString counterpart;
    QString item;
};

// A record already in the ledger, as the search for possible duplicates needs it.
struct TStoredRecord {
    qint64 id = 0;
    QDate date;
    QString type;
    qint64 amountFen = 0;
    QString item;
    QString notes;
};

struct TImportBatch {
    qint64 id = 0;
    QDateTime time;
    QString fileName;
    int recordCount = 0;     // records stored by the import
    int unchangedCount = 0;  // of those, still in the ledger unchanged
};

// What bill import keeps in the ledger beside the three tables of the earlier program,
// which it never alters: imports, the key of every imported transaction and the learned
// items. Its tables are created on the first open of a writable ledger; on a read-only
// ledger reads find nothing and writes fail with the engine's message.
class TImportStore : private TDbMan {
public:
    explicit TImportStore(const QString &path);

    QSet<QString> ImportedKeys(const QString &user);
    // The user's records dated from first to last.
    QList<TStoredRecord> RecordsBetween(const QString &user, const QDate &first, const QDate &last);
    // Learned items of the user for one type, by counterpart.
    QHash<QString, QString> ItemRules(const QString &user, const QString &type);

    // In one transaction: stores the records whose key is not yet imported, adds their new
    // items to the user's item lists as entry does, records the import and the rules.
    // Returns the number of records stored. progress is told now and then how far the
    // storing has come (0 to 100); when it returns false nothing is stored and TError says so.
    int Import(const QString &user, const QString &fileName, const QList<TImportRecord> &records,
               const QList<TItemRule> &rules, const std::function<bool(int)> &progress = {});

    // The user's last import, unless it was undone already.
    std::optional<TImportBatch> LastImport(const QString &user);
    // Removes the records of the last import that are still unchanged, in one transaction;
    // returns their number. A changed record got a new id and stays.
    int UndoLastImport(const QString &user);

    // The saved column mapping (as stored text) of the user for a header row, if any, and
    // its name.
    std::optional<std::pair<QString, QString>> MappingFor(const QString &user, const QString &header);
    // Keeps a mapping under name, replacing one of the same name.
    void SaveMapping(const QString &user, const QString &name, const QString &header, const QString &mapping);

    // Creates the import tables when missing; nothing happens on a read-only ledger.
    void EnsureTables();

private:
    bool OpenImport(TConnection &conn);
};
