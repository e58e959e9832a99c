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

// A document whose pages are laid out only when one is shown or printed: PageCount pages,
// page number (from 1) made by BuildPage as a page report of its own. What it keeps is the
// rows it was made from (shared, not copied), whatever the page count.
struct TPagedReport {
    int PageCount = 0;
    std::function<std::unique_ptr<TPageReport>(int number)> BuildPage;
};

// The prepared pages of a document. It copies what it needs, so it outlives the page
// reports it was prepared from. A store made from a paged report renders a page when it is
// asked for and keeps only the last few, so its memory does not grow with the page count.
class TPageStore {
public:
    TPageStore() = default;
    explicit TPageStore(TPagedReport paged);

    int PageCount() const;
    // number counts from 1. The page is a light copy: its items are shared.
    TStoredPage Page(int number) const;

    // Renders the report's band once: on a new page when the band forces one (or nothing
    // fits any more), otherwise below the band rendered before it.
    void AddReport(const TPageReport &report);

private:
    QList<TStoredPage> m_pages;
    int m_nextTop = 0;
    int m_printableHeight = 0;

    TPagedReport m_paged;
    // The pages rendered last, the newest at the back.
    mutable QList<std::pair<int, TStoredPage>> m_recent;
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
// renders them in order into a fresh page store; when a paged report is set instead, the
// store renders its pages as they are shown or printed.
class TCompositeReport {
public:
    QList<TPageReport *> Reports;  // not owned
    std::function<void(TCompositeReport &)> OnAddReports;
    TPagedReport Paged;
    TPrinterSettings PrinterSettings;

    void Prepare();
    std::shared_ptr<const TPageStore> PageStore() const { return m_store; }
    // Lets go of the document (reports, paged report and prepared pages); the printer
    // settings stay for the next one.
    void Clear();

private:
    std::shared_ptr<const TPageStore> m_store;
};
