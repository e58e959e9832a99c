#include "store/CateLists.h"
#include "base/HiClass.h"

QString CateEntriesToText(const QStringList &entries)
{
    QString text;
    for (const QString &entry : entries)
        text += entry + QStringLiteral("\r\n");
    return THi::Trim(text);
}

QStringList CateTextToEntries(const QString &text)
{
    QStringList entries;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        entries << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        entries << text.mid(start);
    return entries;
}

int FindCate(const QStringList &entries, const QString &item)
{
    const QString key = THi::AsciiLower(THi::Trim(item));
    for (int i = 0; i < entries.size(); ++i)
        if (THi::AsciiLower(THi::Trim(entries.at(i))) == key)
            return i;
    return -1;
}
