#include "pinyin/ItemMatcher.h"

#include <cstdint>

namespace {

// Longer typed texts are compared as text only; no item is spelled with 64 letters.
constexpr qsizetype kMaxLetters = 63;

qsizetype CommonPrefix(QStringView a, QStringView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// Walks the tokens once, keeping as a bit set how many letters can have been spelled
// before each token. A token continues every such count by a beginning of any of its
// spellings. With anywhere, each token may also start the run.
bool SpellsRun(const TReadings &tokens, QStringView letters, bool anywhere)
{
    const qsizetype m = letters.size();
    const std::uint64_t done = std::uint64_t(1) << m;
    std::uint64_t before = 1;  // nothing spelled yet, at the first token
    for (const TReadingToken &token : tokens) {
        std::uint64_t after = 0;
        for (qsizetype p = 0; p < m; ++p) {
            if (!(before & (std::uint64_t(1) << p)))
                continue;
            const QStringView rest = letters.mid(p);
            for (const QString &spelling : token.spellings) {
                const qsizetype k = CommonPrefix(spelling, rest);
                for (qsizetype j = 1; j <= k; ++j)
                    after |= std::uint64_t(1) << (p + j);
            }
        }
        if (after & done)
            return true;
        before = after | (anywhere ? 1 : 0);
        if (before == 0)
            return false;
    }
    return false;
}

} // namespace

TItemMatcher::TItemMatcher(const QStringList &items) : m_items(items)
{
    m_readings.reserve(items.size());
    for (const QString &item : items)
        m_readings.append(Pinyin::ReadingsOf(item));
}

TItemMatcher::TTyped TItemMatcher::Prepare(const QString &typed)
{
    TTyped out;
    out.text = typed.trimmed();
    for (const QChar c : out.text)
        if (!c.isSpace() && c != u'\'')
            out.letters += c.toLower();
    return out;
}

TItemMatcher::Match TItemMatcher::MatchPrepared(int index, const TTyped &typed) const
{
    if (typed.text.isEmpty() || index < 0 || index >= m_items.size())
        return Match::None;
    const QString &item = m_items[index];
    if (item.startsWith(typed.text, Qt::CaseInsensitive))
        return Match::FromStart;
    const bool inside = item.contains(typed.text, Qt::CaseInsensitive);
    if (typed.letters.isEmpty() || typed.letters.size() > kMaxLetters)
        return inside ? Match::Inside : Match::None;
    if (SpellsRun(m_readings[index], typed.letters, false))
        return Match::FromStart;
    return inside || SpellsRun(m_readings[index], typed.letters, true) ? Match::Inside : Match::None;
}

TItemMatcher::Match TItemMatcher::MatchOf(int index, const QString &typed) const
{
    return MatchPrepared(index, Prepare(typed));
}

QList<int> TItemMatcher::Filter(const QString &typed) const
{
    const TTyped prepared = Prepare(typed);
    QList<int> fromStart, inside;
    if (prepared.text.isEmpty())
        return fromStart;
    for (int i = 0; i < m_items.size(); ++i) {
        switch (MatchPrepared(i, prepared)) {
        case Match::FromStart:
            fromStart << i;
            break;
        case Match::Inside:
            inside << i;
            break;
        case Match::None:
            break;
        }
    }
    return fromStart + inside;
}
