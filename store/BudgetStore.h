#pragma once
#include "base/Money.h"
#include "store/DbClass.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One expense item of a month: its budget (none when not set), what was spent on it.
struct TBudgetLine {
    QString item;
    std::optional<TFen> budget;
    TFen spent = 0;

    // What is left of the budget; negative when it is exceeded. None without a budget.
    std::optional<TFen> Left() const
    {
        return budget ? std::optional<TFen>(*budget - spent) : std::nullopt;
    }
    bool Over() const { return budget && spent > *budget; }
};

// One stored expense as the budget check needs it.
struct TSpending {
    QDate date;
    QString item;
    TFen amount = 0;
};

// An item that a save pushed past its budget for month, and by how much it is over.
struct TOverrun {
    QString item;
    QDate month;  // its first day
    TFen excess = 0;
};

// A budget as stored: it applies from month (its first day) on; none clears it.
struct TBudgetSetting {
    QString item;
    QDate month;
    std::optional<TFen> amount;
};

// Monthly budgets per expense item. A budget set for a month goes on applying to the
// months after it until a later month sets another.
class TBudgetStore : public TDbMan {
public:
    using TDbMan::TDbMan;

    // The lines of the month of month: first the given items (the expense item list) in
    // their order, then every other item with a budget or spending that month.
    QList<TBudgetLine> MonthLines(const QString &user, const QDate &month, const QStringList &items);
    // Stores the budgets as they apply to the month of month, all in one transaction. An
    // item whose budget does not change is left alone.
    void SetBudgets(const QString &user, const QDate &month,
                    const QList<QPair<QString, std::optional<TFen>>> &budgets);
    // The items that the just stored expenses took from within their budget to past it,
    // once per item and month: items in the order of the expenses, an item's months in
    // calendar order.
    QList<TOverrun> Overruns(const QString &user, const QList<TSpending> &saved);
    // Every budget the user ever set, by month, then by item.
    QList<TBudgetSetting> Settings(const QString &user);
};
