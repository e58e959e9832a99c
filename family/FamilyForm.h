#pragma once
#include "output/FamilySheets.h"
#include "output/report/CompositeReport.h"

#include <QDialog>

class ISession;
class QChartView;
class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// The window "家庭汇总": the signed-in member's consent to be counted, and for a member who
// agreed the sums of every agreeing member over a span of days, by member, by item or by
// month (with a stacked bar chart of each month's expense by member). It shows sums only:
// never another member's records, notes, record dates or budgets.
class TfrmFamily : public QDialog {
    Q_OBJECT
public:
    TfrmFamily(ISession &session, QWidget *parent);

    // The summary the window shows (no figures while the member has not agreed).
    const TFamilySummary &Summary() const { return m_summary; }

private:
    void chkConsentClick(bool agreed);
    void btnSearchClick();
    void dtpDateChange();
    void ShowView();
    void FillChart(const TFamilySummary &summary);
    void ShowConsentState();
    void Export(bool xlsx);
    void btnPrintClick();
    TFamilyView View() const;

    ISession &m_session;
    TFamilySummary m_summary;
    bool m_agreed = false;
    // Lives as long as the window, so printer settings carry over to the next print.
    TCompositeReport m_report;

    QCheckBox *chkConsent = nullptr;
    QLabel *lblExplain = nullptr;
    QWidget *pnlFigures = nullptr;
    QDateEdit *dtpFamilyDate1 = nullptr, *dtpFamilyDate2 = nullptr;
    QPushButton *btnFamilySearch = nullptr;
    QRadioButton *rdoByMember = nullptr, *rdoByItem = nullptr, *rdoByMonth = nullptr;
    QTreeWidget *lvwFamily = nullptr;
    QChartView *chvFamilyMonths = nullptr;
    QLabel *lblNotJoined = nullptr;
    QPushButton *btnExportXlsx = nullptr, *btnExportCsv = nullptr, *btnPrint = nullptr,
                *btnClose = nullptr;
};
