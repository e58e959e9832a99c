#pragma once
#include "output/report/CompositeReport.h"

#include <functional>

class QPrinter;
class QWidget;

// The print dialog: shows printer, page range (1 to pageCount) and copies for printer and
// returns true when the user confirms. The default is Qt's print dialog, which also offers
// printing to a PDF file; tests install their own.
using TPrintDialogRunner = std::function<bool(QPrinter &printer, int pageCount, QWidget *parent)>;
// An empty runner restores the default.
void SetPrintDialogRunner(TPrintDialogRunner runner);

// Shows the print dialog for the prepared report with its printer settings. On
// confirmation the settings take the chosen printer (index 0 or above), copies,
// orientation and page range (all pages: 0 and 0); on cancel they stay as they were.
bool ExecPrintDialog(TCompositeReport &report, QWidget *parent);

// Prints the prepared pages (preparing first when nothing is) with the report's printer
// settings. Throws TError when the printer or file cannot be written.
void PrintReport(TCompositeReport &report);

// A printer set up from the settings: printer or PDF file, paper, orientation, copies,
// range, paper source and duplex. The page is the whole sheet.
void ApplyPrinterSettings(const TPrinterSettings &settings, QPrinter &printer);
