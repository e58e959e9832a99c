#pragma once

// REFERENCE ONLY: the program does not run these. They are the six statements that a search
// once ran, one per list; TDbMan::Search now reads the span once and accumulates every list.
// The tests check that both give the same lists, and the benchmark times these bare
// statements as the floor of a search. Each selects one user's records in a range of days,
// both days included; the first three parameters are the encoded user, the from-date and the
// to-date ("yyyy-mm-dd", compared as text).
namespace TSummarySql {

inline constexpr const char *PeriodTotals =
    "select [user],sum(iif([type]='支出',[amount],0)) as [outsum],"
    "sum(iif([type]='收入',[amount],0)) as [insum] from [data] "
    "where [user]=? and [date]>=? and [date]<=? group by [user]";

inline constexpr const char *DayTotals =
    "select [date],sum(iif([type]='支出',[amount],0)) as [outsum],"
    "sum(iif([type]='收入',[amount],0)) as [insum] from [data] "
    "where [user]=? and [date]>=? and [date]<=? group by [date] order by [date]";

// Summed from the day totals, which come from the index in date order: grouping the
// days is far cheaper than grouping every record again. Dates are zero-padded, so the
// first seven characters are the year and month "yyyy-mm".
inline constexpr const char *MonthTotals =
    "select substr([date],1,7) as [ym],sum([outsum]) as [outsum],sum([insum]) as [insum] "
    "from (select [date],sum(iif([type]='支出',[amount],0)) as [outsum],"
    "sum(iif([type]='收入',[amount],0)) as [insum] from [data] "
    "where [user]=? and [date]>=? and [date]<=? group by [date]) "
    "group by substr([date],1,7) order by substr([date],1,7)";

// Within a day the expense records come before the income records (the order the two
// words have in the Chinese code page, descending), each type in the order of saving.
// Items and notes are read only as far as a list can show them (TextLimits.h): the sort
// would otherwise carry a note of millions of characters along.
inline constexpr const char *Records =
    "select [id],[date],[type],substr([cate],1,174800) as [cate],[amount],"
    "substr([notes],1,174800) as [notes] from [data] "
    "where [user]=? and [date]>=? and [date]<=? "
    "order by [date] asc,case [type] when '支出' then 0 when '收入' then 1 else 2 end,"
    "[type] desc,[id] asc";

// The fourth parameter is the type word; ties of equal sums are ordered by the program.
inline constexpr const char *Ranking =
    "select [cate],count(*) as [qty],sum([amount]) as [total] from [data] "
    "where [user]=? and [date]>=? and [date]<=? and [type]=? group by [cate] "
    "order by sum([amount]) desc";

} // namespace TSummarySql
