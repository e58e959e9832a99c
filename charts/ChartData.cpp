#include "charts/ChartData.h"

#include <QHash>

QList<TPieSlice> PieSlices(const QList<TRankRow> &ranking, TFen typeTotal, int largest)
{
    QList<TPieSlice> slices;
    auto shareOf = [typeTotal](TFen sum) { return typeTotal > 0 ? double(sum) / double(typeTotal) : 0.0; };
    // One slot less when a rest slice follows, so the pie never has more than largest slices.
    const bool needsRest = ranking.size() > largest;
    const qsizetype named = needsRest ? largest - 1 : ranking.size();
    TFen rest = 0;
    for (qsizetype i = 0; i < ranking.size(); ++i) {
        const TRankRow &row = ranking[i];
        if (row.sum <= 0)
            continue;
        if (i < named)
            slices.append({row.type, row.item, row.sum, shareOf(row.sum), false});
        else
            rest += row.sum;
    }
    if (rest > 0)
        slices.append({ranking.first().type, QStringLiteral("其他"), rest, shareOf(rest), true});
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
