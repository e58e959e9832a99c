#include "recurring/RecurringOffers.h"
#include "base/HiClass.h"
#include "entry/EntryPanel.h"
#include "store/DbClass.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

namespace {

// Whether row is the pending row that lists o, as the panel lists it.
bool Lists(const TNewRecord &row, const TOccurrence &o)
{
    return row.date == o.date && row.type == o.type && row.item == THi::Trim(o.item) &&
           row.amount == o.amount && row.notes == THi::Trim(o.notes);
}

} // namespace

TRecurringOffers::TRecurringOffers(ISession &session, TEntryPanel *expense, TEntryPanel *income,
                                   QObject *parent)
    : QObject(parent), m_session(session), m_expense(expense), m_income(income)
{
    for (TEntryPanel *panel : {expense, income}) {
        connect(panel, &TEntryPanel::RowsSaved, this, [this](const QList<TNewRecord> &rows) {
            RunGuarded(m_session.Window(), [&] {
                for (const TNewRecord &row : rows)
                    Settle(row, TRecurringStore::TOutcome::Saved);
            });
        });
        connect(panel, &TEntryPanel::RowTakenBack, this, [this](const TNewRecord &row) {
            RunGuarded(m_session.Window(), [&] { Settle(row, TRecurringStore::TOutcome::Withdrawn); });
        });
    }
}

int TRecurringOffers::OfferDue(const QDate &today)
{
    TRecurringStore store(m_session.SessionDb().FileName());
    const QList<TOccurrence> due = store.Due(m_session.SessionUser(), today);
    for (const TOccurrence &o : due) {
        TEntryPanel *panel = o.type == kTypeIn ? m_income : m_expense;
        panel->AddPendingRow(o.date, o.item, o.amount, o.notes);
        m_outstanding.append(o);
    }
    if (!due.isEmpty())
        Dialogs().Message(m_session.Window(),
                          QStringLiteral("已将 %1 条定期收支加入待保存列表，请核对后保存。").arg(due.size()),
                          QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
    return int(due.size());
}

void TRecurringOffers::Settle(const TNewRecord &row, TRecurringStore::TOutcome outcome)
{
    for (int i = 0; i < m_outstanding.size(); ++i) {
        if (!Lists(row, m_outstanding[i]))
            continue;
        // Forgotten only once stored: a failure leaves it to be settled by the next Save.
        TRecurringStore(m_session.SessionDb().FileName()).Settle(m_outstanding[i], outcome);
        m_outstanding.removeAt(i);
        return;
    }
}
