#pragma once
#include "base/Money.h"
#include "store/DbClass.h"

#include <QDate>
#include <QList>
#include <QString>

// A record that comes every month: the rent, the salary.
struct TRecurring {
    qint64 id = 0;
    QString type;  // 支出 or 收入
    QString item;
    TFen amount = 0;
    QString notes;
    int day = 1;        // 1 to 31; a shorter month takes its last day
    QDate firstMonth;   // first day of the first month
    QDate lastMonth;    // first day of the last month; null while it goes on
};

// One month's occurrence of a recurring record.
struct TOccurrence {
    qint64 recurringId = 0;
    QDate month;  // its first day
    QDate date;
    QString type;
    QString item;
    TFen amount = 0;
    QString notes;
};

// The date of the occurrence in the month of month: its day, or the month's last day.
QDate OccurrenceDate(const QDate &month, int day);

class TRecurringStore : public TDbMan {
public:
    using TDbMan::TDbMan;

    // The user's recurring records in the order they were added.
    QList<TRecurring> List(const QString &user);
    // Stores a new record and returns its id.
    qint64 Add(const QString &user, const TRecurring &rec);
    // Changes the stored record rec.id in place, so what became of its earlier
    // occurrences still holds.
    void Change(const QString &user, const TRecurring &rec);
    // Removes the record and what is known of its occurrences, in one transaction.
    void Remove(qint64 id);

    // Every occurrence due on or before today that is not recorded yet, in date order:
    // neither saved nor taken back from the pending list, and no record of the same day,
    // type, item and amount in the ledger.
    QList<TOccurrence> Due(const QString &user, const QDate &today);

    enum class TOutcome { Saved, Withdrawn };
    // Remembers what became of an occurrence; it is not offered again.
    void Settle(const TOccurrence &occurrence, TOutcome outcome);

private:
    static void Check(const TRecurring &rec);
};
