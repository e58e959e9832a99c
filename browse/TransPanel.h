#pragma once
#include <QWidget>

class ISession;
class QAbstractItemView;
class QDateEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// The browsing mode "收支目录" (pnlTransactions): the top bar with the range of days and
// the search, and the two sub-views, the transactions (pnlTransTransactions) and the
// item ranking (pnlTransCategories).
class TTransPanel : public QWidget {
    Q_OBJECT
public:
    TTransPanel(ISession &session, QWidget *parent);

    // Start-up: the date fields, zero period totals, the tab strip.
    void StartUp();
    // The ranking list whose row is selected, or none.
    QAbstractItemView *CurrentCatesList() const { return m_currentCatesList; }

    QDateEdit *dtpTransDate1 = nullptr;
    QDateEdit *dtpTransDate2 = nullptr;
    QPushButton *btnTransSearch = nullptr;
    QRadioButton *rdoTransTransactions = nullptr;
    QRadioButton *rdoTransCategories = nullptr;
    QWidget *pnlTransTransactions = nullptr;
    QWidget *pnlTransCategories = nullptr;

    QTreeWidget *lvwTrans = nullptr;
    QPushButton *btnTransDelete = nullptr;
    QPushButton *btnTransEdit = nullptr;
    QPushButton *btnTransMore = nullptr;

    QTreeWidget *lvwInCates = nullptr;
    QTreeWidget *lvwOutCates = nullptr;
    QPushButton *btnMoreInfo = nullptr;
    QPushButton *btnCatesExport = nullptr;
    QPushButton *btnCatesPrint = nullptr;

    void rdoTransTransactionsClick();

private:
    ISession &m_session;
    QAbstractItemView *m_currentCatesList = nullptr;
};
