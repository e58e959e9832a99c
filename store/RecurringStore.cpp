#include "store/RecurringStore.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/PlanTables.h"

#include <sqlite3.h>

#include <QSet>

#include <algorithm>

namespace {

struct ConnectionScope {
    TConnection &conn;
    ~ConnectionScope() { conn.Close(); }
};

// The bounds of what the dialog accepts: no month before this year, and amounts of at most
// nine digits of yuan, as in every amount field.
constexpr int kEarliestYear = 2000;
constexpr TFen kLargestFen = 99'999'999'999;

QString MonthKey(const QDate &month)
{
    return month.isValid() ? month.toString(QStringLiteral("yyyy-MM")) : QString();
}

QDate MonthOf(const QString &key)
{
    return key.isEmpty() ? QDate() : QDate::fromString(key + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
}

QDate FirstOf(const QDate &date)
{
    return QDate(date.year(), date.month(), 1);
}

QVariantList Values(const QString &user, const TRecurring &rec)
{
    return {THi::EncodeText(user),       rec.type, THi::EncodeText(THi::Trim(rec.item)),
            rec.amount,                  THi::EncodeText(THi::Trim(rec.notes)),
            rec.day,                     MonthKey(FirstOf(rec.firstMonth)),
            rec.lastMonth.isValid() ? MonthKey(FirstOf(rec.lastMonth)) : QString()};
}

bool AlreadyRecorded(TConnection &conn, const QString &encodedUser, const TOccurrence &o)
{
    // Stored amounts are yuan in a REAL column: compare to within half a fen.
    TStatement rs(conn, QStringLiteral("select count(*) from [data] where [user]=? and [date]=? and [type]=? "
                                       "and [cate]=? and abs([amount]-?)<0.005"),
            {encodedUser, o.date.toString(QStringLiteral("yyyy-MM-dd")), o.type,
             THi::EncodeText(o.item), YuanFromFen(o.amount)});
    return rs.Next() && rs.Integer(0) > 0;
}

} // namespace

QDate OccurrenceDate(const QDate &month, int day)
{
    const QDate first = FirstOf(month);
    return QDate(first.year(), first.month(), std::clamp(day, 1, first.daysInMonth()));
}

void TRecurringStore::Check(const TRecurring &rec)
{
    if (rec.type != kTypeOut && rec.type != kTypeIn)
        throw TError(QStringLiteral("定期收支的类别必须是支出或收入"));
    if (THi::Trim(rec.item).isEmpty())
        throw TError(QStringLiteral("定期收支的项目不能为空"));
    if (rec.amount < 1)
        throw TError(QStringLiteral("定期收支的金额必须至少为 0.01"));
    if (rec.day < 1 || rec.day > 31)
        throw TError(QStringLiteral("定期收支的日期必须在 1 到 31 之间"));
    if (!rec.firstMonth.isValid())
        throw TError(QStringLiteral("定期收支缺少开始月份"));
    if (rec.firstMonth < QDate(kEarliestYear, 1, 1))
        throw TError(QStringLiteral("定期收支的开始月份不能早于 %1 年 1 月").arg(kEarliestYear));
    if (rec.amount > kLargestFen)
        throw TError(QStringLiteral("定期收支的金额太大"));
    if (rec.lastMonth.isValid() && FirstOf(rec.lastMonth) < FirstOf(rec.firstMonth))
        throw TError(QStringLiteral("定期收支的结束月份早于开始月份"));
}

QList<TRecurring> TRecurringStore::List(const QString &user)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    QList<TRecurring> list;
    if (!HasPlanTables(conn))
        return list;
    TStatement rs(conn, QStringLiteral("select [id],[type],[cate],[amount],[notes],[day],[first_month],[last_month] "
                           "from [recurring] where [user]=? order by [id]"), {THi::EncodeText(user)});
    while (rs.Next())
        list.append({rs.Integer(0), rs.Text(1), THi::DecodeText(rs.Text(2)), rs.Integer(3),
                     THi::DecodeText(rs.Text(4)), int(rs.Integer(5)), MonthOf(rs.Text(6)),
                     MonthOf(rs.Text(7))});
    return list;
}

qint64 TRecurringStore::Add(const QString &user, const TRecurring &rec)
{
    Check(rec);
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.Execute(QStringLiteral("insert into [recurring] ([user],[type],[cate],[amount],[notes],[day],"
                                "[first_month],[last_month]) values (?,?,?,?,?,?,?,?)"),
                 Values(user, rec));
    return sqlite3_last_insert_rowid(conn.Handle());
}

void TRecurringStore::Change(const QString &user, const TRecurring &rec)
{
    Check(rec);
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.Execute(QStringLiteral("update [recurring] set [user]=?,[type]=?,[cate]=?,[amount]=?,[notes]=?,"
                                "[day]=?,[first_month]=?,[last_month]=? where [id]=?"),
                 Values(user, rec) + QVariantList{rec.id});
}

void TRecurringStore::Remove(qint64 id)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("delete from [recurring_done] where [recurring]=?"), {id});
    conn.Execute(QStringLiteral("delete from [recurring] where [id]=?"), {id});
    conn.Commit();
}

QList<TOccurrence> TRecurringStore::Due(const QString &user, const QDate &today)
{
    const QList<TRecurring> records = List(user);
    QList<TOccurrence> due;
    if (records.isEmpty())
        return due;
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    const QString encodedUser = THi::EncodeText(user);

    QSet<QPair<qint64, QString>> settled;
    {
        TStatement rs(conn, QStringLiteral("select d.[recurring],d.[month] from [recurring_done] d join [recurring] r "
                               "on r.[id]=d.[recurring] where r.[user]=?"), {encodedUser});
        while (rs.Next())
            settled.insert({rs.Integer(0), rs.Text(1)});
    }

    const QDate thisMonth = FirstOf(today);
    for (const TRecurring &rec : records) {
        // A record stored by other means is offered only when it could have been typed.
        try {
            Check(rec);
        } catch (const TError &) {
            continue;
        }
        const QDate last = rec.lastMonth.isValid() ? std::min(rec.lastMonth, thisMonth) : thisMonth;
        for (QDate month = rec.firstMonth; month.isValid() && month <= last; month = month.addMonths(1)) {
            const TOccurrence o{rec.id, month, OccurrenceDate(month, rec.day), rec.type, rec.item, rec.amount,
                                rec.notes};
            if (o.date > today || settled.contains({rec.id, MonthKey(month)}) ||
                AlreadyRecorded(conn, encodedUser, o))
                continue;
            due.append(o);
        }
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const TOccurrence &a, const TOccurrence &b) { return a.date < b.date; });
    return due;
}

void TRecurringStore::Settle(const TOccurrence &occurrence, TOutcome outcome)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.Execute(QStringLiteral("insert or replace into [recurring_done] ([recurring],[month],[state]) "
                                "values (?,?,?)"),
                 {occurrence.recurringId, MonthKey(occurrence.month),
                  outcome == TOutcome::Saved ? QStringLiteral("saved") : QStringLiteral("withdrawn")});
}
