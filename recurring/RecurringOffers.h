#pragma once
#include "store/RecurringStore.h"

#include <QDate>
#include <QHash>
#include <QObject>

class ISession;
class TEntryPanel;

// Puts the recurring records that fell due into the pending lists of the entry panels at
// sign-in, and remembers what the user does with them: an occurrence is settled as saved
// when its row is saved, as withdrawn when its row is deleted from the list, and not at
// all when the program ends first (it is offered again). Taking a row into the fields by
// Edit settles nothing; the row added from them carries the occurrence on.
class TRecurringOffers : public QObject {
    Q_OBJECT
public:
    TRecurringOffers(ISession &session, TEntryPanel *expense, TEntryPanel *income, QObject *parent = nullptr);

    // Lists every due occurrence in its panel. How many there are is said over the main
    // window once it is shown (at once when it already is). Returns the count.
    int OfferDue(const QDate &today);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Settle(const QList<qint64> &origins, TRecurringStore::TOutcome outcome);
    void TellOffered();

    ISession &m_session;
    TEntryPanel *m_expense;
    TEntryPanel *m_income;
    // The occurrences listed and neither saved nor withdrawn yet, by the origin their
    // pending row carries.
    QHash<qint64, TOccurrence> m_outstanding;
    qint64 m_lastOrigin = 0;
    int m_untold = 0;  // offered and not yet said
};
