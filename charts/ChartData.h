#pragma once
#include "store/SearchResult.h"

#include <QList>
#include <QString>

// What the charts of a search show, worked out apart from any drawing.

// One slice of a pie: a ranked item, or the smaller items together.
struct TPieSlice {
    QString type;
    QString item;       // for the rest: 其他
    TFen sum = 0;
    double share = 0;   // of the type's total, 0 to 1
    bool rest = false;  // the smaller items together
};

// The largest items of a ranking (largest sum first, as the ranking is), the rest together
// as one slice once there are more than largest items. Items of no amount give no slice.
QList<TPieSlice> PieSlices(const QList<TRankRow> &ranking, TFen typeTotal, int largest = 8);

// Every month of the search's span in order, with the month totals where it has records.
QList<TPeriodTotal> MonthBars(const TSearchResult &result);
