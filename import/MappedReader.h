#pragma once
#include "import/BillRow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One row of a table read from a file: the line (CSV) or sheet row it started on and its
// cell texts, trimmed.
struct TTableRow {
    int line = 0;
    QStringList cells;
};

// Which columns of a table, found by their header names, become the parts of a record.
// Either amount (signed, or with a direction column that says 支出 or 收入) or the pair
// income and expense is set.
struct TImportMapping {
    TBillSource source = TBillSource::Mapped;
    QString date;
    QString datePattern;  // as QDate::fromString takes it; empty reads the usual forms
    QString direction;
    QString amount;
    QString income, expense;
    QStringList item;   // the first of these cells that is not empty
    QString counterpart;
    QStringList notes;  // joined by one space
    QString status;
    // Words of the notes that mark a bank's transfer between own accounts or a repayment.
    bool bankTransfers = false;

    bool operator==(const TImportMapping &) const = default;
};

// The ready mapping of a known export (随手记, 钱迹, 口袋记账, the debit card statements of
// 工商银行, 招商银行 and 建设银行) whose header row is among rows, with the header's index.
std::optional<std::pair<TImportMapping, int>> FindKnownMapping(const QList<TTableRow> &rows);
// The index of the column of that name in the header, or -1.
int ColumnIndex(const QStringList &header, const QString &name);

// Reads the rows after the header (rows[headerIndex]) as the mapping says: the rows of
// rows first, then those next gives. A row whose date cell is no date ends the table when
// no dated row follows (a footer such as "人民币合计"); otherwise, and for an amount that
// cannot be read, the whole table is refused with TError naming the line. sheet marks
// cells of a workbook (dates as day numbers, counted from 1904 when date1904).
TBill ReadMapped(const QList<TTableRow> &rows, int headerIndex, const TImportMapping &mapping,
                 const std::function<bool(TTableRow &)> &next, bool sheet, bool date1904);

// "-1,234.50", "+3", "¥-2.00" and the unsigned forms ParseFen takes, in fen.
bool ParseSignedFen(const QString &text, qint64 *fen);
// A date in the usual written forms ("2024-03-31", "2024/3/31 12:30", "20240331",
// "2024年3月31日"), by pattern when one is given, or a workbook's day number when sheet.
QDateTime ParseRecordTime(const QString &text, const QString &pattern, bool sheet, bool date1904);

// The mapping as stored text (JSON) and back; a text that is no mapping gives nullopt.
QString MappingText(const TImportMapping &mapping);
std::optional<TImportMapping> MappingFromText(const QString &text);
// The key a header row is saved under: its cells joined by U+001F.
QString HeaderKey(const QStringList &header);
