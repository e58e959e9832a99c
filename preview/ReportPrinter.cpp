#include "preview/ReportPrinter.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"

#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <optional>

namespace {
bool QtPrintDialog(QPrinter &printer, int pageCount, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, std::max(1, pageCount));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

TPrintDialogRunner &Runner()
{
    static TPrintDialogRunner runner = QtPrintDialog;
    return runner;
}

QPrinter::PaperSource ToQt(TOutputBin bin)
{
    switch (bin) {
    case TOutputBin::Upper:
        return QPrinter::Upper;
    case TOutputBin::Lower:
        return QPrinter::Lower;
    case TOutputBin::Manual:
        return QPrinter::Manual;
    case TOutputBin::Auto:
        break;
    }
    return QPrinter::Auto;
}

QPrinter::DuplexMode ToQt(TDuplex duplex)
{
    switch (duplex) {
    case TDuplex::LongSide:
        return QPrinter::DuplexLongSide;
    case TDuplex::ShortSide:
        return QPrinter::DuplexShortSide;
    case TDuplex::None:
        break;
    }
    return QPrinter::DuplexNone;
}

TDuplex FromQt(QPrinter::DuplexMode duplex)
{
    switch (duplex) {
    case QPrinter::DuplexLongSide:
        return TDuplex::LongSide;
    case QPrinter::DuplexShortSide:
        return TDuplex::ShortSide;
    default:
        return TDuplex::None;
    }
}

QString TargetName(const QPrinter &printer, const TPrinterSettings &settings)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return settings.OutputFileName;
    return printer.printerName().isEmpty() ? QStringLiteral("默认打印机") : printer.printerName();
}

// A complete PDF file ends with its end-of-file mark (and perhaps a line break).
bool EndsLikeAPdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16 || !file.seek(file.size() - 16))
        return false;
    return file.read(16).trimmed().endsWith("%%EOF");
}
} // namespace

void SetPrintDialogRunner(TPrintDialogRunner runner)
{
    Runner() = runner ? std::move(runner) : TPrintDialogRunner(QtPrintDialog);
}

void ApplyPrinterSettings(const TPrinterSettings &settings, QPrinter &printer)
{
    if (!settings.OutputFileName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(settings.OutputFileName);
    } else if (settings.PrinterIndex >= 0 && !settings.PrinterName.isEmpty()) {
        printer.setPrinterName(settings.PrinterName);
    }
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(settings.PaperSize));
    printer.setPageOrientation(settings.Orientation);
    printer.setCopyCount(std::max(1, settings.Copies));
    if (settings.FirstPage > 0 && settings.LastPage >= settings.FirstPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(settings.FirstPage, settings.LastPage);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }
    printer.setPaperSource(ToQt(settings.OutputBin));
    printer.setDuplex(ToQt(settings.Duplex));
}

bool ExecPrintDialog(TCompositeReport &report, QWidget *parent)
{
    if (!report.PageStore())
        report.Prepare();
    const int pageCount = report.PageStore()->PageCount();
    TPrinterSettings &settings = report.PrinterSettings;
    QPrinter printer(QPrinter::HighResolution);
    ApplyPrinterSettings(settings, printer);
    // Every print starts from the whole report: a range chosen for one print is not
    // offered again for the next.
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(1, std::max(1, pageCount));
    if (!Runner()(printer, pageCount, parent))
        return false;

    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        settings.OutputFileName = printer.outputFileName();
        settings.PrinterName.clear();
        settings.PrinterIndex = int(names.size());
    } else {
        settings.OutputFileName.clear();
        settings.PrinterName = printer.printerName();
        settings.PrinterIndex = std::max(0, int(names.indexOf(settings.PrinterName)));
    }
    settings.Copies = printer.copyCount();
    settings.Orientation = printer.pageLayout().orientation();
    if (printer.printRange() == QPrinter::PageRange) {
        settings.FirstPage = printer.fromPage();
        settings.LastPage = printer.toPage();
    } else {
        settings.FirstPage = 0;
        settings.LastPage = 0;
    }
    settings.Duplex = FromQt(printer.duplex());
    return true;
}

void PrintReport(TCompositeReport &report)
{
    if (!report.PageStore())
        report.Prepare();
    const std::shared_ptr<const TPageStore> store = report.PageStore();
    const TPrinterSettings &settings = report.PrinterSettings;
    const int count = store->PageCount();
    const int first = settings.FirstPage > 0 ? settings.FirstPage : 1;
    const int last = settings.LastPage > 0 ? std::min(settings.LastPage, count) : count;
    if (first > last)
        throw TError(QStringLiteral("打印范围 %1 至 %2 中没有可打印的页（共 %3 页）")
                         .arg(first).arg(settings.LastPage).arg(count));

    QPrinter printer(QPrinter::HighResolution);
    ApplyPrinterSettings(settings, printer);
    // A PDF file is written beside the chosen one and replaces it only once complete, as
    // every file the program writes: a link at the chosen name is replaced, not followed.
    std::optional<TReplacementFile> pdf;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        pdf.emplace(settings.OutputFileName);
        printer.setOutputFileName(pdf->TempPath());
    }
    const QString target = TargetName(printer, settings);
    // Printers that cannot make copies themselves (a PDF file) get them page by page, collated.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (pdf)
            pdf->Fail();
        throw TError(QStringLiteral("无法打印到“%1”：打印机不可用或文件无法写入").arg(target));
    }
    bool firstSheet = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int number = first; number <= last; ++number) {
            if (!firstSheet && !printer.newPage()) {
                painter.end();
                throw TError(QStringLiteral("打印到“%1”时出错，打印未完成").arg(target));
            }
            firstSheet = false;
            RenderPage(painter, store->Page(number));
        }
    }
    if (!painter.end())
        throw TError(QStringLiteral("打印到“%1”时出错，打印未完成").arg(target));
    if (pdf) {
        // The PDF writer does not report a full disk: a file without its end mark is one.
        if (!EndsLikeAPdf(pdf->TempPath()))
            pdf->Fail();
        pdf->Commit(TReplacementFile::TMode::LikeReplacedFile);
    }
}
