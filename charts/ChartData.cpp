#include "charts/ChartData.h"

#include <QHash>
#include <QMap>

#include <algorithm>

QList<TPieSlice> PieSlices(const QList<TRankRow> &ranking, TFen typeTotal, int largest, double smallShare)
{
    QList<TPieSlice> slices;
    auto shareOf = [typeTotal](TFen sum) { return typeTotal > 0 ? double(sum) / double(typeTotal) : 0.0; };
    QList<TRankRow> items;
    for (const TRankRow &row : ranking)
        if (row.sum > 0)
            items.append(row);
    // All of them when they fit; otherwise one slot is kept for the rest, which takes the
    // small items even when slots are left.
    qsizetype named = items.size();
    if (items.size() > largest) {
        named = 0;
        while (named < largest - 1 && shareOf(items[named].sum) >= smallShare)
            ++named;
    }
    TPieSlice rest{items.isEmpty() ? QString() : items.first().type, QStringLiteral("其他"), 0, 0, true, {}};
    for (qsizetype i = 0; i < items.size(); ++i) {
        const TRankRow &row = items[i];
        if (i < named) {
            slices.append({row.type, row.item, row.sum, shareOf(row.sum), false, {}});
        } else {
            rest.sum += row.sum;
            rest.held.append(row);
        }
    }
    if (rest.sum > 0) {
        rest.share = shareOf(rest.sum);
        slices.append(rest);
    }
    return slices;
}

QList<TPeriodTotal> MonthBars(const TSearchResult &result)
{
    QList<TPeriodTotal> bars;
    if (!result.fromDate.isValid() || !result.toDate.isValid() || result.fromDate > result.toDate)
        return result.months;
    QHash<QDate, TPeriodTotal> byMonth;
    for (const TPeriodTotal &m : result.months)
        byMonth.insert(QDate(m.date.year(), m.date.month(), 1), m);
    const QDate last(result.toDate.year(), result.toDate.month(), 1);
    for (QDate month(result.fromDate.year(), result.fromDate.month(), 1); month <= last; month = month.addMonths(1))
        bars.append(byMonth.value(month, TPeriodTotal{month, 0, 0}));
    return bars;
}

QList<TAxisLabel> MonthAxisLabels(const QDate &firstMonth, int count, int room)
{
    QList<TAxisLabel> labels;
    if (count <= 0 || !firstMonth.isValid())
        return labels;
    room = std::max(room, 1);
    const QDate lastMonth = firstMonth.addMonths(count - 1);
    const bool crossesYear = firstMonth.year() != lastMonth.year();
    // Steps that keep January among the labelled months.
    int step = 0;
    for (int s : {1, 2, 3, 6}) {
        if ((count + s - 1) / s <= room) {
            step = s;
            break;
        }
    }
    if (step > 0) {
        for (int i = 0; i < count; ++i) {
            const QDate month = firstMonth.addMonths(i);
            if ((month.month() - 1) % step != 0 && !(i == 0 && step == 1))
                continue;
            QString text = QStringLiteral("%1月").arg(month.month());
            if (crossesYear && (month.month() == 1 || labels.isEmpty()))
                text += QStringLiteral("\n%1年").arg(month.year());
            labels.append({i, text});
        }
        return labels;
    }
    const int years = lastMonth.year() - firstMonth.year() + 1;
    int every = 1;
    for (int e : {1, 2, 5, 10, 20, 50, 100}) {
        every = e;
        if ((years + e - 1) / e <= room)
            break;
    }
    for (int i = 0; i < count; ++i) {
        const QDate month = firstMonth.addMonths(i);
        if (month.month() == 1 && month.year() % every == 0)
            labels.append({i, QStringLiteral("%1年").arg(month.year())});
    }
    if (labels.isEmpty())
        labels.append({0, QStringLiteral("%1年").arg(firstMonth.year())});
    return labels;
}

QString MonthTitle(const QDate &month)
{
    return QStringLiteral("%1年%2月").arg(month.year()).arg(month.month());
}

QList<TTrendMonth> TrendMonths(const TSearchResult &result)
{
    QList<TTrendMonth> months;
    TFen running = 0;
    for (const TPeriodTotal &m : MonthBars(result)) {
        running += m.in - m.out;
        months.append({m.date, m.in, m.out, m.in - m.out, running});
    }
    return months;
}

QList<TRankRow> TrendItemChoices(const TSearchResult &result)
{
    QList<TRankRow> items;
    for (const QList<TRankRow> *ranking : {&result.outRanking, &result.inRanking})
        for (const TRankRow &row : *ranking)
            if (row.sum > 0)
                items.append(row);
    return items;
}

QList<TItemTrend> ItemTrends(const TSearchResult &result, const QList<TRankRow> &chosen)
{
    const QList<TPeriodTotal> months = MonthBars(result);
    QList<TItemTrend> trends;
    QHash<QPair<QString, QString>, int> index;
    for (const TRankRow &row : chosen) {
        const QPair<QString, QString> key{row.type, row.item};
        if (index.contains(key))
            continue;
        index.insert(key, int(trends.size()));
        trends.append({row.type, row.item, QList<TFen>(months.size(), 0)});
    }
    if (trends.isEmpty() || months.isEmpty())
        return trends;
    const QDate first = months.first().date;
    // The records of one item (and of one type) share their text, so each text is looked up
    // by value once and then found by its address.
    QHash<QPair<const QChar *, const QChar *>, int> byAddress;
    for (const TRecord &r : result.records) {
        if (!r.date.isValid())
            continue;
        const QPair<const QChar *, const QChar *> address{r.type.constData(), r.item.constData()};
        auto found = byAddress.constFind(address);
        if (found == byAddress.cend())
            found = byAddress.insert(address, index.value({r.type, r.item}, -1));
        const int lastIndex = *found;
        if (lastIndex < 0)
            continue;
        const int m = (r.date.year() - first.year()) * 12 + r.date.month() - first.month();
        if (m >= 0 && m < months.size())
            trends[lastIndex].sums[m] += r.amount;
    }
    return trends;
}

QPair<QDate, QDate> YearBeforeSpan(const QDate &from, const QDate &to)
{
    return {from.addYears(-1), to.addYears(-1)};
}

bool IsCalendarYear(const QDate &from, const QDate &to)
{
    return from.isValid() && to.isValid() && from.year() == to.year() && from == QDate(from.year(), 1, 1) &&
           to == QDate(to.year(), 12, 31);
}

std::optional<double> ChangePercent(TFen now, TFen before)
{
    if (before == 0)
        return std::nullopt;
    return double(now - before) * 100.0 / double(before);
}

QList<TYearMonth> YearOnYear(const TSearchResult &result, const TSearchResult &yearBefore, const QString &type)
{
    const bool income = type == kTypeIn;
    QHash<QDate, TFen> before;
    for (const TPeriodTotal &m : yearBefore.months)
        before.insert(QDate(m.date.year(), m.date.month(), 1), income ? m.in : m.out);
    QList<TYearMonth> months;
    for (const TPeriodTotal &m : MonthBars(result))
        months.append({m.date, income ? m.in : m.out, before.value(m.date.addYears(-1), 0)});
    return months;
}

QList<TBudgetMonth> BudgetExecution(const TSearchResult &result, const QList<TBudgetSetting> &settings)
{
    const QList<TPeriodTotal> bars = MonthBars(result);
    QList<TBudgetMonth> months;
    if (bars.isEmpty())
        return months;
    const QDate first = bars.first().date;
    // The spending of every budgeted item in every month of the span; the records of one
    // item share their text, so each text is looked up by value once.
    QHash<QString, QList<TFen>> spent;
    for (const TBudgetSetting &s : settings)
        spent.insert(s.item, QList<TFen>(bars.size(), 0));
    QHash<const QChar *, QList<TFen> *> byAddress;
    for (const TRecord &r : result.records) {
        if (spent.isEmpty())
            break;
        if (!r.IsExpense() || !r.date.isValid())
            continue;
        const int m = (r.date.year() - first.year()) * 12 + r.date.month() - first.month();
        if (m < 0 || m >= bars.size())
            continue;
        auto found = byAddress.constFind(r.item.constData());
        if (found == byAddress.cend()) {
            const auto it = spent.find(r.item);
            found = byAddress.insert(r.item.constData(), it == spent.end() ? nullptr : &*it);
        }
        if (*found)
            (**found)[m] += r.amount;
    }
    // The settings by item in month order; the one in force is the latest not after the month.
    QMap<QString, QList<TBudgetSetting>> byItem;
    for (const TBudgetSetting &s : settings)
        byItem[s.item].append(s);
    for (auto &list : byItem)
        std::stable_sort(list.begin(), list.end(),
                         [](const TBudgetSetting &a, const TBudgetSetting &b) { return a.month < b.month; });
    for (qsizetype m = 0; m < bars.size(); ++m) {
        TBudgetMonth month{bars[m].date, {}};
        for (auto it = byItem.cbegin(); it != byItem.cend(); ++it) {
            std::optional<TFen> budget;
            for (const TBudgetSetting &s : it.value()) {
                if (s.month > month.month)
                    break;
                budget = s.amount;
            }
            if (!budget)
                continue;
            const auto spending = spent.constFind(it.key());
            month.lines.append({it.key(), budget, spending == spent.cend() ? 0 : (*spending)[m]});
        }
        months.append(month);
    }
    return months;
}

QPair<QDate, QDate> RangeDates(TChartRange range, const QDate &today, const QPair<QDate, QDate> &recordSpan)
{
    const QDate month(today.year(), today.month(), 1);
    auto monthEnd = [](const QDate &first) { return first.addMonths(1).addDays(-1); };
    switch (range) {
    case TChartRange::ThisMonth:
        return {month, monthEnd(month)};
    case TChartRange::LastMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case TChartRange::ThisYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case TChartRange::LastYear:
        return {QDate(today.year() - 1, 1, 1), QDate(today.year() - 1, 12, 31)};
    case TChartRange::Last12Months:
        return {month.addMonths(-11), monthEnd(month)};
    case TChartRange::All:
        if (recordSpan.first.isValid() && recordSpan.second.isValid() && recordSpan.first <= recordSpan.second)
            return recordSpan;
        return {month, monthEnd(month)};
    }
    return {month, monthEnd(month)};
}
