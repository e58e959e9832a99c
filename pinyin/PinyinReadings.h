#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// How a text can be typed in letters: one token per letter, digit or Chinese character
// (blanks and punctuation are left out). A Chinese character's token holds its toneless
// pinyin syllables, a character with more than one reading all of them (行: xing, hang),
// and ü both as "u" and as "v" (绿: lu, lv), then the character itself, so that typing
// may mix characters and letters; any other token holds the character in lower case.
// Chinese characters are read by ICU's "Han-Latin" transliteration, plus the further
// readings of common characters that ICU reads one way only.
struct TReadingToken {
    QStringList spellings;
};
using TReadings = QList<TReadingToken>;

namespace Pinyin {

TReadings ReadingsOf(const QString &text);

// The toneless readings of one Chinese character, ICU's first, ü both ways; empty for a
// character that is not Chinese or that nothing can read.
QStringList CharReadings(char32_t c);

// Loads ICU's transliteration rules on a worker thread; the first use takes about a third
// of a second, which should not fall on the user's first keystroke. Safe to call often.
void WarmUp();

// False when ICU's rules could not be loaded: then only the texts themselves match.
bool Available();

} // namespace Pinyin
