#pragma once
#include "output/SheetExport.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// A page template is cut into sections at this separator: the head, the pattern of one
// row and the tail.
inline constexpr char kSectionSeparator[] = "<!-- - -->";

// The whole text trimmed of characters with codes 0 to 32, cut at every separator, empty
// pieces dropped and every remaining piece trimmed the same way.
QList<QByteArray> CutSections(const QByteArray &text);

// The values of one row pattern: marker and the bytes that replace it, in the order the
// markers are looked for.
using TMarkerValues = QList<QPair<QByteArray, QByteArray>>;

QList<TMarkerValues> TransPageRows(const QList<TRecord> &records);
// The income ranking, then the expense ranking; shares are taken of the header's totals.
QList<TMarkerValues> CatesPageRows(const QList<TRankRow> &inRanking, const QList<TRankRow> &outRanking,
                                   const TReportHeader &header);

// The page: the head with #top filled, the row pattern filled once per row, the tail with
// #bottom filled, joined with nothing between them. Markers are found regardless of letter
// case; inserted texts are HTML-escaped and in GB18030 like the template. Throws TError
// when the template has fewer than three sections.
QByteArray BuildPage(const QByteArray &templateText, const QList<TMarkerValues> &rows,
                     const TReportHeader &header);

// Reads the template, builds the page and writes it to targetPath, replacing a file there
// only once the new one is complete. Throws TError, writing nothing, on any failure.
void WriteWebExport(const QString &templatePath, const QString &targetPath,
                    const QList<TMarkerValues> &rows, const TReportHeader &header);
