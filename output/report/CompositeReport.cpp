#include "output/report/CompositeReport.h"

#include <QPainter>

#include <cmath>
#include <stdexcept>

namespace {
// Pages kept by a paged store: the one shown, and a few around it for paging back and forth.
const int RecentPages = 4;
} // namespace

TPageStore::TPageStore(TPagedReport paged) : m_paged(std::move(paged))
{
    if (!m_paged.BuildPage)
        m_paged.PageCount = 0;
}

int TPageStore::PageCount() const
{
    return m_paged.BuildPage ? m_paged.PageCount : int(m_pages.size());
}

TStoredPage TPageStore::Page(int number) const
{
    if (!m_paged.BuildPage)
        return m_pages.at(number - 1);
    if (number < 1 || number > m_paged.PageCount)
        throw std::out_of_range("page number outside the report");
    for (qsizetype i = 0; i < m_recent.size(); ++i)
        if (m_recent[i].first == number) {
            m_recent.move(i, m_recent.size() - 1);
            return m_recent.last().second;
        }
    TPageStore one;
    const std::unique_ptr<TPageReport> report = m_paged.BuildPage(number);
    if (!report)
        throw std::logic_error("a paged report made no page");
    one.AddReport(*report);
    TStoredPage page;
    if (one.m_pages.isEmpty()) {
        // A page without a band is printed blank, as it is counted.
        page.paperMm = report->PageSetup.PaperSizeMm();
        page.marginsMm = report->PageSetup.MarginsMm;
        page.pixelsPerInch = report->PixelsPerInch();
    } else {
        page = one.m_pages.first();
    }
    if (m_recent.size() >= RecentPages)
        m_recent.removeFirst();
    m_recent.append({number, page});
    return page;
}

void TPageStore::AddReport(const TPageReport &report)
{
    const TReportBand *band = report.Band();
    if (!band)
        return;
    const int height = band->Size.height();
    if (m_pages.isEmpty() || band->ForceNewPage || m_nextTop + height > m_printableHeight) {
        TStoredPage page;
        page.paperMm = report.PageSetup.PaperSizeMm();
        page.marginsMm = report.PageSetup.MarginsMm;
        page.pixelsPerInch = report.PixelsPerInch();
        const double printableMm = page.paperMm.height() - page.marginsMm.top() - page.marginsMm.bottom();
        m_printableHeight = int(std::floor(printableMm / 25.4 * page.pixelsPerInch.height() + 0.5));
        m_pages.append(page);
        m_nextTop = 0;
    }
    TStoredPage &page = m_pages.last();
    for (const auto &control : band->Controls()) {
        TPageItem item;
        item.rect = QRect(control->Left, m_nextTop + control->Top, control->Width(), control->Height());
        if (const auto *label = dynamic_cast<const TReportLabel *>(control.get())) {
            item.kind = TPageItem::Kind::Text;
            item.text = label->Caption();
            item.font = label->Font();
            item.transparent = label->Transparent;
            item.color = label->Color;
        } else if (const auto *shape = dynamic_cast<const TReportShape *>(control.get())) {
            item.kind = TPageItem::Kind::Fill;
            item.color = shape->FillColor;
        } else if (const auto *image = dynamic_cast<const TReportImage *>(control.get())) {
            item.kind = TPageItem::Kind::Image;
            item.image = image->Picture;
        } else {
            continue;
        }
        page.items.append(item);
    }
    m_nextTop += height;
}

void RenderPage(QPainter &painter, const TStoredPage &page)
{
    const QPaintDevice *device = painter.device();
    const double dpiX = device->logicalDpiX(), dpiY = device->logicalDpiY();
    const double sx = dpiX / page.pixelsPerInch.width();
    const double sy = dpiY / page.pixelsPerInch.height();
    const QPointF origin(page.marginsMm.left() / 25.4 * dpiX, page.marginsMm.top() / 25.4 * dpiY);
    painter.save();
    painter.setPen(Qt::black);
    for (const TPageItem &item : page.items) {
        const QRectF r(origin.x() + item.rect.x() * sx, origin.y() + item.rect.y() * sy,
                       item.rect.width() * sx, item.rect.height() * sy);
        if (item.kind == TPageItem::Kind::Image) {
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(r, item.image);
            painter.restore();
            continue;
        }
        if (item.kind == TPageItem::Kind::Fill || !item.transparent)
            painter.fillRect(r, item.color);
        if (item.kind == TPageItem::Kind::Text && !item.text.isEmpty()) {
            painter.setFont(item.font);
            painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                             item.text);
        }
    }
    painter.restore();
}

QImage RenderPageImage(const TStoredPage &page, QSizeF dpi)
{
    const QSize size(int(std::lround(page.paperMm.width() / 25.4 * dpi.width())),
                     int(std::lround(page.paperMm.height() / 25.4 * dpi.height())));
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(dpi.width() / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi.height() / 0.0254)));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    RenderPage(painter, page);
    return image;
}

void TPrinterSettings::UseDefaultPrinter()
{
    PrinterIndex = -1;
    PrinterName.clear();
    OutputFileName.clear();
}

void TCompositeReport::Prepare()
{
    if (Paged.BuildPage) {
        m_store = std::make_shared<TPageStore>(Paged);
        return;
    }
    auto store = std::make_shared<TPageStore>();
    if (OnAddReports)
        OnAddReports(*this);
    for (const TPageReport *report : Reports)
        store->AddReport(*report);
    m_store = std::move(store);
}

void TCompositeReport::Clear()
{
    Reports.clear();
    Paged = {};
    m_store.reset();
}
