#pragma once
#include "output/report/ReportModel.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QRect>

#include <functional>
#include <memory>

class QPainter;

// One drawn element of a prepared page, in the report's pixels relative to the top-left
// corner of the printable area.
struct TPageItem {
    enum class Kind { Text, Fill, Image };
    Kind kind = Kind::Text;
    QRect rect;
    QString text;
    QFont font;
    QColor color;              // fill colour, or the background of an opaque text
    bool transparent = true;   // texts only
    QImage image;              // pictures only, scaled into rect
};

struct TStoredPage {
    QSizeF paperMm;
    QMarginsF marginsMm;
    QSizeF pixelsPerInch;
    QList<TPageItem> items;
};

// The prepared pages of a document. It copies what it needs, so it outlives the page
// reports it was prepared from.
class TPageStore {
public:
    int PageCount() const { return int(m_pages.size()); }
    // number counts from 1.
    const TStoredPage &Page(int number) const { return m_pages.at(number - 1); }

    // Renders the report's band once: on a new page when the band forces one (or nothing
    // fits any more), otherwise below the band rendered before it.
    void AddReport(const TPageReport &report);

private:
    QList<TStoredPage> m_pages;
    int m_nextTop = 0;
    int m_printableHeight = 0;
};

// Draws a page on any device at that device's resolution: design positions stay where they
// are on paper, and fonts keep their point sizes.
void RenderPage(QPainter &painter, const TStoredPage &page);
// The whole sheet as an image at dpi pixels per inch, white paper included.
QImage RenderPageImage(const TStoredPage &page, QSizeF dpi);

enum class TOutputBin { Auto, Upper, Lower, Manual };
enum class TDuplex { None, LongSide, ShortSide };

struct TPrinterSettings {
    // -1 is the default printer; 0 and above a choice confirmed in the print dialog,
    // counting the system's printers in order, then printing to a PDF file.
    int PrinterIndex = -1;
    QString PrinterName;      // the chosen system printer
    QString OutputFileName;   // the chosen PDF file
    QPageSize::PageSizeId PaperSize = QPageSize::A4;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    int Copies = 1;
    int FirstPage = 0;        // 0 and 0: all pages
    int LastPage = 0;
    TOutputBin OutputBin = TOutputBin::Auto;
    TDuplex Duplex = TDuplex::None;

    void UseDefaultPrinter();
};

// Chains page reports into one document. Prepare asks OnAddReports for the reports, then
// renders them in order into a fresh page store.
class TCompositeReport {
public:
    QList<TPageReport *> Reports;  // not owned
    std::function<void(TCompositeReport &)> OnAddReports;
    TPrinterSettings PrinterSettings;

    void Prepare();
    std::shared_ptr<const TPageStore> PageStore() const { return m_store; }

private:
    std::shared_ptr<const TPageStore> m_store;
};
