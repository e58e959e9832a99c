#include "budget/BudgetWarning.h"
#include "base/HiClass.h"
#include "store/BudgetStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Session.h"

namespace {

// "本月…" for the month of today, "2026年1月…" for any other.
QString OverBudgetText(const TOverrun &overrun, const QDate &today)
{
    const QString amount = FormatFen(overrun.excess);
    if (overrun.month.year() == today.year() && overrun.month.month() == today.month())
        return QStringLiteral("本月“%1”已超出预算 %2 元。").arg(overrun.item, amount);
    return QStringLiteral("%1年%2月“%3”已超出预算 %4 元。")
        .arg(overrun.month.year())
        .arg(overrun.month.month())
        .arg(overrun.item, amount);
}

} // namespace

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
    const QDate today = QDate::currentDate();
    for (const TOverrun &o : overruns)
        Dialogs().Message(session.Window(), OverBudgetText(o, today), QStringLiteral("Tallyfern"),
                          IDialogs::Icon::Information);
}
