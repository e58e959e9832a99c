#pragma once
#include "store/DbClass.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// A member who agreed to the family summary, with the totals of the span.
struct TFamilyMember {
    QString name;
    TFen in = 0;
    TFen out = 0;

    TFen Balance() const { return in - out; }
};

// One item of the family ranking: its count and sum over every agreeing member, and each
// member's sum (in the order of TFamilySummary::members).
struct TFamilyItem {
    QString type;
    QString item;
    qint64 count = 0;
    TFen sum = 0;
    QList<TFen> byMember;
};

// One month of the span: the family's income and expense and each member's expense.
struct TFamilyMonth {
    QDate month;  // its first day
    TFen in = 0;
    TFen out = 0;
    QList<TFen> outByMember;

    TFen Balance() const { return in - out; }
};

// What the family summary of a span shows: sums only, never a single record, a note or the
// date of a record. Only a viewer who agreed gets figures; the figures are those of the
// members who agreed. Members who have not agreed are named without figures.
struct TFamilySummary {
    QDate fromDate;
    QDate toDate;
    bool viewerAgreed = false;
    QList<TFamilyMember> members;  // agreeing members, in name order
    QStringList notJoined;         // the other members, in name order
    TFen inTotal = 0;
    TFen outTotal = 0;
    QList<TFamilyItem> outItems;   // largest sum first
    QList<TFamilyItem> inItems;
    QList<TFamilyMonth> months;    // every month of the span, empty ones included

    TFen Balance() const { return inTotal - outTotal; }
    TFen TypeTotal(const QString &type) const { return type == kTypeIn ? inTotal : outTotal; }
};

// Who takes part in the family summary, and the summary itself. A member takes part only
// after agreeing in the summary window; deleting the member's account ends it.
class TFamilyStore : public TDbMan {
public:
    using TDbMan::TDbMan;

    bool Agreed(const QString &user);
    // Stores the member's choice at once.
    void SetAgreed(const QString &user, bool agreed);
    // The summary as viewer may see it: without figures of anyone unless viewer agreed.
    // Types count by their exact words and items by their stored text, as in a search, so
    // each member's figures equal that member's own search totals of the span.
    TFamilySummary Summary(const QString &viewer, const QDate &fromDate, const QDate &toDate);
};
