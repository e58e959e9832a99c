#pragma once
#include "output/xls/Cfb.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace xls {

// Built-in number formats every reader knows without a FORMAT record.
constexpr quint16 kFormatInteger = 1;    // 0
constexpr quint16 kFormatFixed2 = 2;     // 0.00
constexpr quint16 kFormatPercent2 = 10;  // 0.00%

// One cell to append: a text (a null text writes no cell), or a number shown in a
// built-in number format.
struct TCell {
    QString text;
    bool isNumber = false;
    double number = 0;
    quint16 format = 0;

    TCell() = default;
    TCell(const QString &t) : text(t) {}
    static TCell Number(double value, quint16 builtInFormat)
    {
        TCell c;
        c.isNumber = true;
        c.number = value;
        c.format = builtInFormat;
        return c;
    }
};

// An Excel 97-2003 workbook (BIFF8 in a compound file) that rows of text can be appended
// to. Everything else in the file (formatting, other sheets, other streams) is kept.
class TWorkbook {
public:
    // Throw TError with a readable message for anything that is not a workbook we can
    // safely change: not a compound file, damaged, encrypted, older than Excel 97.
    static TWorkbook FromBytes(const QByteArray &file);
    static TWorkbook Load(const QString &path);

    // The cell texts of the sheet's first row with text, indexed by column (empty where
    // that row has no text cell).
    QStringList HeaderRow(const QString &sheet) const;
    // The cells of the first worksheet by row (numbered from 1) and column, texts as they are and numbers
    // as their shortest decimal text; rows without cells are left out. date1904 tells
    // whether the workbook counts its dates from 1904. Throws TError beyond a few million
    // cells.
    QList<QPair<int, QStringList>> FirstSheetRows(bool *date1904 = nullptr) const;
    // Appends rows below the last used row of sheet (found by name regardless of letter
    // case). Each row lists its cell texts by column; a null text leaves the cell out.
    void AppendRows(const QString &sheet, const QList<QStringList> &rows);
    // The same with number cells: each takes the format of its column (alignment, font,
    // borders) with the number format set, through a cell format added to the workbook
    // unless an equal one is there already.
    void AppendCells(const QString &sheet, const QList<QList<TCell>> &rows);

    QByteArray WorkbookStream() const { return m_stream; }
    QByteArray ToBytes() const;
    // Writes the file to a temporary file beside path and renames it over path, so an
    // existing file is only replaced by a complete one.
    void Save(const QString &path) const;

private:
    TCompoundFile m_file;
    QByteArray m_stream;
};

// Excel pads the Workbook stream to at least this length; written streams are padded too,
// so no reader meets a shorter one.
constexpr int kMinWorkbookStream = 4096;


} // namespace xls
