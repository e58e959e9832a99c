#include "budget/BudgetWarning.h"
#include "base/HiClass.h"
#include "store/BudgetStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Session.h"

void WarnOverBudget(ISession &session, const QList<TNewRecord> &savedRows)
{
    QList<TSpending> saved;
    for (const TNewRecord &row : savedRows)
        if (row.type == kTypeOut && row.date.isValid())
            saved.append({row.date, row.item, row.amount});
    if (saved.isEmpty())
        return;
    const QList<TOverrun> overruns =
        TBudgetStore(session.SessionDb().FileName()).Overruns(session.SessionUser(), saved);
    for (const TOverrun &o : overruns)
        Dialogs().Message(session.Window(),
                          QStringLiteral("本月“%1”已超出预算 %2 元。").arg(o.item, FormatFen(o.excess)),
                          QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}
