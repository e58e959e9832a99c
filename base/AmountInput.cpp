#include "base/AmountInput.h"

QString NarrowAmountText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if ((u >= u'０' && u <= u'９') || u == u'．' || u == u'＋' || u == u'－' || u == u'ｅ' ||
            u == u'Ｅ')
            c = QChar(u - 0xFEE0);  // the full-width forms mirror ASCII 0x21..0x7E
        else if (u == u'\u3000')
            c = QLatin1Char(' ');
    }
    return out;
}

std::optional<TFen> TypedAmount(const QString &typed)
{
    return ParseAmount(NarrowAmountText(typed));
}
