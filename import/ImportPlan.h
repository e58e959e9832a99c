#pragma once
#include "import/BillRow.h"
#include "store/ImportStore.h"

#include <QHash>
#include <QList>
#include <QSet>

// The most a note or an item may hold, as in the record edit dialog.
constexpr int kImportNotesLimit = 100;
constexpr int kImportItemLimit = 100;

// What the ledger already knows that shapes the defaults of an import.
struct TImportContext {
    QSet<QString> importedKeys;
    QHash<QString, QString> outRules;  // counterpart -> item, expenses
    QHash<QString, QString> inRules;   // the same for incomes
    QList<TStoredRecord> stored;        // the records of the bill's days, for possible duplicates
};

// One bill row as the import offers it: the record it would become and whether it is
// checked, with the reason when it is not.
struct TPlanRow {
    TBillRow bill;
    QString key;
    QString type;  // kTypeOut, kTypeIn, or empty for a row that is neither
    QString item;
    qint64 amountFen = 0;  // the amount actually paid
    QString notes;
    bool checked = false;
    TUncheckedReason reason = TUncheckedReason::None;
    QString duplicateOf;  // the stored record a possible duplicate matches, as a text
};

// The key that marks a transaction as imported: the order number, or without one the
// time, amount and counterpart.
QString BillKey(TBillSource source, const TBillRow &row);
// Counterpart and goods joined by one space, with a partial refund named, cut to the limit.
QString ImportNotes(const TBillRow &row);
// The item for a row: a learned rule, else the bill's category, else the counterpart; cut
// to the limit.
QString DefaultItem(const TBillRow &row, const QHash<QString, QString> &rules);

QList<TPlanRow> PlanImport(const TBill &bill, const TImportContext &context);
// How many transactions of a bill were imported before, when that leaves nothing new to
// import: every other row is one an import leaves out anyway (not counted, not completed,
// fully refunded). Zero when some row is new.
int AllImportedBefore(const QList<TPlanRow> &plan);
TImportContext LoadImportContext(TImportStore &store, const QString &user);
// The same with the user's stored records of the bill's days.
TImportContext LoadImportContext(TImportStore &store, const QString &user, const TBill &bill);
// Whether a row and a stored record name something in common: a word (two characters or
// more) of the one's counterpart, goods, item or notes found in the other's texts.
bool ShareAName(const TBillRow &row, const TStoredRecord &record);
// The record stored for a checked row.
TImportRecord ToRecord(const TPlanRow &row);
