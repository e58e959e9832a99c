#pragma once
#include "output/ListTexts.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// Worksheet rows by column caption. A null text leaves its cell out.
struct TSheetRows {
    QStringList columns;
    QList<QStringList> rows;
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
