#pragma once
#include "pinyin/PinyinReadings.h"

#include <QList>
#include <QString>
#include <QStringList>

// Finds the items of a list that a typed text stands for. An item matches when its text
// contains the typed text (ignoring case), or when the typed letters, blanks and
// apostrophes left out, spell a run of its characters: each character by a beginning of
// one of its readings, so "bbnf", "baobao", "fangzu", "fang zu" and "baobnf" all find
// 宝宝奶粉钱 or 房租. The readings of every item are made once, when the list is given.
class TItemMatcher {
public:
    enum class Match { None, Inside, FromStart };

    TItemMatcher() = default;
    explicit TItemMatcher(const QStringList &items);

    const QStringList &Items() const { return m_items; }
    Match MatchOf(int index, const QString &typed) const;
    // The indices of the matching items, those matching from their first character first,
    // each group in list order. An empty or blank text matches nothing.
    QList<int> Filter(const QString &typed) const;

private:
    struct TTyped {
        QString text;     // trimmed
        QString letters;  // lower case, without blanks and apostrophes
    };
    static TTyped Prepare(const QString &typed);
    Match MatchPrepared(int index, const TTyped &typed) const;

    QStringList m_items;
    QList<TReadings> m_readings;
};
