#pragma once
#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// One row of a worksheet: its row number and the texts of its cells by column (A is 0);
// cells missing from the file are empty texts.
struct TSheetRow {
    int number = 0;
    QStringList cells;
};

// The rows of the first worksheet of an XLSX workbook, in file order. Numbers come as the
// text the file stores them in; date1904, when given, tells whether the workbook counts
// its dates from 1904. Throws TError when the bytes are not a readable workbook or when
// the sheet holds more than a bill ever does. progress is told how far the sheet has been
// read (0 to 100) now and then; when it returns false the reading stops with an empty list.
QList<TSheetRow> ReadFirstSheet(const QByteArray &bytes, bool *date1904 = nullptr,
                                const std::function<bool(int)> &progress = {});
