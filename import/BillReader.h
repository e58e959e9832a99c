#pragma once
#include "base/Errors.h"
#include "import/BillRow.h"
#include "import/MappedReader.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Told how far reading has come (0 to 100) now and then; returns false to cancel.
using TReadProgress = std::function<bool(int percent)>;
// Thrown when the progress callback cancels the reading.
struct TReadCancelled {};
// Thrown for a CSV file or workbook of no known form, whose columns the user may map.
class TUnrecognisedTable : public TError {
public:
    using TError::TError;
};

// Reads the transaction bills that Alipay and WeChat Pay export: Alipay's app CSV and web
// CSV (GB18030), WeChat Pay's CSV (UTF-8) and XLSX. Columns are found by their header
// names. Anything else, a damaged file or a bill without transactions throws TError with
// a message that names the accepted forms; a bill is read whole or not at all.
// A ZIP archive that is no workbook is opened with zipPassword and its bill file read; see
// ReadFileInZip (import/XlsxSheet.h) for what it throws.
TBill ReadBill(const QByteArray &bytes, const TReadProgress &progress = {}, const QString &zipPassword = {});
TBill ReadBillFile(const QString &path, const TReadProgress &progress = {}, const QString &zipPassword = {});

// The forms the reader accepts, for messages and the file dialog.
QString AcceptedBillForms();

// "12.50", "¥1,234.56", "￥ 3" and the like in fen; false for anything that is not a
// non-negative amount with at most two decimals (commas only between groups of three).
bool ParseFen(const QString &text, qint64 *fen);

enum class TTextEncoding { Gb18030, Utf8, Utf16 };
// The encoding a text file reads right in: UTF-16 by its byte-order mark, UTF-8 when valid,
// else GB18030.
TTextEncoding GuessEncoding(const QByteArray &bytes);
// The rows of a CSV file (in encoding) or of a workbook's first sheet, at most limit of them
// (all when limit is negative); sheet tells whether they came from a workbook.
QList<TTableRow> ReadTableRows(const QByteArray &bytes, TTextEncoding encoding, int limit, bool *sheet,
                               bool *date1904);
// The records of such a file by a mapping of its columns, the header being row headerIndex.
TBill ReadWithMapping(const QByteArray &bytes, TTextEncoding encoding, int headerIndex, const TImportMapping &mapping);
