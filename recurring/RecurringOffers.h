#pragma once
#include "store/RecurringStore.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QStringList>

class ISession;
class TEntryPanel;

// Puts the recurring records that fell due into the pending lists of the entry panels at
// sign-in, and remembers what the user does with them: saved ones and ones taken back
// from the list are not offered again. Nothing is stored until the user saves.
class TRecurringOffers : public QObject {
    Q_OBJECT
public:
    TRecurringOffers(ISession &session, TEntryPanel *expense, TEntryPanel *income, QObject *parent = nullptr);

    // Lists every due occurrence in its panel and says how many there are. Returns the count.
    int OfferDue(const QDate &today);

private:
    void Settle(const TNewRecord &row, TRecurringStore::TOutcome outcome);

    ISession &m_session;
    TEntryPanel *m_expense;
    TEntryPanel *m_income;
    // The occurrences listed and neither saved nor taken back yet.
    QList<TOccurrence> m_outstanding;
};
