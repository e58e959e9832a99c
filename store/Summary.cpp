#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/TextLimits.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

// The span's records in date order, read once: every list of a search is accumulated from
// them. The index on (user, date, type, cate, amount, notes) covers the statement, so the
// rows come from the index alone, already in date order.
// Items and notes are used only as far as a list can show them (StoredText).
constexpr const char *kSpanRecords =
    "select [id],[date],[type],[cate],[amount],[notes] from [data] "
    "where [user]=? and [date]>=? and [date]<=? order by [date]";

constexpr const char *kCateRecords =
    "select [date],[cate],[amount],[notes] from [data] "
    "where [user]=? and [date]>=? and [date]<=? and [type]=? and [cate]=? "
    "order by [date] asc,[id] asc";

// The part of a stored item or note that a list can show (TextLimits.h). Taken here rather
// than with substr() in the statement: the engine reads the whole value either way, and the
// function would copy every value once more.
QByteArrayView StoredText(QByteArrayView stored)
{
    return stored.first(std::min<qsizetype>(stored.size(), kStoredTextRead));
}

// Decoded texts by their stored form, each distinct form numbered once. Items repeat all
// over a ledger, and decoding each occurrence again would dominate a search over many years.
class TDecodeCache {
public:
    int Index(QByteArrayView stored)
    {
        const QByteArray key = QByteArray::fromRawData(stored.data(), stored.size());
        auto it = m_index.constFind(key);
        if (it != m_index.constEnd())
            return it.value();
        const int index = int(m_texts.size());
        m_stored.append(QByteArray(stored.data(), stored.size()));
        m_texts.append(Decoded(stored));
        m_index.insert(m_stored.last(), index);
        return index;
    }
    const QString &Text(QByteArrayView stored) { return m_texts[Index(stored)]; }
    const QString &TextAt(int index) const { return m_texts[index]; }
    const QByteArray &StoredAt(int index) const { return m_stored[index]; }
    int Count() const { return int(m_texts.size()); }

private:
    // A stored form longer than any the program writes is decoded only as far as it is
    // shown: four GB18030 bytes at most per shown unit, four Base64 characters per three
    // bytes.
    static QString Decoded(QByteArrayView stored)
    {
        constexpr qsizetype kEnough = (qsizetype(kLongestText) * 4 + 2) / 3 * 4 + 4;
        static_assert(kEnough < kStoredTextRead);
        if (stored.size() > kEnough) {
            const QString head = THi::DecodeText(QString::fromLatin1(stored.first(kEnough)));
            if (IsShortenedText(head))
                return ShownText(head);
        }
        return ShownText(THi::DecodeText(QString::fromLatin1(stored)));
    }

    QHash<QByteArray, int> m_index;
    QList<QByteArray> m_stored;
    QList<QString> m_texts;
};

// Equal dates follow each other in the results, so each is parsed once.
class TDates {
public:
    QDate Date(QByteArrayView stored)
    {
        if (stored != QByteArrayView(m_last)) {
            m_last = QByteArray(stored.data(), stored.size());
            m_date = QDate::fromString(QString::fromLatin1(stored), QStringLiteral("yyyy-MM-dd"));
        }
        return m_date;
    }

private:
    QByteArray m_last;
    QDate m_date;
};

// The type word as the record rows compare it: trimmed of codes 0 to 32. Lower-casing
// cannot change either Chinese word, so it is left out.
QByteArrayView TrimmedType(QByteArrayView type)
{
    while (!type.isEmpty() && uchar(type.front()) <= 32)
        type = type.sliced(1);
    while (!type.isEmpty() && uchar(type.back()) <= 32)
        type.chop(1);
    return type;
}

// How the stored type word counts. Only the exact words are expense or income in the
// totals and rankings; a padded or unknown word counts in neither.
enum class TKind { Out = 0, In = 1, Other = 2 };

TKind KindOf(QByteArrayView stored)
{
    static const QByteArray out = kTypeOut.toUtf8(), in = kTypeIn.toUtf8();
    if (stored == QByteArrayView(out))
        return TKind::Out;
    if (stored == QByteArrayView(in))
        return TKind::In;
    return TKind::Other;
}

// A record of the day being read, with what its place within the day depends on.
struct TDayRecord {
    TKind kind;
    QByteArray otherType;  // the stored word, for kind Other only
    TRecord record;
};

// Within a day the expense records come before the income records (the order the two
// words have in the Chinese code page, descending), then any other word in descending
// byte order; each type in the order of saving.
void AppendDay(std::vector<TDayRecord> &day, QList<TRecord> &records)
{
    std::sort(day.begin(), day.end(), [](const TDayRecord &a, const TDayRecord &b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        if (a.otherType != b.otherType)
            return a.otherType > b.otherType;
        return a.record.id < b.record.id;
    });
    for (TDayRecord &r : day)
        records.append(std::move(r.record));
    day.clear();
}

struct TRankSum {
    qint64 count = 0;
    TFen sum = 0;
};

// Largest sum first; equal sums by item text in code-page order, so that the order never
// depends on the engine.
QList<TRankRow> Ranking(const std::vector<TRankSum> &sums, const QString &type,
                        const TDecodeCache &items)
{
    struct TRanked {
        TRankRow row;
        QByteArray local;
        int index;
    };
    std::vector<TRanked> ranked;
    for (int i = 0; i < int(sums.size()); ++i)
        if (sums[size_t(i)].count > 0)
            ranked.push_back({{type, items.TextAt(i), sums[size_t(i)].count, sums[size_t(i)].sum},
                              THi::ToLocalBytes(items.TextAt(i)), i});
    std::sort(ranked.begin(), ranked.end(), [&items](const TRanked &a, const TRanked &b) {
        if (a.row.sum != b.row.sum)
            return a.row.sum > b.row.sum;
        if (a.local != b.local)
            return a.local < b.local;
        return items.StoredAt(a.index) < items.StoredAt(b.index);
    });
    QList<TRankRow> rows;
    rows.reserve(qsizetype(ranked.size()));
    for (TRanked &r : ranked)
        rows.append(std::move(r.row));
    return rows;
}

// Adds one record's amount to the totals its kind counts in.
void Count(TPeriodTotal &total, TKind kind, TFen amount)
{
    if (kind == TKind::Out)
        total.out += amount;
    else if (kind == TKind::In)
        total.in += amount;
}

} // namespace

TSearchResult TDbMan::Search(const QString &user, const QDate &fromDate, const QDate &toDate)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TSearchResult result;
    result.fromDate = fromDate;
    result.toDate = toDate;
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    TStatement st(conn, QString::fromUtf8(kSpanRecords),
                  {THi::EncodeText(user), fromDate.toString(ymd), toDate.toString(ymd)});

    TDecodeCache items, notes;
    TDates dates;
    std::vector<TRankSum> ranks[2];
    std::vector<TDayRecord> day;
    TPeriodTotal period, dayTotal, monthTotal;
    QByteArray dayKey, monthKey;
    bool any = false;
    const auto closeDay = [&] {
        AppendDay(day, result.records);
        result.days.append(dayTotal);
    };

    while (st.Next()) {
        const QByteArrayView date = st.Bytes(1);
        if (!any || date != QByteArrayView(dayKey)) {
            // Dates are zero-padded, so the first seven characters are the year and month.
            const QByteArrayView month = date.first(qMin<qsizetype>(7, date.size()));
            if (any) {
                closeDay();
                if (month != QByteArrayView(monthKey))
                    result.months.append(monthTotal);
            }
            if (!any || month != QByteArrayView(monthKey)) {
                monthKey = month.toByteArray();
                monthTotal = {dates.Date(QByteArray(monthKey + "-01")), 0, 0};
            }
            dayKey = date.toByteArray();
            dayTotal = {dates.Date(date), 0, 0};
            any = true;
        }
        const QByteArrayView storedType = st.Bytes(2);
        const TKind kind = KindOf(storedType);
        const int item = items.Index(StoredText(st.Bytes(3)));
        const TFen amount = FenFromYuan(st.Number(4));
        Count(period, kind, amount);
        Count(dayTotal, kind, amount);
        Count(monthTotal, kind, amount);
        if (kind != TKind::Other) {
            std::vector<TRankSum> &sums = ranks[int(kind)];
            if (sums.size() <= size_t(item))
                sums.resize(size_t(item) + 1);
            ++sums[size_t(item)].count;
            sums[size_t(item)].sum += amount;
        }
        const QString type = kind == TKind::Out  ? kTypeOut
                             : kind == TKind::In ? kTypeIn
                                                 : QString::fromUtf8(TrimmedType(storedType));
        day.push_back({kind, kind == TKind::Other ? storedType.toByteArray() : QByteArray(),
                       {st.Integer(0), dayTotal.date, type, items.TextAt(item), amount,
                        notes.Text(StoredText(st.Bytes(5)))}});
    }
    if (any) {
        closeDay();
        result.months.append(monthTotal);
    }
    result.outTotal = period.out;
    result.inTotal = period.in;
    result.outRanking = Ranking(ranks[int(TKind::Out)], kTypeOut, items);
    result.inRanking = Ranking(ranks[int(TKind::In)], kTypeIn, items);
    return result;
}

QList<TRecord> TDbMan::GetCateRecords(const QString &user, const QDate &fromDate,
                                      const QDate &toDate, const QString &type, const QString &item)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TDecodeCache texts;
    TDates dates;
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    TStatement st(conn, QString::fromUtf8(kCateRecords),
                  {THi::EncodeText(user), fromDate.toString(ymd), toDate.toString(ymd), type,
                   THi::EncodeText(item)});
    QList<TRecord> rows;
    while (st.Next())
        rows.append({0, dates.Date(st.Bytes(0)), type, texts.Text(StoredText(st.Bytes(1))),
                     FenFromYuan(st.Number(2)), texts.Text(StoredText(st.Bytes(3)))});
    return rows;
}

QPair<QDate, QDate> TDbMan::RecordSpan(const QString &user)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    // Only dates a search can find count; a malformed one would otherwise come first.
    TStatement st(conn, QStringLiteral("select min([date]),max([date]) from [data] where [user]=? and "
                                       "[date] glob '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'"),
                  {THi::EncodeText(user)});
    if (!st.Next())
        return {};
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    return {QDate::fromString(st.Text(0), ymd), QDate::fromString(st.Text(1), ymd)};
}
