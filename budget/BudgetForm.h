#pragma once
#include "store/BudgetStore.h"

#include <QDate>
#include <QDialog>

class ISession;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

// The monthly budgets of the signed-in user's expense items: per item its budget (typed
// under the amount rule of the entry panels, empty for none), the month's spending, what
// is left and a bar. Save stores every budget of the shown month in one transaction.
class TfrmBudget : public QDialog {
    Q_OBJECT
public:
    enum Column { colItem, colBudget, colSpent, colLeft, colBar };
    // Role of the bar column: spent / budget as a double, or nothing without a budget.
    static constexpr int BarRole = Qt::UserRole + 1;

    TfrmBudget(ISession &session, QWidget *parent, const QDate &month = QDate::currentDate());

protected:
    void reject() override;

private:
    // Stores the budgets as typed; false (with a message) when one of them is not valid.
    bool btnSaveClick();
    void dtpMonthChange();
    void Reload();
    // Asks whether to save changed budgets first; false when the user's step is to stop.
    bool SettleChanges();

    ISession &m_session;
    QDate m_month;
    QList<TBudgetLine> m_lines;
    bool m_modified = false;
    bool m_loading = false;

    QDateEdit *dtpMonth = nullptr;
    QTableWidget *grdBudgets = nullptr;
    QLabel *lblTotal = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnClose = nullptr;
};
