#pragma once
#include "import/BillRow.h"

#include <QByteArray>
#include <QString>

// Reads the transaction bills that Alipay and WeChat Pay export: Alipay's app CSV and web
// CSV (GB18030), WeChat Pay's CSV (UTF-8) and XLSX. Columns are found by their header
// names. Anything else, a damaged file or a bill without transactions throws TError with
// a message that names the accepted forms; a bill is read whole or not at all.
TBill ReadBill(const QByteArray &bytes);
TBill ReadBillFile(const QString &path);

// The forms the reader accepts, for messages and the file dialog.
QString AcceptedBillForms();

// "12.50", "¥1,234.56", "￥3" and the like in fen; false for anything that is not a
// non-negative amount with at most two decimals.
bool ParseFen(const QString &text, qint64 *fen);
