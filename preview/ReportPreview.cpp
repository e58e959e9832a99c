#include "preview/ReportPreview.h"

#include <QLabel>
#include <QPainter>
#include <QScrollBar>

namespace {
const int PaperGap = 12;   // grey space around the sheet
const int ShadowSize = 3;
} // namespace

TReportPreview::TReportPreview(QWidget *parent) : QScrollArea(parent)
{
    setBackgroundRole(QPalette::Dark);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_page = new QLabel;
    m_page->setObjectName(QStringLiteral("pageImage"));
    m_page->setBackgroundRole(QPalette::Dark);
    setWidget(m_page);
    setWidgetResizable(false);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
}

void TReportPreview::SetPageStore(std::shared_ptr<const TPageStore> store)
{
    m_store = std::move(store);
    m_pageNumber = 1;
    ShowPage();
}

void TReportPreview::SetPageNumber(int number)
{
    if (number < 1 || number > PageCount() || number == m_pageNumber)
        return;
    m_pageNumber = number;
    ShowPage();
}

void TReportPreview::SetZoom(int percent)
{
    if (percent < 10 || percent > 400 || percent == m_zoom)
        return;
    m_zoom = percent;
    ShowPage();
}

void TReportPreview::ShowPage()
{
    if (!m_store || m_pageNumber > m_store->PageCount()) {
        m_page->clear();
        m_page->resize(0, 0);
        return;
    }
    const TStoredPage &page = m_store->Page(m_pageNumber);
    const QImage sheet = RenderPageImage(page, page.pixelsPerInch * (m_zoom / 100.0));
    QPixmap canvas(sheet.width() + 2 * PaperGap + ShadowSize, sheet.height() + 2 * PaperGap + ShadowSize);
    canvas.fill(palette().color(QPalette::Dark));
    {
        QPainter p(&canvas);
        p.fillRect(PaperGap + ShadowSize, PaperGap + ShadowSize, sheet.width(), sheet.height(), Qt::black);
        p.drawImage(PaperGap, PaperGap, sheet);
        p.setPen(Qt::black);
        p.drawRect(PaperGap - 1, PaperGap - 1, sheet.width() + 1, sheet.height() + 1);
    }
    m_page->setPixmap(canvas);
    m_page->resize(canvas.size());
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}
