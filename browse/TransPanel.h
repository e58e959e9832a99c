#pragma once
#include "store/DbClass.h"

#include <QDate>
#include <QTreeView>
#include <QWidget>

class ISession;
class QAbstractItemView;
class QAction;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabBar;
class TChartView;

// The browsing mode "收支目录" (pnlTransactions): the top bar with the range of days and
// the search, and the two sub-views, the transactions (pnlTransTransactions) and the
// item ranking (pnlTransCategories). One search fills both.
class TTransPanel : public QWidget {
    Q_OBJECT
public:
    TTransPanel(ISession &session, QWidget *parent);

    // More needs records; Edit and Delete a selected record; the detail command a chosen
    // ranking row; export and print of the ranking a ranked item.
    void UpdateCommandStates();
    // Start-up: the transactions sub-view, the date fields, zero period totals, the date
    // rule and the tab strip.
    void StartUp();
    // The ranking list whose row is selected, or none.
    QAbstractItemView *CurrentCatesList() const { return m_currentCatesList; }

    // The last search, which the lists show and the export and print commands write.
    const TSearchResult &LastSearch() const { return m_result; }
    // Keeps the result of a search and shows it in the five lists.
    void ShowResult(TSearchResult result);

    // The export entries of a popup menu, for the export commands that connect to them.
    struct TExportEntries {
        QAction *xls, *xlsx, *csv, *html;
    };
    // Of "更多(&M)..." below the records.
    TExportEntries RecordsExportEntries() const;
    // Of "导出(&E)..." below the ranking.
    TExportEntries RankingExportEntries() const;
    // The print commands' controls: "打印(&P)" below the ranking (busy while its report is
    // made, focused again afterwards) and the "打印" entry of "更多(&M)...".
    QPushButton *RankingPrintButton() const { return btnCatesPrint; }
    QAction *RecordsPrintEntry() const { return btnTransMore_Print; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateTopBar();
    void CreateTransactions();
    void CreateCategories();
    void CreateMenus();
    void SetTabOrder();
    void NameControls();
    void Connect();
    // Opens the popup menu of a button: at the pointer after a click, below the button
    // when opened by keyboard.
    static void PopUpBelow(QMenu *menu, QPushButton *button);

    // Handlers; invoker is the button whose command runs (it is disabled meanwhile).
    // Shows the sub-view whose radio button is checked.
    void rdoTransTransactionsClick();
    void dtpTransDate1Change();
    void btnTransSearchClick(QPushButton *invoker);
    void ShowPeriodTotals(TFen income, TFen expense);
    void TabSet1Click();
    void lvwDayTotalSelectItem(QAbstractItemView *list);
    void lvwTransSelectItem();
    void btnTransDeleteClick(QPushButton *invoker);
    void btnTransEditClick(QPushButton *invoker);
    void btnTransMoreClick();
    // The make-current rule of the ranking lists, run on entering a list and on a change
    // of its selection.
    void lvwCatesMakeCurrent(QAbstractItemView *list);
    void lvwCatesDblClick(QAbstractItemView *list);
    void btnMoreInfoClick(QPushButton *invoker);
    // The detail dialog of one ranked item; the focus goes back to invoker afterwards.
    void ShowItemDetails(TRankRow rank, QWidget *invoker);
    void btnCatesExportClick();
    // From the charts: the ranking view with item chosen; the records view with the
    // records of month marked.
    void ShowRankedItem(const QString &type, const QString &item);
    void ShowMonthRecords(const QDate &month);

    // The selected record, or none.
    const TRecord *SelectedRecord() const;
    // The ranked item of the selected row of list, or none.
    const TRankRow *SelectedRank(const QAbstractItemView *list) const;

    ISession &m_session;
    QAbstractItemView *m_currentCatesList = nullptr;
    TSearchResult m_result;
    // The date (or year and month) of the selected day (or month) row; empty when none.
    QString m_selectedDayKey;

    // Top bar.
    QDateEdit *dtpTransDate1 = nullptr;
    QLabel *lblTransTo = nullptr;
    QDateEdit *dtpTransDate2 = nullptr;
    QPushButton *btnTransSearch = nullptr;
    QRadioButton *rdoTransTransactions = nullptr;
    QRadioButton *rdoTransCategories = nullptr;
    QRadioButton *rdoTransCharts = nullptr;

    // Transactions sub-view.
    QWidget *pnlTransTransactions = nullptr;
    QWidget *pnlTrans = nullptr;
    QSplitter *Splitter1 = nullptr;
    QWidget *pnlTrans1 = nullptr;
    QTreeView *lvwDayTotal = nullptr;
    QTreeView *lvwMonthTotal = nullptr;
    QTabBar *TabSet1 = nullptr;
    QWidget *pnlTrans2 = nullptr;
    QTreeView *lvwTrans = nullptr;
    QLabel *lblTransTotal = nullptr;
    QPushButton *btnTransDelete = nullptr;
    QPushButton *btnTransEdit = nullptr;
    QPushButton *btnTransMore = nullptr;

    // Ranking sub-view.
    QWidget *pnlTransCategories = nullptr;
    QWidget *pnlCates = nullptr;
    QSplitter *Splitter3 = nullptr;
    QTreeView *lvwInCates = nullptr;
    QTreeView *lvwOutCates = nullptr;
    QLabel *lblCatesTotal = nullptr;
    QPushButton *btnMoreInfo = nullptr;
    QPushButton *btnCatesExport = nullptr;
    QPushButton *btnCatesPrint = nullptr;

    // Charts sub-view.
    TChartView *pnlTransCharts = nullptr;

    // The popup menus of "更多(&M)..." and "导出(&E)..."; the export and print commands
    // connect to their entries.
    QMenu *mnuTransMenu = nullptr;
    QAction *btnTransMore_ToXls = nullptr;
    QAction *btnTransMore_ToXlsx = nullptr;
    QAction *btnTransMore_ToCsv = nullptr;
    QAction *btnTransMore_ToHtml = nullptr;
    QAction *btnTransMore_Print = nullptr;
    QMenu *mnuCatesExport = nullptr;
    QAction *mnuCatesExport_ToXls = nullptr;
    QAction *mnuCatesExport_ToXlsx = nullptr;
    QAction *mnuCatesExport_ToCsv = nullptr;
    QAction *mnuCatesExport_ToHtml = nullptr;
};
