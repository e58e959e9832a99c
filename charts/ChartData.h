#pragma once
#include "store/BudgetStore.h"
#include "store/SearchResult.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// What the charts of a search show, worked out apart from any drawing: every figure comes
// from the search result (and, for budgets, the stored budget settings).

// One slice of a pie: a ranked item, or the smaller items together.
struct TPieSlice {
    QString type;
    QString item;       // for the rest: 其他
    TFen sum = 0;
    double share = 0;   // of the type's total, 0 to 1
    bool rest = false;  // the smaller items together
    QList<TRankRow> held;  // for the rest: the items it holds, largest first
};

// The items of a ranking (largest sum first, as the ranking is) as at most largest slices.
// When they are more, the items of less than smallShare of the total and those beyond
// largest - 1 slices go together into one slice "其他". Items of no amount give no slice.
QList<TPieSlice> PieSlices(const QList<TRankRow> &ranking, TFen typeTotal, int largest = 10,
                           double smallShare = 0.03);

// Every month of the search's span in order, with the month totals where it has records.
QList<TPeriodTotal> MonthBars(const TSearchResult &result);

// A label of the month axis: under the month at index (0 is the span's first month).
struct TAxisLabel {
    int index = 0;
    QString text;  // one or two lines ("1月" and "2026年" below it)
};
// Labels for count months from firstMonth when at most room labels fit side by side:
// every month, or every second, third or sixth month, or every year ("2026年") or every
// few years. Months are named "1月"…"12月"; when the span crosses a year, every January and
// the first label carry their year on a second line.
QList<TAxisLabel> MonthAxisLabels(const QDate &firstMonth, int count, int room);

// "2026年3月".
QString MonthTitle(const QDate &month);

// One month of the trend: its income, expense, balance and the balance of the span up to
// and including it.
struct TTrendMonth {
    QDate month;
    TFen in = 0;
    TFen out = 0;
    TFen balance = 0;
    TFen running = 0;
};
QList<TTrendMonth> TrendMonths(const TSearchResult &result);

// The month sums of one item over every month of the span (as MonthBars).
struct TItemTrend {
    QString type;
    QString item;
    QList<TFen> sums;
};
// The items that a search offers for the item trend: expense items, then income items,
// each largest first.
QList<TRankRow> TrendItemChoices(const TSearchResult &result);
// How many of the largest expense items are chosen at first.
inline constexpr int kDefaultTrendItems = 5;
// The month sums of the chosen items, in their order, from one pass over the records.
QList<TItemTrend> ItemTrends(const TSearchResult &result, const QList<TRankRow> &chosen);

// A month of the span against the same month a year earlier, for one type.
struct TYearMonth {
    QDate month;
    TFen now = 0;
    TFen before = 0;
};
// yearBefore is the search of the same span one year earlier (YearBeforeSpan).
QList<TYearMonth> YearOnYear(const TSearchResult &result, const TSearchResult &yearBefore,
                             const QString &type);
QPair<QDate, QDate> YearBeforeSpan(const QDate &from, const QDate &to);
// The change from before to now in percent; none when before is zero.
std::optional<double> ChangePercent(TFen now, TFen before);
// Whether the span is exactly one calendar year.
bool IsCalendarYear(const QDate &from, const QDate &to);

// The budgeted items of one month: each item with a budget in force, what was spent on it.
struct TBudgetMonth {
    QDate month;
    QList<TBudgetLine> lines;
};
// For every month of the span, the items whose budget is in force (a setting in that month
// or the latest before it, not cleared), in the order of the item names, with the month's
// spending on them from the search's records.
QList<TBudgetMonth> BudgetExecution(const TSearchResult &result, const QList<TBudgetSetting> &settings);

// The ranges of the "范围：" drop-down, in its order.
enum class TChartRange { ThisMonth, LastMonth, ThisYear, LastYear, Last12Months, All };
// The first and last day of range on today. All takes recordSpan (the first and last
// record's dates); without records it is this month.
QPair<QDate, QDate> RangeDates(TChartRange range, const QDate &today, const QPair<QDate, QDate> &recordSpan);
