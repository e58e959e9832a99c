#pragma once
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of one list view as shown: the captions of its visible columns and, per row,
// the texts under them. Columns are always looked up by caption.
struct TListData {
    QStringList captions;
    QList<QStringList> rows;

    // Throws TError when the list has no column of that caption.
    int Column(const QString &caption) const;
    // The text of row under caption; empty when the row is shorter.
    QString Cell(const QStringList &row, int column) const;
};

// What every export takes from the main window besides the rows: the signed-in user and
// the period and totals of the last search.
struct TExportContext {
    QString user;
    QDate fromDate;
    QDate toDate;
    double inTotal = 0;
    double outTotal = 0;

    // "user (from 至 to)" with the dates as yyyy-mm-dd.
    QString Title() const;
    double Balance() const { return inTotal - outTotal; }
};

// Worksheet rows by column caption. A null text leaves its cell out.
struct TSheetRows {
    QStringList columns;
    QList<QStringList> rows;
};

// The transactions list, then the title row and the three totals rows.
TSheetRows TransSheetRows(const TListData &trans, const TExportContext &context);
// The income ranking, then the expense ranking, then the title and totals rows.
TSheetRows CatesSheetRows(const TListData &inCates, const TListData &outCates,
                          const TExportContext &context);

// Appends rows to worksheet Sheet1 of a copy of the template workbook and writes that copy
// to targetPath, replacing a file there only once the new one is complete. Columns are
// found by their captions in the first row of Sheet1. Throws TError, writing nothing, when
// the template is missing, unreadable, not a workbook or lacks a column.
void WriteSheetExport(const QString &templatePath, const QString &targetPath, const TSheetRows &rows);
