#pragma once
#include <QString>
#include <QStringView>

// The longest item or notes text the program writes, in UTF-16 units: what one edit field
// holds and what one cell of an exported workbook can take. A longer text can only come
// from a file written by other means; it is shown shortened, and a record showing such a
// text is not edited (saving it back would cut it).
inline constexpr int kLongestText = 32767;

// The lists use at most this many characters of a stored item or note (the reference
// statements in Summary.h say it as a number): more than the Base64 form of kLongestText
// units of at most four GB18030 bytes each.
inline constexpr int kStoredTextRead = 174800;
static_assert(kStoredTextRead > (kLongestText * 4 + 2) / 3 * 4 + 4);

// The mark at the end of a shortened text. A shortened text is kLongestText + 1 units long,
// so it is always longer than any text the program writes.
inline constexpr char16_t kShortenedMark = u'\u2026';

// text itself, or its first kLongestText units (never half of a surrogate pair) and the mark.
inline QString ShownText(const QString &text)
{
    if (text.size() <= kLongestText)
        return text;
    int keep = kLongestText;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(kShortenedMark);
}

inline bool IsShortenedText(QStringView text)
{
    return text.size() > kLongestText;
}
