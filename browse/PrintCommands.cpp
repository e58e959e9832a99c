#include "browse/PrintCommands.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"
#include "browse/TransPanel.h"
#include "preview/PrintForm.h"

#include <QAction>
#include <QPushButton>


namespace {
// Lets go of the document of a report when the command ends, however it ends.
class TDocumentScope {
public:
    explicit TDocumentScope(TCompositeReport &report) : m_report(report) {}
    ~TDocumentScope() { m_report.Clear(); }
    TDocumentScope(const TDocumentScope &) = delete;
    TDocumentScope &operator=(const TDocumentScope &) = delete;

private:
    TCompositeReport &m_report;
};
} // namespace

TPrintCommands::TPrintCommands(ISession &session, TTransPanel &panel, QObject *parent)
    : QObject(parent), m_session(session), m_panel(panel)
{
    setObjectName(QStringLiteral("PrintCommands"));
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
        const TSearchResult &result = m_panel.LastSearch();
        ShowReportPreview(RankingReport(Header(), result.inRanking, result.outRanking));
    }
    button->setFocus();
}

void TPrintCommands::btnTransMore_PrintClick()
{
    const TBusyScope busy(m_session, nullptr);
    ShowReportPreview(TransactionsReport(Header(), m_panel.LastSearch().records));
}

void TPrintCommands::ShowReportPreview(TPagedReport report)
{
    const TDocumentScope document(QRCompositeReport1);
    QRCompositeReport1.Paged = std::move(report);
    ShowPrintPreview(QRCompositeReport1, m_session.Window());
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
