#pragma once
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// The page model of the report engine: a page report sized in screen pixels carries one
// content band, and the band carries positioned labels and rectangles. Coordinates are
// screen pixels relative to the band's top-left corner; the page report's pixels per inch
// turn them into lengths on paper.

// Measures single-line texts in a report's pixels. Text is measured at a printer's
// resolution and scaled down: screen fonts snap to whole pixel sizes, which would make a
// label a few per cent wider or narrower than its text on paper and push right-aligned
// columns off their edge.
class TTextMeasure {
public:
    explicit TTextMeasure(QSizeF pixelsPerInch);
    QSize Size(const QFont &font, const QString &text);

private:
    QSizeF m_pixelsPerInch;
    QImage m_device;
    QFont m_font;
    std::optional<QFontMetricsF> m_metrics;  // of m_font; a page uses a handful of fonts
};

class TReportControl {
public:
    virtual ~TReportControl() = default;
    int Left = 0;
    int Top = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// A single-line text. With AutoSize on, the width and height follow the caption and font
// as soon as either is set, in the page's pixels.
class TReportLabel : public TReportControl {
public:
    explicit TReportLabel(TTextMeasure &measure);

    bool AutoSize = false;
    bool Transparent = false;
    QColor Color = Qt::white;  // background when not transparent

    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    QFont Font() const { return m_font; }
    void SetFont(const QFont &font);
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void SetSize(int width, int height);

private:
    void Measure();
    TTextMeasure &m_measure;
    QString m_caption;
    QFont m_font;
    int m_width = 65;
    int m_height = 17;
};

class TReportShape : public TReportControl {
public:
    int ShapeWidth = 65;
    int ShapeHeight = 65;
    QColor FillColor = Qt::white;
    int Width() const override { return ShapeWidth; }
    int Height() const override { return ShapeHeight; }
};

// A picture scaled into its rectangle (a chart, say).
class TReportImage : public TReportControl {
public:
    QImage Picture;
    int ImageWidth = 65;
    int ImageHeight = 65;
    int Width() const override { return ImageWidth; }
    int Height() const override { return ImageHeight; }
};

class TReportBand {
public:
    explicit TReportBand(TTextMeasure &measure) : m_measure(measure) {}

    QSize Size;
    bool ForceNewPage = false;
    bool ForceNewColumn = false;

    // New controls belong to the band and are drawn in the order they were added.
    TReportLabel *AddLabel(const QFont &font);
    TReportShape *AddShape();
    TReportImage *AddImage(const QImage &picture);
    const std::vector<std::unique_ptr<TReportControl>> &Controls() const { return m_controls; }
    // Frees every control, the last added first.
    void FreeControls();

private:
    TTextMeasure &m_measure;
    std::vector<std::unique_ptr<TReportControl>> m_controls;
};

// A4 portrait with 10 mm margins on every side, whatever the system's measurement setting:
// a Letter page would cut off the bottom of a band sized for A4.
struct TPageSetup {
    QPageSize::PageSizeId Paper = QPageSize::A4;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    QMarginsF MarginsMm{10, 10, 10, 10};

    QSizeF PaperSizeMm() const;  // oriented
};

class TPageReport {
public:
    // pixelsPerInch: the screen resolution that the report's pixel coordinates refer to.
    explicit TPageReport(QSizeF pixelsPerInch);
    ~TPageReport();

    QSizeF PixelsPerInch() const { return m_pixelsPerInch; }
    QSize Size;
    QFont Font;  // default font of new labels
    TPageSetup PageSetup;

    // The report's one content band; asking twice throws.
    TReportBand &CreateBand();
    TReportBand *Band() const { return m_band.get(); }
    // Frees the band's controls (last first), then the band.
    void FreeBand();

private:
    QSizeF m_pixelsPerInch;
    TTextMeasure m_measure;
    std::unique_ptr<TReportBand> m_band;
};
