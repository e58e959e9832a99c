#pragma once
#include "charts/ChartData.h"

#include <QImage>
#include <QWidget>

class ISession;
class QChartView;
class QPushButton;

// The browsing sub-view "收支图表": for the last search a ring of expense by item, one of
// income by item and the income and expense of every month, with buttons to save the
// charts as a picture and to print them.
class TChartView : public QWidget {
    Q_OBJECT
public:
    TChartView(ISession &session, QWidget *parent);

    // Charts of result, which must outlive the view's use of it (the panel keeps it). They
    // are built at once when the view is visible, otherwise when it is next shown.
    void ShowResult(const TSearchResult &result);

    // The charts as drawn, at scale times the screen's pixels.
    QImage ChartsImage(qreal scale = 1) const;

signals:
    // A slice of one item was clicked (not the slice of the smaller items together).
    void itemActivated(const QString &type, const QString &item);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Builds the charts now if a search is waiting for them.
    void BuildCharts();
    void FillPie(QChartView *view, const QString &type, const QList<TRankRow> &ranking, TFen total);
    void FillMonths();
    void btnSavePictureClick();
    void btnPrintClick();

    ISession &m_session;
    const TSearchResult *m_result = nullptr;
    bool m_stale = false;

    QWidget *pnlCharts = nullptr;   // the three charts, as saved and printed
    QChartView *chvOut = nullptr;
    QChartView *chvIn = nullptr;
    QChartView *chvMonths = nullptr;
    QPushButton *btnSavePicture = nullptr;
    QPushButton *btnPrint = nullptr;
};
