#pragma once
#include <QByteArray>
#include <QList>
#include <QStringList>

// One row of a worksheet: its row number and the texts of its cells by column (A is 0);
// cells missing from the file are empty texts.
struct TSheetRow {
    int number = 0;
    QStringList cells;
};

// The rows of the first worksheet of an XLSX workbook, in file order. Numbers come as the
// text the file stores them in. Throws TError when the bytes are not a readable workbook.
QList<TSheetRow> ReadFirstSheet(const QByteArray &bytes);
