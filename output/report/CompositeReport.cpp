#include "output/report/CompositeReport.h"

#include <QPainter>

#include <cmath>

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
    auto store = std::make_shared<TPageStore>();
    if (OnAddReports)
        OnAddReports(*this);
    for (const TPageReport *report : Reports)
        store->AddReport(*report);
    m_store = std::move(store);
}
