#include "store/BudgetStore.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/PlanTables.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

struct ConnectionScope {
    TConnection &conn;
    ~ConnectionScope() { conn.Close(); }
};

QString MonthKey(const QDate &month)
{
    return month.toString(QStringLiteral("yyyy-MM"));
}

QString FirstDay(const QDate &month)
{
    return QDate(month.year(), month.month(), 1).toString(QStringLiteral("yyyy-MM-dd"));
}

QString LastDay(const QDate &month)
{
    return QDate(month.year(), month.month(), month.daysInMonth()).toString(QStringLiteral("yyyy-MM-dd"));
}

// Budgets in force in a month, by stored item.
QHash<QString, std::optional<TFen>> BudgetsOf(TConnection &conn, const QString &encodedUser,
                                              const QDate &month)
{
    QHash<QString, std::optional<TFen>> budgets;
    if (!HasPlanTables(conn))
        return budgets;
    // An amount no amount field accepts (stored by other means) counts as no budget, so that
    // totals of budgets stay far from the largest integer.
    TStatement rs(conn, QStringLiteral("select b.[cate],ifnull(b.[amount] not between 1 and 99999999999,1),ifnull(b.[amount],0) "
                           "from [budgets] b where b.[user]=? and "
                           "b.[month]=(select max(c.[month]) from [budgets] c where c.[user]=b.[user] "
                           "and c.[cate]=b.[cate] and c.[month]<=?)"), {encodedUser, MonthKey(month)});
    while (rs.Next()) {
        const bool none = rs.Integer(1) != 0;
        budgets.insert(rs.Text(0), none ? std::nullopt : std::optional<TFen>(rs.Integer(2)));
    }
    return budgets;
}

QHash<QString, TFen> SpendingOf(TConnection &conn, const QString &encodedUser, const QDate &month)
{
    QHash<QString, TFen> spent;
    TStatement rs(conn, QStringLiteral("select [cate],sum([amount]) from [data] where [user]=? and [date]>=? "
                           "and [date]<=? and [type]=? group by [cate]"), {encodedUser, FirstDay(month), LastDay(month), kTypeOut});
    while (rs.Next())
        spent.insert(rs.Text(0), FenFromYuan(rs.Number(1)));
    return spent;
}

} // namespace

QList<TBudgetLine> TBudgetStore::MonthLines(const QString &user, const QDate &month,
                                            const QStringList &items)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    const QString encodedUser = THi::EncodeText(user);
    const QHash<QString, std::optional<TFen>> budgets = BudgetsOf(conn, encodedUser, month);
    const QHash<QString, TFen> spent = SpendingOf(conn, encodedUser, month);

    QList<TBudgetLine> lines;
    QSet<QString> listed;
    for (const QString &entry : items) {
        const QString item = THi::Trim(entry);
        const QString key = THi::EncodeText(item);
        if (item.isEmpty() || listed.contains(key))
            continue;
        listed.insert(key);
        lines.append({item, budgets.value(key), spent.value(key)});
    }
    QList<TBudgetLine> others;
    QSet<QString> keys(spent.keyBegin(), spent.keyEnd());
    for (auto it = budgets.cbegin(); it != budgets.cend(); ++it)
        if (it.value())
            keys.insert(it.key());
    for (const QString &key : keys)
        if (!listed.contains(key))
            others.append({THi::DecodeText(key), budgets.value(key), spent.value(key)});
    std::sort(others.begin(), others.end(), [](const TBudgetLine &a, const TBudgetLine &b) {
        return THi::ToLocalBytes(a.item) < THi::ToLocalBytes(b.item);
    });
    return lines + others;
}

void TBudgetStore::SetBudgets(const QString &user, const QDate &month,
                              const QList<QPair<QString, std::optional<TFen>>> &budgets)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    const QString encodedUser = THi::EncodeText(user);
    const QHash<QString, std::optional<TFen>> current = BudgetsOf(conn, encodedUser, month);
    conn.BeginTransaction();
    for (const auto &[item, budget] : budgets) {
        const QString key = THi::EncodeText(THi::Trim(item));
        if (current.value(key) == budget)
            continue;
        conn.Execute(QStringLiteral("insert or replace into [budgets] ([user],[cate],[month],[amount]) "
                                    "values (?,?,?,?)"),
                     {encodedUser, key, MonthKey(month), budget ? QVariant(*budget) : QVariant()});
    }
    conn.Commit();
}

QList<TOverrun> TBudgetStore::Overruns(const QString &user, const QList<TSpending> &saved)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    QList<TOverrun> overruns;
    if (!HasPlanTables(conn))
        return overruns;
    const QString encodedUser = THi::EncodeText(user);

    // The amounts just saved, per item and month, in the order they first appear.
    QList<QPair<QString, QDate>> order;
    QHash<QPair<QString, QDate>, TFen> added;
    for (const TSpending &s : saved) {
        const QPair<QString, QDate> key{THi::Trim(s.item), QDate(s.date.year(), s.date.month(), 1)};
        if (!added.contains(key))
            order.append(key);
        added[key] += s.amount;
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.second < b.second; });

    QHash<QDate, QHash<QString, std::optional<TFen>>> budgetsByMonth;
    QHash<QDate, QHash<QString, TFen>> spentByMonth;
    for (const auto &key : order) {
        const auto &[item, month] = key;
        if (!budgetsByMonth.contains(month)) {
            budgetsByMonth.insert(month, BudgetsOf(conn, encodedUser, month));
            spentByMonth.insert(month, SpendingOf(conn, encodedUser, month));
        }
        const QString stored = THi::EncodeText(item);
        const std::optional<TFen> budget = budgetsByMonth[month].value(stored);
        const TFen after = spentByMonth[month].value(stored);
        if (budget && after > *budget && after - added.value(key) <= *budget) {
            overruns.append({item, month, after - *budget});
        }
    }
    // Items in the order of the expenses, each item's months in calendar order.
    QList<TOverrun> ordered;
    QSet<QString> seen;
    for (const TSpending &s : saved) {
        const QString item = THi::Trim(s.item);
        if (seen.contains(item))
            continue;
        seen.insert(item);
        for (const TOverrun &o : overruns)
            if (o.item == item)
                ordered.append(o);
    }
    return ordered;
}

QList<TBudgetSetting> TBudgetStore::Settings(const QString &user)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    QList<TBudgetSetting> settings;
    if (!HasPlanTables(conn))
        return settings;
    TStatement rs(conn, QStringLiteral("select [cate],[month],[amount] is null,ifnull([amount],0) from [budgets] "
                                       "where [user]=? order by [month],[cate]"),
                  {THi::EncodeText(user)});
    while (rs.Next()) {
        const QDate month = QDate::fromString(rs.Text(1) + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
        if (!month.isValid())
            continue;
        settings.append({THi::DecodeText(rs.Text(0)), month,
                         rs.Integer(2) != 0 ? std::nullopt : std::optional<TFen>(rs.Integer(3))});
    }
    return settings;
}
