#pragma once
#include <QString>
#include <QStringList>

// A category list is kept as one text: entries separated by CR LF, the whole trimmed.

// Every entry followed by CR LF, then the whole text trimmed: empty entries at either end
// disappear, as do leading blanks of the first entry and trailing blanks of the last.
QString CateEntriesToText(const QStringList &entries);

// Cuts the text at every CR LF, lone CR or lone LF; each piece is one entry, untrimmed.
// A break at the very end adds no entry; an empty text gives no entries.
QStringList CateTextToEntries(const QString &text);

// Index of the first entry equal to item when both are trimmed and only A to Z are
// folded to lower case; -1 when there is none.
int FindCate(const QStringList &entries, const QString &item);
