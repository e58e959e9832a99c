#pragma once
#include "charts/ChartData.h"

#include <QImage>
#include <QWidget>

#include <optional>

class ISession;
class QChartView;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTabBar;

// The browsing sub-view "收支图表": for the last search the chart kind chosen under "图表："
// (rings of expense and income by item with the month bars, the trend of income, expense
// and balance, the trend of chosen items, each month against the year before, budgets
// against spending), the range drop-down "范围：", and buttons to save the charts as a
// picture and to print them. Every figure comes from the search result, the search of the
// year before and the stored budgets.
class TChartView : public QWidget {
    Q_OBJECT
public:
    TChartView(ISession &session, QWidget *parent);

    // Charts of result, which must outlive the view's use of it (the panel keeps it). They
    // are built at once when the view is visible, otherwise when it is next shown. The
    // search of the year before is run when its chart is first shown, unless given here
    // (it must then outlive the view's use of it too).
    void ShowResult(const TSearchResult &result, const TSearchResult *yearBefore = nullptr);

    // The title and the charts of the chosen kind as drawn, at scale times the screen's pixels.
    QImage ChartsImage(qreal scale = 1) const;

signals:
    // A slice of one item was clicked.
    void itemActivated(const QString &type, const QString &item);
    // The slice of the smaller items together was clicked; firstItem is the largest of them.
    void restActivated(const QString &type, const QString &firstItem);
    // A month's bar was clicked (month is its first day).
    void monthActivated(const QDate &month);
    // A range was chosen under "范围：".
    void rangeChosen(const QDate &from, const QDate &to);

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class TKind { Composition, Trend, ItemTrend, YearOnYear, Budget };

    // Builds the charts of the chosen kind now if a search is waiting for them.
    void BuildCharts();
    void FillComposition();
    void FillPie(QChartView *view, QWidget *legend, const QString &type, const QList<TRankRow> &ranking, TFen total);
    void FillMonths();
    void FillTrend();
    void FillItemTrend();
    void FillItemChoices();
    void FillYearOnYear();
    void FillBudget();
    const TSearchResult &YearBefore();
    // The widget whose picture is saved and printed for the chosen kind.
    QWidget *PictureWidget() const;
    void cboChartRangeActivated(int index);
    void btnSavePictureClick();
    void btnPrintClick();

    ISession &m_session;
    const TSearchResult *m_result = nullptr;
    std::optional<TSearchResult> m_yearBefore;
    const TSearchResult *m_givenYearBefore = nullptr;
    std::optional<QList<TBudgetSetting>> m_budgets;
    bool m_stale[5] = {};
    // Counts the results shown; an empty one is settled once the event loop still finds it.
    int m_generation = 0;
    bool m_settled = false;
    QPair<QDate, QDate> m_appliedRange;

    QWidget *pnlCharts = nullptr;   // the title and the charts, as saved and printed
    QLabel *lblChartsTitle = nullptr;
    QStackedWidget *stkCharts = nullptr;
    QWidget *pnlComposition = nullptr;
    QChartView *chvOut = nullptr;
    QChartView *chvIn = nullptr;
    QWidget *lgdOut = nullptr;
    QWidget *lgdIn = nullptr;
    QChartView *chvMonths = nullptr;
    QChartView *chvTrend = nullptr;
    QChartView *chvItems = nullptr;
    QListWidget *lstTrendItems = nullptr;
    QChartView *chvYear = nullptr;
    QTabBar *tabYearType = nullptr;
    QChartView *chvBudget = nullptr;
    QComboBox *cboChartKind = nullptr;
    QComboBox *cboChartRange = nullptr;
    QPushButton *btnSavePicture = nullptr;
    QPushButton *btnPrint = nullptr;
};
