#include "base/Errors.h"

QString ErrorBoxText(const QString &message)
{
    QString text = message.trimmed();
    if (text.isEmpty() || text.back().unicode() > u'.')
        text += QLatin1Char('.');
    return text;
}
