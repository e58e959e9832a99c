#pragma once
#include "base/Money.h"

#include <QDate>
#include <QList>
#include <QString>

inline const QString kTypeOut = QStringLiteral("支出");
inline const QString kTypeIn = QStringLiteral("收入");

// One stored record as the browsing lists and the writers receive it.
struct TRecord {
    qint64 id = 0;
    QDate date;
    QString type;  // the stored type word, trimmed: 支出 or 收入
    QString item;
    TFen amount = 0;
    QString notes;

    bool IsIncome() const { return type == kTypeIn; }
    bool IsExpense() const { return type == kTypeOut; }
};

// One record to be stored, as the entry panel collects it.
struct TNewRecord {
    QDate date;
    QString type;  // 支出 or 收入
    QString item;
    TFen amount = 0;
    QString notes;

    bool operator==(const TNewRecord &) const = default;
};

// The totals of one day, or of one month (date is then the month's first day).
struct TPeriodTotal {
    QDate date;
    TFen in = 0;
    TFen out = 0;
};

// One item of a ranking: how many records and their sum.
struct TRankRow {
    QString type;
    QString item;
    qint64 count = 0;
    TFen sum = 0;
};

// Everything one search of a range of days gives: the totals of the range, the day and
// month totals in date order, every record (within a day expenses before incomes, each in
// the order of saving), and both rankings (largest sum first).
struct TSearchResult {
    QDate fromDate;
    QDate toDate;
    TFen inTotal = 0;
    TFen outTotal = 0;
    QList<TPeriodTotal> days;
    QList<TPeriodTotal> months;
    QList<TRecord> records;
    QList<TRankRow> outRanking;
    QList<TRankRow> inRanking;

    TFen Balance() const { return inTotal - outTotal; }
    // The total of the ranking's type: the share of each ranked item is taken of it.
    TFen TypeTotal(const QString &type) const { return type == kTypeIn ? inTotal : outTotal; }
};

// Every member moves by its bytes, so long lists grow by reallocation instead of element by
// element.
Q_DECLARE_TYPEINFO(TRecord, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(TPeriodTotal, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(TRankRow, Q_RELOCATABLE_TYPE);
