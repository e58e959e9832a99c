#include "browse/PrintCommands.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"
#include "browse/TransPanel.h"
#include "preview/PrintForm.h"
#include "preview/ReportPreview.h"

#include <QAction>
#include <QPushButton>

#include <memory>

namespace {
// Frees the pages of a report when the command ends, however it ends.
class TPagesScope {
public:
    explicit TPagesScope(TPrintCommands &commands) : m_commands(commands) {}
    ~TPagesScope() { m_commands.FreeReportPages(); }
    TPagesScope(const TPagesScope &) = delete;
    TPagesScope &operator=(const TPagesScope &) = delete;

private:
    TPrintCommands &m_commands;
};
} // namespace

TPrintCommands::TPrintCommands(ISession &session, TTransPanel &panel, QObject *parent)
    : QObject(parent), m_session(session), m_panel(panel)
{
    setObjectName(QStringLiteral("PrintCommands"));
    QRCompositeReport1.OnAddReports = [this](TCompositeReport &report) { QRCompositeReport1AddReports(report); };
}

TReportHeader TPrintCommands::Header() const
{
    return TReportHeader::Of(m_session.SessionUser(), m_panel.LastSearch());
}

void TPrintCommands::btnCatesPrintClick()
{
    QWidget *button = m_panel.RankingPrintButton();
    {
        const TBusyScope busy(m_session, button);
        const TPagesScope pages(*this);
        BuildRankingReport(reportPages, Header(), m_panel.LastSearch().inRanking,
                           m_panel.LastSearch().outRanking);
        ShowReportPreview();
    }
    button->setFocus();
}

void TPrintCommands::btnTransMore_PrintClick()
{
    const TBusyScope busy(m_session, nullptr);
    const TPagesScope pages(*this);
    BuildTransactionsReport(reportPages, Header(), m_panel.LastSearch().records);
    ShowReportPreview();
}

void TPrintCommands::ShowReportPreview()
{
    const auto frmPrint = std::make_unique<TfrmPrint>(m_session.Window());
    QRCompositeReport1.Prepare();
    frmPrint->compositeReport = &QRCompositeReport1;
    frmPrint->QRPreview1->SetPageStore(QRCompositeReport1.PageStore());
    // The command is busy, but the user works in the preview: it gets the normal cursor.
    const TCursorScope arrow(Qt::ArrowCursor);
    frmPrint->exec();
}

void TPrintCommands::FreeReportPages()
{
    QRCompositeReport1.Reports.clear();
    ::FreeReportPages(reportPages);
}

void TPrintCommands::QRCompositeReport1AddReports(TCompositeReport &report)
{
    report.Reports.clear();
    for (const auto &page : reportPages)
        report.Reports.append(page.get());
}

void ConnectPrintCommands(ISession &session, TTransPanel &panel)
{
    TTransPanel *p = &panel;
    QWidget *owner = session.Window();
    auto *commands = new TPrintCommands(session, panel, owner);
    QObject::connect(p->RankingPrintButton(), &QPushButton::clicked, commands,
                     Guarded(owner, [commands] { commands->btnCatesPrintClick(); }));
    QObject::connect(p->RecordsPrintEntry(), &QAction::triggered, commands,
                     Guarded(owner, [commands] { commands->btnTransMore_PrintClick(); }));
}
