#include "budget/BudgetWarning.h"
#include "base/HiClass.h"
#include "store/BudgetStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Session.h"

void WarnOverBudget(ISession &session, const QList<QStringList> &savedRows)
{
    QList<TSpending> saved;
    for (const QStringList &row : savedRows) {
        if (row.size() < 4 || THi::Trim(row[1]) != kTypeOut)
            continue;
        const QDate date = QDate::fromString(row[0], QStringLiteral("yyyy-MM-dd"));
        const std::optional<TFen> amount = ParseAmount(row[3]);
        if (date.isValid() && amount)
            saved.append({date, row[2], *amount});
    }
    if (saved.isEmpty())
        return;
    const QList<TOverrun> overruns =
        TBudgetStore(session.SessionDb().FileName()).Overruns(session.SessionUser(), saved);
    for (const TOverrun &o : overruns)
        Dialogs().Message(session.Window(),
                          QStringLiteral("本月“%1”已超出预算 %2 元。").arg(o.item, FormatFen(o.excess)),
                          QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}
