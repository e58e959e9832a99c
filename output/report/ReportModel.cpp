#include "output/report/ReportModel.h"
#include "base/Errors.h"

#include <cmath>

namespace {
const double MeasureDpi = 1200;
} // namespace

TTextMeasure::TTextMeasure(QSizeF pixelsPerInch)
    : m_pixelsPerInch(pixelsPerInch), m_device(1, 1, QImage::Format_ARGB32_Premultiplied)
{
    m_device.setDotsPerMeterX(int(std::lround(MeasureDpi / 0.0254)));
    m_device.setDotsPerMeterY(int(std::lround(MeasureDpi / 0.0254)));
}

QSize TTextMeasure::Size(const QFont &font, const QString &text)
{
    if (!m_metrics || !(font == m_font)) {
        m_font = font;
        m_metrics.emplace(font, &m_device);
    }
    return QSize(int(std::ceil(m_metrics->horizontalAdvance(text) * m_pixelsPerInch.width() / MeasureDpi)),
                 int(std::ceil(m_metrics->height() * m_pixelsPerInch.height() / MeasureDpi)));
}

TReportLabel::TReportLabel(TTextMeasure &measure) : m_measure(measure) {}

void TReportLabel::SetCaption(const QString &caption)
{
    m_caption = caption;
    Measure();
}

void TReportLabel::SetFont(const QFont &font)
{
    m_font = font;
    Measure();
}

void TReportLabel::SetSize(int width, int height)
{
    m_width = width;
    m_height = height;
}

void TReportLabel::Measure()
{
    if (!AutoSize)
        return;
    const QSize size = m_measure.Size(m_font, m_caption);
    m_width = size.width();
    m_height = size.height();
}

TReportLabel *TReportBand::AddLabel(const QFont &font)
{
    auto label = std::make_unique<TReportLabel>(m_measure);
    label->SetFont(font);
    m_controls.push_back(std::move(label));
    return static_cast<TReportLabel *>(m_controls.back().get());
}

TReportShape *TReportBand::AddShape()
{
    m_controls.push_back(std::make_unique<TReportShape>());
    return static_cast<TReportShape *>(m_controls.back().get());
}

void TReportBand::FreeControls()
{
    while (!m_controls.empty())
        m_controls.pop_back();
}

QSizeF TPageSetup::PaperSizeMm() const
{
    const QSizeF size = QPageSize(Paper).size(QPageSize::Millimeter);
    return Orientation == QPageLayout::Landscape ? size.transposed() : size;
}

TPageReport::TPageReport(QSizeF pixelsPerInch) : m_pixelsPerInch(pixelsPerInch), m_measure(pixelsPerInch)
{
    Font = QFont(QStringLiteral("Tahoma"), 8);
}

TPageReport::~TPageReport()
{
    FreeBand();
}

TReportBand &TPageReport::CreateBand()
{
    if (m_band)
        throw TError(QStringLiteral("报表页只能有一个内容带区"));
    m_band = std::make_unique<TReportBand>(m_measure);
    return *m_band;
}

void TPageReport::FreeBand()
{
    if (m_band)
        m_band->FreeControls();
    m_band.reset();
}

TReportImage *TReportBand::AddImage(const QImage &picture)
{
    auto image = std::make_unique<TReportImage>();
    image->Picture = picture;
    m_controls.push_back(std::move(image));
    return static_cast<TReportImage *>(m_controls.back().get());
}
