#pragma once
#include "output/ListTexts.h"
#include "output/SheetExport.h"
#include "output/report/CompositeReport.h"
#include "output/report/ReportModel.h"

#include <QDate>
#include <QImage>
#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

// Printed reports laid out as A4 page reports: one page report per printed page, every
// text a separately placed label. Positions are given in 1/96 inch and converted to the
// screen's pixels, which the report engine keeps on paper at their design size.

// The screen's logical pixels per inch; 96 without a screen.
double ScreenPixelsPerInch(Qt::Orientation axis);
// Fixes the resolution that ScreenPixelsPerInch reports (tests); 0 and 0 follow the screen.
void SetScreenPixelsPerInch(double horizontal, double vertical);

// Design units to screen pixels, rounded to the nearest integer, halves to even.
int ScaleX(int n);
int ScaleY(int n);
// A4 page (210 x 297 mm) and its content band (190 x 277 mm) in screen pixels.
int ReportPageWidth();
int ReportPageHeight();
int ReportBandWidth();
int ReportBandHeight();

// A text label on the page's band: auto-size, transparent, Tahoma 8, empty caption.
TReportLabel *CreateReportLabel(TPageReport &page);

using TReportPages = std::vector<std::unique_ptr<TPageReport>>;

const int ReportRowsPerPage = 52;

// The reports as paged reports: a page is laid out when it is shown or printed, from the
// rows the report shares with the caller (no copy is made). The ranking prints every income
// row, then every expense row.
TPagedReport RankingReport(const TReportHeader &header, const QList<TRankRow> &inRanking,
                           const QList<TRankRow> &outRanking);
TPagedReport TransactionsReport(const TReportHeader &header, const QList<TRecord> &records);
// One page: the title, period and totals as on the other reports, then the picture of the
// charts as large as fits the page, its proportions kept.
TPagedReport ChartReport(const TReportHeader &header, const QImage &charts);

// Any table of rows (the family summary's views): the columns share the band in
// proportion to their widths, numbers right-aligned, the title, period and totals of
// header above them.
TPagedReport SheetReport(const TReportHeader &header, const TSheetRows &sheet);

// Lays out every page of report at once into pages, after freeing what pages held (the
// page reports themselves, for checking a layout).
void LayOutAllPages(TReportPages &pages, const TPagedReport &report);

// Frees every page report, the last page first and on each page its controls last first.
void FreeReportPages(TReportPages &pages);
