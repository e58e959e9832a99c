#pragma once
#include "output/Reports.h"
#include "output/report/CompositeReport.h"

#include <QObject>

class ISession;
class TTransPanel;

// The two print commands of the browsing view: the ranking report ("打印(&P)") and the
// transactions report (the "打印" entry of "更多(&M)..."). They print what the lists show
// with the period and totals of the last search, and never query the ledger.
class TPrintCommands : public QObject {
    Q_OBJECT
public:
    TPrintCommands(ISession &session, TTransPanel &panel, QObject *parent);

    void btnCatesPrintClick();
    void btnTransMore_PrintClick();
    // Shows report in the preview window until it is closed, then lets go of it. Its pages
    // are laid out as they are shown or printed.
    void ShowReportPreview(TPagedReport report);

    // Lives as long as the main window, so printer settings carry over to the next report;
    // it holds no document between commands.
    TCompositeReport QRCompositeReport1;

private:
    TReportHeader Header() const;

    ISession &m_session;
    TTransPanel &m_panel;
};

// Creates the print commands of the main window and connects them to their button and
// menu entry.
void ConnectPrintCommands(ISession &session, TTransPanel &panel);
