#pragma once
#include "output/ListTexts.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// A cell of an exported sheet: the text the lists show, and for amounts (in yuan), counts
// and shares (a fraction) the number that spreadsheets compute with. A null text leaves a
// text cell out (an empty amount is such a cell, so a sum over a row still computes).
struct TSheetCell {
    enum class Kind { Text, Amount, Count, Share };
    QString text;
    Kind kind = Kind::Text;
    double number = 0;

    TSheetCell() = default;
    TSheetCell(const QString &t) : text(t) {}
    static TSheetCell Amount(TFen fen);
    static TSheetCell Count(qint64 count);
    static TSheetCell Share(TFen part, TFen whole);
    bool IsNumber() const { return kind != Kind::Text; }
};

// Worksheet rows by column caption, with the width of each column in characters.
struct TSheetRows {
    QStringList columns;
    QList<int> widths;
    QList<QList<TSheetCell>> rows;
};

// The transactions list, then the title row and the three totals rows.
TSheetRows TransSheetRows(const QList<TRecord> &records, const TReportHeader &header);
// The income ranking, then the expense ranking, then the title and totals rows.
TSheetRows CatesSheetRows(const QList<TRankRow> &inRanking, const QList<TRankRow> &outRanking,
                          const TReportHeader &header);

// Appends rows to worksheet Sheet1 of a copy of the template workbook and writes that copy
// to targetPath, replacing a file there only once the new one is complete. Columns are
// found by their captions in the first row of Sheet1. Throws TError, writing nothing, when
// the template is missing, unreadable, not a workbook or lacks a column.
void WriteSheetExport(const QString &templatePath, const QString &targetPath, const TSheetRows &rows);

// The most rows an .xls sheet holds below its caption row.
int SheetExportRowLimit();

// The same sheet as an Excel 2007 workbook (.xlsx): the captions in the first row, then
// the rows, amounts and shares as numbers. Written to a temporary file beside targetPath
// that replaces it only once complete. Throws TError.
void WriteXlsxExport(const QString &targetPath, const TSheetRows &rows);

// The same sheet as comma-separated text: UTF-8 with a byte-order mark, fields quoted
// where they hold a comma, quote or line break, lines ended by CR LF. A text that a
// spreadsheet would take for a formula (beginning with =, +, -, @, a tab or a carriage
// return) gets an apostrophe in front; numbers stay plain.
QByteArray CsvBytes(const TSheetRows &rows);
void WriteCsvExport(const QString &targetPath, const TSheetRows &rows);
