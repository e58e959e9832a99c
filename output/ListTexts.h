#pragma once
#include "store/SearchResult.h"

#include <QDate>
#include <QString>

// The one place where the typed rows of a search become texts: every browsing list, export
// and printed report shows a row with these functions.

// What every export and printed report states above or below its rows: the signed-in user,
// the period and the totals of the search.
struct TReportHeader {
    QString userName;
    QDate fromDate;
    QDate toDate;
    TFen inTotal = 0;
    TFen outTotal = 0;

    static TReportHeader Of(const QString &userName, const TSearchResult &result);
    TFen Balance() const { return inTotal - outTotal; }
    TFen TypeTotal(const QString &type) const { return type == kTypeIn ? inTotal : outTotal; }
    // "(from 至 to)" with the dates as yyyy-mm-dd.
    QString Period() const;
    // "user (from 至 to)".
    QString Title() const;
};

QString DateText(const QDate &date);   // yyyy-mm-dd
QString MonthText(const QDate &date);  // yyyy-mm

// A record: its amount stands under its type, the other amount column stays empty.
struct TRecordTexts {
    QString date, item, in, out, notes;
};
TRecordTexts RecordTexts(const TRecord &record);

// A ranked item, with its amount under its type and its share of the type's total.
struct TRankTexts {
    QString type, item, count, in, out, share;
    const QString &Sum() const { return in.isEmpty() ? out : in; }
};
TRankTexts RankTexts(const TRankRow &row, TFen typeTotal);

// A slice of a chart as its legend names it, "item 37.50%", and as its tip shows it,
// "item 12.50 (37.50%)".
QString ChartSliceText(const QString &item, TFen sum, TFen whole);
QString ChartSliceTip(const QString &item, TFen sum, TFen whole);
// A month under a bar: "3月" when every bar is of one year, otherwise yyyy-mm.
QString ChartMonthText(const QDate &month, bool oneYear);
