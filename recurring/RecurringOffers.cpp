#include "recurring/RecurringOffers.h"
#include "base/HiClass.h"
#include "entry/EntryPanel.h"
#include "store/DbClass.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <utility>

TRecurringOffers::TRecurringOffers(ISession &session, TEntryPanel *expense, TEntryPanel *income,
                                   QObject *parent)
    : QObject(parent), m_session(session), m_expense(expense), m_income(income)
{
    for (TEntryPanel *panel : {expense, income}) {
        connect(panel, &TEntryPanel::RowsSaved, this,
                [this](const QList<TNewRecord> &, const QList<qint64> &origins) {
                    RunGuarded(m_session.Window(), [&] { Settle(origins, TRecurringStore::TOutcome::Saved); });
                });
        connect(panel, &TEntryPanel::RowsWithdrawn, this, [this](const QList<qint64> &origins) {
            RunGuarded(m_session.Window(), [&] { Settle(origins, TRecurringStore::TOutcome::Withdrawn); });
        });
    }
}

int TRecurringOffers::OfferDue(const QDate &today)
{
    TRecurringStore store(m_session.SessionDb().FileName());
    const QList<TOccurrence> due = store.Due(m_session.SessionUser(), today);
    for (const TOccurrence &o : due) {
        TEntryPanel *panel = o.type == kTypeIn ? m_income : m_expense;
        m_outstanding.insert(++m_lastOrigin, o);
        panel->AddPendingRow(o.date, o.item, o.amount, o.notes, m_lastOrigin);
    }
    if (!due.isEmpty()) {
        m_untold += int(due.size());
        // Said before the window shows, the message would stand on an empty desktop with
        // no list to check.
        QWidget *window = m_session.Window();
        if (window->isVisible())
            TellOffered();
        else
            window->installEventFilter(this);
    }
    return int(due.size());
}

bool TRecurringOffers::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched == m_session.Window()) {
        watched->removeEventFilter(this);
        // Queued, so that the window is on the screen before the message goes over it.
        QTimer::singleShot(0, this, [this] { TellOffered(); });
    }
    return QObject::eventFilter(watched, event);
}

void TRecurringOffers::TellOffered()
{
    if (m_untold == 0)
        return;
    const int count = std::exchange(m_untold, 0);
    Dialogs().Message(m_session.Window(),
                      QStringLiteral("已将 %1 条定期收支加入待保存列表，请核对后保存。").arg(count),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

void TRecurringOffers::Settle(const QList<qint64> &origins, TRecurringStore::TOutcome outcome)
{
    for (const qint64 origin : origins) {
        const auto found = m_outstanding.constFind(origin);
        if (found == m_outstanding.constEnd())
            continue;
        // Forgotten only once stored: a failure leaves it outstanding.
        TRecurringStore(m_session.SessionDb().FileName()).Settle(*found, outcome);
        m_outstanding.erase(found);
    }
}
