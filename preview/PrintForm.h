#pragma once
#include "widgets/BusyCursor.h"
#include <QDialog>

class QFrame;
class QLabel;
class QStatusBar;
class QToolButton;
class TCompositeReport;
class TReportPreview;

// The print preview window: pages through a prepared report and prints it on A4 portrait.
// It opens over the whole work area of the desktop.
class TfrmPrint : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPrint(QWidget *owner);

    // The report shown and printed (not owned), shown from its first prepared page.
    void SetReport(TCompositeReport *report);
    TCompositeReport *Report() const { return m_report; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void FormCreate();
    void FormResize();
    void FormShow();
    // The four page buttons; sender null (or another object) only rewrites the page text.
    void btnFirstPageClick(QObject *sender);
    void btnPrintClick();
    void FitWorkArea();

    TCompositeReport *m_report = nullptr;
    QRect m_workArea;

    QFrame *CoolBar1 = nullptr;
    QWidget *pnlPageButtons = nullptr;
    QToolButton *btnFirstPage = nullptr, *btnPrevPage = nullptr, *btnNextPage = nullptr,
                *btnLastPage = nullptr, *btnPrint = nullptr;
    TReportPreview *QRPreview1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *lblStatusPanel = nullptr;  // the status bar's one panel
};

// Prepares report and shows it in the preview window over owner until the user closes it.
// The caller may be busy, but the user works in the preview: it gets the normal cursor.
void ShowPrintPreview(TCompositeReport &report, QWidget *owner);
