#include "base/Money.h"
#include "base/HiClass.h"

#include <cmath>

TFen FenFromYuan(double yuan)
{
    return std::llround(yuan * 100);
}

double YuanFromFen(TFen fen)
{
    return double(fen) / 100;
}

QString FormatFen(TFen fen)
{
    const quint64 magnitude = fen < 0 ? quint64(-(fen + 1)) + 1 : quint64(fen);
    QString text = QString::number(magnitude / 100) + QLatin1Char('.') +
                   QString::number(magnitude % 100).rightJustified(2, QLatin1Char('0'));
    return fen < 0 ? QLatin1Char('-') + text : text;
}

QString FormatShare(TFen part, TFen whole)
{
    if (whole == 0)
        return QStringLiteral("0.00%");
    return THi::FormatAmount(double(part) * 100 / double(whole)) + QLatin1Char('%');
}

std::optional<TFen> ParseAmount(const QString &text)
{
    double value = 0;
    if (!THi::IsAcceptedAmount(text, &value))
        return std::nullopt;
    return FenFromYuan(value);
}
