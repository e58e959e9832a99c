#include "store/Summary.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/TextLimits.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <sqlite3.h>

namespace {

struct ConnectionScope {
    TConnection &conn;
    ~ConnectionScope() { conn.Close(); }
};

// One prepared statement stepped forward; a failed step is reported like every other
// error of the connection.
class TStatement {
public:
    TStatement(TConnection &conn, const char *sql, const QVariantList &params)
        : m_conn(conn), m_stmt(conn.Prepare(QString::fromUtf8(sql), params))
    {
    }
    ~TStatement() { sqlite3_finalize(m_stmt); }
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;

    bool Next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_conn.Fail(QString());
        return false;
    }

    // A column as its UTF-8 bytes (not copied; valid until the next step). Data written by
    // the program never holds a null, and a null has no text form.
    QByteArrayView Bytes(int col) const
    {
        CheckNotNull(col);
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
        return QByteArrayView(text, sqlite3_column_bytes(m_stmt, col));
    }
    double Number(int col) const
    {
        CheckNotNull(col);
        return sqlite3_column_double(m_stmt, col);
    }
    qint64 Integer(int col) const
    {
        CheckNotNull(col);
        return sqlite3_column_int64(m_stmt, col);
    }

private:
    void CheckNotNull(int col) const
    {
        if (sqlite3_column_type(m_stmt, col) == SQLITE_NULL)
            throw TError(QStringLiteral("字段 %1 的值为空")
                             .arg(QString::fromUtf8(sqlite3_column_name(m_stmt, col))));
    }

    TConnection &m_conn;
    sqlite3_stmt *m_stmt;
};

// Decoded texts by their stored form. Items repeat all over a ledger, and decoding each
// occurrence again would dominate a search over many years.
class TDecodeCache {
public:
    const QString &Text(QByteArrayView stored)
    {
        const QByteArray key = QByteArray::fromRawData(stored.data(), stored.size());
        auto it = m_texts.constFind(key);
        if (it == m_texts.constEnd())
            it = m_texts.insert(QByteArray(stored.data(), stored.size()), Decoded(stored));
        return it.value();
    }

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

    QHash<QByteArray, QString> m_texts;
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

QList<TRankRow> Ranking(TConnection &conn, const QVariantList &range, const QString &type,
                        TDecodeCache &items)
{
    QList<TRankRow> ranks;
    TStatement st(conn, TSummarySql::Ranking, range + QVariantList{type});
    while (st.Next())
        ranks.append({type, items.Text(st.Bytes(0)), st.Integer(1), FenFromYuan(st.Number(2))});
    // Largest sum first; equal sums by item text in code-page order, so that the order
    // never depends on the engine.
    std::stable_sort(ranks.begin(), ranks.end(), [](const TRankRow &a, const TRankRow &b) {
        return a.sum != b.sum ? a.sum > b.sum
                              : THi::ToLocalBytes(a.item) < THi::ToLocalBytes(b.item);
    });
    return ranks;
}

} // namespace

TSearchResult TDbMan::Search(const QString &user, const QDate &fromDate, const QDate &toDate)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TSearchResult result;
    result.fromDate = fromDate;
    result.toDate = toDate;
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    const QVariantList range{THi::EncodeText(user), fromDate.toString(ymd), toDate.toString(ymd)};

    {
        TStatement st(conn, TSummarySql::PeriodTotals, range);
        while (st.Next()) {
            result.outTotal = FenFromYuan(st.Number(1));
            result.inTotal = FenFromYuan(st.Number(2));
        }
    }
    TDates dates;
    {
        TStatement st(conn, TSummarySql::DayTotals, range);
        while (st.Next())
            result.days.append({dates.Date(st.Bytes(0)), FenFromYuan(st.Number(2)),
                                FenFromYuan(st.Number(1))});
    }
    {
        TStatement st(conn, TSummarySql::MonthTotals, range);
        while (st.Next()) {
            const QByteArray month = st.Bytes(0).toByteArray() + "-01";
            result.months.append({dates.Date(month), FenFromYuan(st.Number(2)),
                                  FenFromYuan(st.Number(1))});
        }
    }

    TDecodeCache items;
    {
        TDecodeCache notes;
        TStatement st(conn, TSummarySql::Records, range);
        while (st.Next()) {
            const QByteArrayView type = TrimmedType(st.Bytes(2));
            result.records.append({st.Integer(0), dates.Date(st.Bytes(1)),
                                   QString::fromUtf8(type), items.Text(st.Bytes(3)),
                                   FenFromYuan(st.Number(4)), notes.Text(st.Bytes(5))});
        }
    }

    result.outRanking = Ranking(conn, range, kTypeOut, items);
    result.inRanking = Ranking(conn, range, kTypeIn, items);
    return result;
}

QList<TRecord> TDbMan::GetCateRecords(const QString &user, const QDate &fromDate,
                                      const QDate &toDate, const QString &type, const QString &item)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TDecodeCache texts;
    TDates dates;
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    TStatement st(conn, TSummarySql::CateRecords,
                  {THi::EncodeText(user), fromDate.toString(ymd), toDate.toString(ymd), type,
                   THi::EncodeText(item)});
    QList<TRecord> rows;
    while (st.Next())
        rows.append({0, dates.Date(st.Bytes(0)), type, texts.Text(st.Bytes(1)),
                     FenFromYuan(st.Number(2)), texts.Text(st.Bytes(3))});
    return rows;
}
