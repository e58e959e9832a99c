#include "store/Summary.h"
#include "app/Errors.h"
#include "app/HiClass.h"
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

// "%0.2f" without the cost of a format parser: to_chars with a precision rounds exactly as
// printf does. Like THi::FormatAmount, a negative zero is shown as 0.00.
QString Money(double value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    if (res.ec != std::errc())
        return THi::FormatAmount(value);
    const int len = int(res.ptr - buf);
    if (len == 5 && std::memcmp(buf, "-0.00", 5) == 0)
        return QStringLiteral("0.00");
    return QString::fromLatin1(buf, len);
}

// Share of a type's total as "37.50%"; a total of zero (possible only with records stored
// by other means) gives 0.00% instead of a division by zero.
QString Share(double sum, double total)
{
    return (total == 0 ? QStringLiteral("0.00") : Money(sum * 100 / total)) + QLatin1Char('%');
}

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

// Equal dates follow each other in the results, so they share one string.
class TDateTexts {
public:
    const QString &Text(QByteArrayView stored)
    {
        if (stored != QByteArrayView(m_last)) {
            m_last = QByteArray(stored.data(), stored.size());
            m_text = QString::fromLatin1(stored);
        }
        return m_text;
    }

private:
    QByteArray m_last;
    QString m_text;
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

void AppendRanking(TConnection &conn, const QVariantList &range, const QString &type, double total,
                   TDecodeCache &items, SummaryRows &rows)
{
    struct Rank {
        QString item;
        QString qty;
        double sum;
        QString shown;  // the sum as the row shows it
        qint64 cents;   // and as a number, for the order
    };
    std::vector<Rank> ranks;
    TStatement st(conn, TSummarySql::Ranking, range + QVariantList{type});
    while (st.Next()) {
        const QString &item = items.Text(st.Bytes(0));
        const double sum = st.Number(2);
        const QString shown = Money(sum);
        ranks.push_back({item, QString::number(st.Integer(1)), sum, shown,
                         std::llround(shown.toDouble() * 100)});
    }
    // Largest sum first as shown; sums that show equal by item text in code-page order, so
    // that the order never depends on the engine.
    std::stable_sort(ranks.begin(), ranks.end(), [](const Rank &a, const Rank &b) {
        return a.cents != b.cents ? a.cents > b.cents
                                  : THi::ToLocalBytes(a.item) < THi::ToLocalBytes(b.item);
    });
    for (const Rank &r : ranks)
        rows.append(SummaryRow{type, r.item, r.qty, r.shown, Share(r.sum, total)});
}

} // namespace

void TDbMan::GetPeriodSummary(const QString &user, const QString &fromDate, const QString &toDate,
                              double &outTotal, double &inTotal, SummaryRows &dayRows,
                              SummaryRows &monthRows, SummaryRows &recordRows,
                              SummaryRows &outCateRows, SummaryRows &inCateRows)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    outTotal = 0;
    inTotal = 0;
    const QVariantList range{THi::EncodeText(user), fromDate, toDate};

    {
        TStatement st(conn, TSummarySql::PeriodTotals, range);
        while (st.Next()) {
            outTotal = st.Number(1);
            inTotal = st.Number(2);
        }
    }
    {
        TStatement st(conn, TSummarySql::DayTotals, range);
        while (st.Next())
            dayRows.append(SummaryRow{QString::fromLatin1(st.Bytes(0)), Money(st.Number(2)),
                                      Money(st.Number(1))});
    }
    {
        TStatement st(conn, TSummarySql::MonthTotals, range);
        while (st.Next())
            monthRows.append(SummaryRow{QString::fromLatin1(st.Bytes(0)), Money(st.Number(2)),
                                        Money(st.Number(1))});
    }

    TDecodeCache items;
    {
        static constexpr QByteArrayView kIn("收入"), kOut("支出");
        TDecodeCache notes;
        TDateTexts dates;
        TStatement st(conn, TSummarySql::Records, range);
        while (st.Next()) {
            const QByteArrayView type = TrimmedType(st.Bytes(2));
            const QString amount = Money(st.Number(4));
            SummaryRow row;
            row.reserve(6);
            row << QString::number(st.Integer(0)) << dates.Text(st.Bytes(1))
                << items.Text(st.Bytes(3)) << (type == kIn ? amount : QString())
                << (type == kOut ? amount : QString()) << notes.Text(st.Bytes(5));
            recordRows.append(std::move(row));
        }
    }

    AppendRanking(conn, range, kTypeOut, outTotal, items, outCateRows);
    AppendRanking(conn, range, kTypeIn, inTotal, items, inCateRows);
}

void TDbMan::GetCateRecords(const QString &user, const QString &fromDate, const QString &toDate,
                            const QString &type, const QString &item, SummaryRows &rows)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TDecodeCache texts;
    TStatement st(conn, TSummarySql::CateRecords,
                  {THi::EncodeText(user), fromDate, toDate, type, THi::EncodeText(item)});
    while (st.Next())
        rows.append(SummaryRow{QString::fromLatin1(st.Bytes(0)), texts.Text(st.Bytes(1)),
                               Money(st.Number(2)), texts.Text(st.Bytes(3))});
}
