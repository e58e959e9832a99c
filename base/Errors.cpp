#include "base/Errors.h"

#include <algorithm>

namespace {
bool IsChinese(QChar c)
{
    return c.unicode() >= 0x2E80;
}
} // namespace

QString ErrorBoxText(const QString &message)
{
    QString text = message.trimmed();
    if (!text.isEmpty()) {
        const QChar last = text.back();
        if (last.unicode() <= u'.' || last == u'。' || last == u'！' || last == u'？' || last == u'…')
            return text;
    }
    // Chinese text ends with the Chinese full stop, also after a path or a name in quotes.
    text += std::any_of(text.cbegin(), text.cend(), IsChinese) ? QChar(u'。') : QChar(u'.');
    return text;
}
