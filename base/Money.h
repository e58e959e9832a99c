#pragma once
#include <QString>
#include <QtGlobal>

#include <optional>

// Amounts travel through the program as whole fen (1/100 yuan), so that totals are exact.
// The ledger stores yuan in a REAL column; the conversion happens only at the store.
using TFen = qint64;

// Stored yuan to fen, rounded to the nearest fen (halves away from zero).
TFen FenFromYuan(double yuan);
double YuanFromFen(TFen fen);

// "%0.2f" of an amount: "12.50", "-3.05"; never "-0.00".
QString FormatFen(TFen fen);
// Share of part in whole as "37.50%"; a whole of zero gives "0.00%".
QString FormatShare(TFen part, TFen whole);

// The amount rule of the entry fields: the text, trimmed of codes 0 to 32, is a finite
// number of at least 0.01. The amount in fen, or nothing when the rule refuses the text.
std::optional<TFen> ParseAmount(const QString &text);
