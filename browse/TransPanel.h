#pragma once
#include <QDate>
#include <QWidget>

class ISession;
class QAbstractItemView;
class QAction;
class QMenu;
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

    // The popup menus of "更多(&M)..." and "导出(&E)..."; their entries are connected by the
    // output commands (see output/).
    QMenu *mnuTransMenu = nullptr;
    QAction *btnTransMore_ToXls = nullptr;
    QAction *btnTransMore_ToHtml = nullptr;
    QAction *btnTransMore_Print = nullptr;
    QMenu *mnuCatesExport = nullptr;
    QAction *mnuCatesExport_ToXls = nullptr;
    QAction *mnuCatesExport_ToHtml = nullptr;

    // State of the last search, read by the export and print commands.
    QDate SearchFromDate;
    QDate SearchToDate;
    double PeriodInTotal = 0;
    double PeriodOutTotal = 0;
    QString SelectedDayKey;

    void rdoTransTransactionsClick();

private:
    ISession &m_session;
    QAbstractItemView *m_currentCatesList = nullptr;
};
