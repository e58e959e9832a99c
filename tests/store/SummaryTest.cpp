#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "output/ListTexts.h"
#include "store/DbClass.h"
#include "store/Summary.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace {

using SummaryRow = QStringList;
using SummaryRows = QList<SummaryRow>;

// A search as the lists show it: the typed result turned into texts by the one formatter
// every list and writer uses.
struct Summary {
    double outTotal = -1, inTotal = -1;
    SummaryRows days, months, records, outCates, inCates;
    TSearchResult result;
};

SummaryRows RankTextRows(const QList<TRankRow> &ranking, TFen total)
{
    SummaryRows rows;
    for (const TRankRow &r : ranking) {
        const TRankTexts t = RankTexts(r, total);
        rows.append({t.type, t.item, t.count, t.Sum(), t.share});
    }
    return rows;
}

Summary Search(TDbMan &db, const QString &user, const QString &from, const QString &to)
{
    Summary s;
    s.result = db.Search(user, QDate::fromString(from, Qt::ISODate), QDate::fromString(to, Qt::ISODate));
    s.outTotal = YuanFromFen(s.result.outTotal);
    s.inTotal = YuanFromFen(s.result.inTotal);
    for (const TPeriodTotal &d : s.result.days)
        s.days.append({DateText(d.date), FormatFen(d.in), FormatFen(d.out)});
    for (const TPeriodTotal &m : s.result.months)
        s.months.append({MonthText(m.date), FormatFen(m.in), FormatFen(m.out)});
    for (const TRecord &r : s.result.records) {
        const TRecordTexts t = RecordTexts(r);
        s.records.append({QString::number(r.id), t.date, t.item, t.in, t.out, t.notes});
    }
    s.outCates = RankTextRows(s.result.outRanking, s.result.outTotal);
    s.inCates = RankTextRows(s.result.inRanking, s.result.inTotal);
    return s;
}

SummaryRows CateRecords(TDbMan &db, const QString &from, const QString &to, const QString &type,
                        const QString &item)
{
    SummaryRows rows;
    for (const TRecord &r : db.GetCateRecords("U", QDate::fromString(from, Qt::ISODate),
                                              QDate::fromString(to, Qt::ISODate), type, item))
        rows.append({DateText(r.date), r.item, FormatFen(r.amount), r.notes});
    return rows;
}

// A record row without its id, which the engine assigns.
SummaryRow WithoutId(SummaryRow row)
{
    row.removeFirst();
    return row;
}

QList<SummaryRow> WithoutIds(const SummaryRows &rows)
{
    QList<SummaryRow> out;
    for (const SummaryRow &r : rows)
        out << WithoutId(r);
    return out;
}

// A search as the six reference statements give it, one statement per list.
TSearchResult ReferenceSearch(const QString &path, const QString &user, const QDate &from, const QDate &to)
{
    TConnection conn;
    conn.Open(path);
    const QVariantList range{THi::EncodeText(user), from.toString(Qt::ISODate), to.toString(Qt::ISODate)};
    const auto date = [](QByteArrayView text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); };
    const auto text = [](QByteArrayView stored) { return THi::DecodeText(QString::fromLatin1(stored)); };
    TSearchResult r;
    r.fromDate = from;
    r.toDate = to;
    for (TStatement st(conn, TSummarySql::PeriodTotals, range); st.Next();) {
        r.outTotal = FenFromYuan(st.Number(1));
        r.inTotal = FenFromYuan(st.Number(2));
    }
    for (TStatement st(conn, TSummarySql::DayTotals, range); st.Next();)
        r.days.append({date(st.Bytes(0)), FenFromYuan(st.Number(2)), FenFromYuan(st.Number(1))});
    for (TStatement st(conn, TSummarySql::MonthTotals, range); st.Next();)
        r.months.append({date(st.Bytes(0).toByteArray() + "-01"), FenFromYuan(st.Number(2)),
                         FenFromYuan(st.Number(1))});
    for (TStatement st(conn, TSummarySql::Records, range); st.Next();)
        r.records.append({st.Integer(0), date(st.Bytes(1)), st.Text(2).trimmed(), text(st.Bytes(3)),
                          FenFromYuan(st.Number(4)), text(st.Bytes(5))});
    for (const QString &type : {kTypeOut, kTypeIn}) {
        QList<TRankRow> ranks;
        for (TStatement st(conn, TSummarySql::Ranking, range + QVariantList{type}); st.Next();)
            ranks.append({type, text(st.Bytes(0)), st.Integer(1), FenFromYuan(st.Number(2))});
        std::stable_sort(ranks.begin(), ranks.end(), [](const TRankRow &a, const TRankRow &b) {
            return a.sum != b.sum ? a.sum > b.sum : THi::ToLocalBytes(a.item) < THi::ToLocalBytes(b.item);
        });
        (type == kTypeOut ? r.outRanking : r.inRanking) = ranks;
    }
    return r;
}

// Every value of a result, one line per row, for comparisons that show what differs.
QStringList Flat(const TSearchResult &r)
{
    QStringList lines{QStringLiteral("span %1 %2 out %3 in %4")
                          .arg(DateText(r.fromDate), DateText(r.toDate))
                          .arg(r.outTotal)
                          .arg(r.inTotal)};
    for (const TPeriodTotal &d : r.days)
        lines << QStringLiteral("day %1 in %2 out %3").arg(DateText(d.date)).arg(d.in).arg(d.out);
    for (const TPeriodTotal &m : r.months)
        lines << QStringLiteral("month %1 in %2 out %3").arg(DateText(m.date)).arg(m.in).arg(m.out);
    for (const TRecord &x : r.records)
        lines << QStringLiteral("record %1 %2 [%3] [%4] %5 [%6]")
                     .arg(x.id).arg(DateText(x.date), x.type, x.item).arg(x.amount).arg(x.notes);
    for (const QList<TRankRow> *ranking : {&r.outRanking, &r.inRanking})
        for (const TRankRow &k : *ranking)
            lines << QStringLiteral("rank %1 [%2] %3 %4 %5")
                         .arg(k.type, k.item).arg(k.count).arg(k.sum)
                         .arg(FormatShare(k.sum, r.TypeTotal(k.type)));
    return lines;
}

} // namespace

TEST(Summary, OneDayWithOneExpenseAndOneIncome)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    // The income is saved first; the expense still comes first within the day.
    db.AddRecords("U", NewRecords({{"2009-08-20", "收入", "红包", "3", "压岁"},
                        {"2009-08-20", "支出", "午餐", "12.5", ""}}));
    // Another user's record and records outside the day are not counted.
    db.AddRecords("V", NewRecords({{"2009-08-20", "支出", "午餐", "99", ""}}));
    db.AddRecords("U", NewRecords({{"2009-08-19", "支出", "午餐", "1", ""}, {"2009-08-21", "收入", "红包", "1", ""}}));

    const Summary s = Search(db, "U", "2009-08-20", "2009-08-20");
    EXPECT_DOUBLE_EQ(s.outTotal, 12.5);
    EXPECT_DOUBLE_EQ(s.inTotal, 3);
    EXPECT_EQ(s.days, (SummaryRows{{"2009-08-20", "3.00", "12.50"}}));
    EXPECT_EQ(s.months, (SummaryRows{{"2009-08", "3.00", "12.50"}}));
    ASSERT_EQ(s.records.size(), 2);
    EXPECT_EQ(WithoutId(s.records[0]), (SummaryRow{"2009-08-20", "午餐", "", "12.50", ""}));
    EXPECT_EQ(WithoutId(s.records[1]), (SummaryRow{"2009-08-20", "红包", "3.00", "", "压岁"}));
    // Ids are the engine's numbers, the income saved before the expense.
    EXPECT_LT(s.records[1][0].toLongLong(), s.records[0][0].toLongLong());
    EXPECT_EQ(s.outCates, (SummaryRows{{"支出", "午餐", "1", "12.50", "100.00%"}}));
    EXPECT_EQ(s.inCates, (SummaryRows{{"收入", "红包", "1", "3.00", "100.00%"}}));
}

TEST(Summary, EmptyOrReversedRangeGivesZerosAndNoRows)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords("U", NewRecords({{"2009-08-20", "支出", "午餐", "12.5", ""}}));
    for (const auto &[from, to] : {std::pair{"2010-01-01", "2010-12-31"},
                                   std::pair{"2009-08-21", "2009-08-19"}}) {
        const Summary s = Search(db, "U", from, to);
        EXPECT_EQ(s.outTotal, 0) << from;
        EXPECT_EQ(s.inTotal, 0) << from;
        EXPECT_TRUE(s.days.isEmpty() && s.months.isEmpty() && s.records.isEmpty() &&
                    s.outCates.isEmpty() && s.inCates.isEmpty())
            << from;
    }
}

TEST(Summary, BothEndsOfTheRangeAreIncludedAndMonthsAreZeroPadded)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords("U", NewRecords({{"2009-02-28", "支出", "a", "100", ""},
                        {"2009-03-01", "支出", "a", "1", ""},
                        {"2009-03-05", "收入", "b", "2", ""},
                        {"2009-12-31", "支出", "a", "4", ""},
                        {"2010-01-01", "收入", "b", "8", ""},
                        {"2010-01-02", "支出", "a", "100", ""}}));
    const Summary s = Search(db, "U", "2009-03-01", "2010-01-01");
    EXPECT_EQ(s.days, (SummaryRows{{"2009-03-01", "0.00", "1.00"},
                                   {"2009-03-05", "2.00", "0.00"},
                                   {"2009-12-31", "0.00", "4.00"},
                                   {"2010-01-01", "8.00", "0.00"}}));
    EXPECT_EQ(s.months, (SummaryRows{{"2009-03", "2.00", "1.00"},
                                     {"2009-12", "0.00", "4.00"},
                                     {"2010-01", "8.00", "0.00"}}));
    EXPECT_DOUBLE_EQ(s.outTotal, 5);
    EXPECT_DOUBLE_EQ(s.inTotal, 10);
}

TEST(Summary, RecordsOfADayStandByTypeInSavingOrder)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords("U", NewRecords({{"2009-05-02", "收入", "i1", "1", ""},
                        {"2009-05-01", "支出", "o0", "1", ""},
                        {"2009-05-02", "支出", "o1", "1", ""},
                        {"2009-05-02", "收入", "i2", "1", ""},
                        {"2009-05-02", "支出", "o2", "1", ""}}));
    const Summary s = Search(db, "U", "2009-05-01", "2009-05-31");
    QStringList items;
    for (const SummaryRow &r : s.records)
        items << r[2];
    EXPECT_EQ(items, (QStringList{"o0", "o1", "o2", "i1", "i2"}));
}

TEST(Summary, RankingSumsCountsSharesAndTies)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    // 0.1 + 0.2 is not exactly 0.3 in binary; shown sums are still rounded to cents.
    db.AddRecords("U", NewRecords({{"2009-01-01", "支出", "水果", "0.1", ""},
                        {"2009-01-02", "支出", "水果", "0.2", ""},
                        {"2009-01-03", "支出", "Zoo", "0.3", ""},
                        {"2009-01-04", "支出", "Apple", "0.3", ""},
                        {"2009-01-05", "支出", "房租", "9.1", ""}}));
    const Summary s = Search(db, "U", "2009-01-01", "2009-01-31");
    // Equal sums by item text: ASCII before Chinese in the code page, A before Z.
    EXPECT_EQ(s.outCates, (SummaryRows{{"支出", "房租", "1", "9.10", "91.00%"},
                                       {"支出", "Apple", "1", "0.30", "3.00%"},
                                       {"支出", "Zoo", "1", "0.30", "3.00%"},
                                       {"支出", "水果", "2", "0.30", "3.00%"}}));
    EXPECT_TRUE(s.inCates.isEmpty());
}

TEST(Summary, SameItemTextAsExpenseAndIncomeIsRankedAndListedSeparately)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    const QString item = QStringLiteral("O'Neil \"礼金\" ' or '1'='1");
    db.AddRecords("U", NewRecords({{"2009-06-01", "支出", item, "20", "送'礼"},
                        {"2009-06-03", "收入", item, "50", ""},
                        {"2009-06-02", "支出", item, "5", ""},
                        {"2009-06-02", "支出", "其他", "25", ""}}));
    const Summary s = Search(db, "U", "2009-06-01", "2009-06-30");
    EXPECT_EQ(s.outCates, (SummaryRows{{"支出", item, "2", "25.00", "50.00%"},
                                       {"支出", "其他", "1", "25.00", "50.00%"}}));
    EXPECT_EQ(s.inCates, (SummaryRows{{"收入", item, "1", "50.00", "100.00%"}}));

    EXPECT_EQ(CateRecords(db, "2009-06-01", "2009-06-30", kTypeOut, item),
              (SummaryRows{{"2009-06-01", item, "20.00", "送'礼"}, {"2009-06-02", item, "5.00", ""}}));
    EXPECT_EQ(CateRecords(db, "2009-06-01", "2009-06-30", kTypeIn, item),
              (SummaryRows{{"2009-06-03", item, "50.00", ""}}));
    EXPECT_EQ(CateRecords(db, "2009-06-02", "2009-06-02", kTypeOut, item),
              (SummaryRows{{"2009-06-02", item, "5.00", ""}}));
}

TEST(Summary, RecordsStoredByOtherMeans)
{
    TTempLedger ledger;
    {
        // Zero amounts and an unknown type word, as another program might have stored them.
        TConnection conn;
        conn.Open(ledger.Path());
        const QString u = THi::EncodeText("U"), item = THi::EncodeText("x");
        for (const auto &[type, amount] : {std::pair{"支出", 0.0}, std::pair{"收入", 0.0},
                                           std::pair{" 收入 ", 2.0}, std::pair{"转账", 7.0}})
            conn.Execute("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,'')",
                         {u, "2009-09-09", QString::fromUtf8(type), item, amount});
    }
    TDbMan db(ledger.Path());
    const Summary s = Search(db, "U", "2009-09-09", "2009-09-09");
    EXPECT_EQ(s.outCates, (SummaryRows{{"支出", "x", "1", "0.00", "0.00%"}}));
    EXPECT_EQ(s.inCates, (SummaryRows{{"收入", "x", "1", "0.00", "0.00%"}}));
    // The padded income word still counts as income in the record row; the unknown word
    // shows its amount in neither column and comes after both types.
    EXPECT_EQ(WithoutIds(s.records), (QList<SummaryRow>{{"2009-09-09", "x", "", "0.00", ""},
                                                        {"2009-09-09", "x", "0.00", "", ""},
                                                        {"2009-09-09", "x", "", "", ""},
                                                        {"2009-09-09", "x", "2.00", "", ""}}));
}

TEST(Summary, AMissingLedgerIsReported)
{
    TTempLedger ledger;
    TDbMan db(ledger.Dir() + QStringLiteral("/missing.zovalt"));
    EXPECT_THROW(db.Search("U", QDate(2009, 1, 1), QDate(2009, 1, 31)), TError);
    EXPECT_THROW(CateRecords(db, "2009-01-01", "2009-01-31", kTypeOut, "x"), TError);
}

TEST(SearchResult, TypedValuesOfOneDay)
{
    // GIVEN a day with an expense and an income, and a tie in the expense ranking
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords("U", NewRecords({{"2009-08-20", "收入", "红包", "3", "压岁"},
                        {"2009-08-20", "支出", "午餐", "12.5", ""},
                        {"2009-08-20", "支出", "晚餐", "12.50", "x"},
                        {"2009-08-20", "支出", "Abc", "0.07", ""}}));
    // WHEN it is searched
    const TSearchResult r = db.Search("U", QDate(2009, 8, 20), QDate(2009, 8, 20));
    // THEN every value is typed and the totals are exact fen
    EXPECT_EQ(r.fromDate, QDate(2009, 8, 20));
    EXPECT_EQ(r.toDate, QDate(2009, 8, 20));
    EXPECT_EQ(r.outTotal, 2507);
    EXPECT_EQ(r.inTotal, 300);
    EXPECT_EQ(r.Balance(), -2207);
    ASSERT_EQ(r.days.size(), 1);
    EXPECT_EQ(r.days[0].date, QDate(2009, 8, 20));
    EXPECT_EQ(r.days[0].out, 2507);
    EXPECT_EQ(r.days[0].in, 300);
    ASSERT_EQ(r.months.size(), 1);
    EXPECT_EQ(r.months[0].date, QDate(2009, 8, 1));
    ASSERT_EQ(r.records.size(), 4);
    EXPECT_TRUE(r.records[0].IsExpense());
    EXPECT_EQ(r.records[0].amount, 1250);
    EXPECT_EQ(r.records[1].item, QStringLiteral("晚餐"));
    EXPECT_EQ(r.records[1].notes, QStringLiteral("x"));
    EXPECT_TRUE(r.records[3].IsIncome());
    EXPECT_EQ(r.records[3].date, QDate(2009, 8, 20));
    // Equal sums (午餐 and 晚餐) stand in code-page order of their items: 晚 (CDED) before 午 (CEE7).
    ASSERT_EQ(r.outRanking.size(), 3);
    EXPECT_EQ(r.outRanking[0].item, QStringLiteral("晚餐"));
    EXPECT_EQ(r.outRanking[1].item, QStringLiteral("午餐"));
    EXPECT_EQ(r.outRanking[1].sum, 1250);
    EXPECT_EQ(r.outRanking[2].count, 1);
    EXPECT_EQ(r.outRanking[2].type, kTypeOut);
    ASSERT_EQ(r.inRanking.size(), 1);
    EXPECT_EQ(r.inRanking[0].sum, 300);
    EXPECT_EQ(FormatShare(r.outRanking[2].sum, r.outTotal), QStringLiteral("0.28%"));

    // An empty span: zeros, no rows, the span kept.
    const TSearchResult none = db.Search("U", QDate(2010, 1, 1), QDate(2010, 1, 31));
    EXPECT_EQ(none.fromDate, QDate(2010, 1, 1));
    EXPECT_EQ(none.outTotal, 0);
    EXPECT_EQ(none.inTotal, 0);
    EXPECT_TRUE(none.days.isEmpty() && none.months.isEmpty() && none.records.isEmpty() &&
                none.outRanking.isEmpty() && none.inRanking.isEmpty());
}

TEST(Money, FormatsParsesAndSharesExactly)
{
    EXPECT_EQ(FormatFen(0), QStringLiteral("0.00"));
    EXPECT_EQ(FormatFen(5), QStringLiteral("0.05"));
    EXPECT_EQ(FormatFen(-305), QStringLiteral("-3.05"));
    EXPECT_EQ(FormatFen(123456789012), QStringLiteral("1234567890.12"));
    EXPECT_EQ(FormatFen(std::numeric_limits<TFen>::min()).left(2), QStringLiteral("-9"));
    EXPECT_EQ(FenFromYuan(0.1 + 0.2), 30);
    EXPECT_EQ(FenFromYuan(-12.345), -1235);
    EXPECT_EQ(ParseAmount(QStringLiteral(" 12.5 ")), std::optional<TFen>(1250));
    EXPECT_EQ(ParseAmount(QStringLiteral("0.01")), std::optional<TFen>(1));
    EXPECT_FALSE(ParseAmount(QStringLiteral("0.001")));
    EXPECT_FALSE(ParseAmount(QStringLiteral("abc")));
    EXPECT_EQ(FormatShare(1, 3), QStringLiteral("33.33%"));
    EXPECT_EQ(FormatShare(2, 3), QStringLiteral("66.67%"));
    EXPECT_EQ(FormatShare(7, 0), QStringLiteral("0.00%"));
}

TEST(Summary, OnePassGivesTheListsOfTheSixStatements)
{
    // GIVEN a ledger seeded over three years and two users: items with quotes and wide
    // characters, sums that tie, zero amounts, and type words stored padded or unknown
    TTempLedger ledger;
    const QStringList items{QStringLiteral("午餐"), QStringLiteral("晚餐"), QStringLiteral("O'Neil \"礼\""),
                            QStringLiteral("Apple"), QStringLiteral("Zoo"), QStringLiteral("😀 表情"),
                            QStringLiteral("' or '1'='1"), QStringLiteral("水果")};
    const QStringList types{kTypeOut, kTypeOut, kTypeOut, kTypeIn, QStringLiteral(" 收入 "),
                            QStringLiteral("转账"), QStringLiteral("支出\t"), QStringLiteral("a")};
    std::mt19937 rng(4242);
    {
        TConnection conn;
        conn.Open(ledger.Path());
        conn.BeginTransaction();
        TStatement insert(conn, QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,?)"));
        for (int i = 0; i < 3000; ++i) {
            const QDate day = QDate(2008, 12, 1).addDays(rng() % 800);
            // Amounts are whole multiples of 5 yuan or zero, so many sums tie.
            const double amount = rng() % 7 == 0 ? 0.0 : double(5 * (1 + rng() % 6)) + (rng() % 3 ? 0.0 : 0.25);
            insert.Bind({THi::EncodeText(rng() % 4 ? QStringLiteral("U") : QStringLiteral("V")),
                         day.toString(Qt::ISODate), types[int(rng() % types.size())],
                         THi::EncodeText(items[int(rng() % items.size())]), amount,
                         THi::EncodeText(rng() % 3 ? QString() : QStringLiteral("备注'%1").arg(i))});
            insert.Run();
        }
        // Two items of a month whose sums tie exactly, and a month of nothing but zeros.
        for (const auto &[item, amount] : {std::pair{"Zoo", 12.5}, std::pair{"Apple", 12.5},
                                           std::pair{"Apple", 0.0}})
            conn.Execute(QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,'')"),
                         {THi::EncodeText("U"), "2011-06-01", kTypeOut, THi::EncodeText(item), amount});
        conn.Execute(QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,'2011-07-09',?,?,0,'')"),
                     {THi::EncodeText("U"), kTypeIn, THi::EncodeText("零")});
        conn.Commit();
    }
    TDbMan db(ledger.Path());
    // WHEN spans of a day, a month, a year, everything and nothing are searched
    const std::pair<QDate, QDate> spans[] = {
        {QDate(2009, 3, 14), QDate(2009, 3, 14)}, {QDate(2011, 6, 1), QDate(2011, 6, 30)},
        {QDate(2011, 7, 1), QDate(2011, 7, 31)},  {QDate(2009, 1, 1), QDate(2009, 12, 31)},
        {QDate(2000, 1, 1), QDate(2020, 12, 31)}, {QDate(2030, 1, 1), QDate(2030, 12, 31)}};
    for (const auto &[from, to] : spans) {
        // THEN both forms give the same lists, row for row
        const TSearchResult onePass = db.Search("U", from, to);
        const TSearchResult reference = ReferenceSearch(ledger.Path(), "U", from, to);
        EXPECT_EQ(Flat(onePass), Flat(reference)) << DateText(from).toStdString();
    }
    const TSearchResult june = db.Search("U", QDate(2011, 6, 1), QDate(2011, 6, 1));
    EXPECT_EQ(june.outRanking.value(0).item, QStringLiteral("Apple"));
    EXPECT_GT(db.Search("U", QDate(2000, 1, 1), QDate(2020, 12, 31)).records.size(), 2000);
}

TEST(Summary, LedgersGainTheSearchIndexOnceAndReadOnlyLedgersStillOpen)
{
    // GIVEN a ledger as an earlier version left it: the narrower index, no search index
    TTempLedger ledger;
    const auto indexes = [&] {
        TConnection conn;
        conn.Open(ledger.Path());
        QStringList names;
        for (TStatement st(conn, QStringLiteral("select name from sqlite_master where type='index' and tbl_name='data' order by name"));
             st.Next();)
            names << st.Text(0);
        return names;
    };
    {
        TConnection conn;
        conn.Open(ledger.Path());
        conn.Execute(QStringLiteral("drop index if exists data_records"));
        conn.Execute(QStringLiteral("create index data_user_date on data (user, date, type, cate, amount)"));
        conn.Execute(QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,12.5,'')"),
                     {THi::EncodeText("U"), "2009-08-20", kTypeOut, THi::EncodeText("午餐")});
    }
    TDbMan db(ledger.Path());
    // WHEN it is opened read-only, THEN it is searched as it is
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    EXPECT_EQ(indexes(), QStringList{QStringLiteral("data_user_date")});
    EXPECT_EQ(db.Search("U", QDate(2009, 8, 20), QDate(2009, 8, 20)).outTotal, 1250);
    EXPECT_EQ(indexes(), QStringList{QStringLiteral("data_user_date")});
    // WHEN it is writable again, THEN the first open replaces the index, and the search
    // reads the span from it alone
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(db.UserExists("nobody"));
    EXPECT_EQ(indexes(), QStringList{QStringLiteral("data_records")});
    {
        TConnection conn;
        conn.Open(ledger.Path());
        TStatement plan(conn, QStringLiteral("explain query plan select [id],[date],[type],[cate],[amount],[notes] "
                                             "from [data] where [user]=? and [date]>=? and [date]<=? order by [date]"),
                        {"u", "a", "b"});
        QString detail;
        while (plan.Next())
            detail += plan.Text("detail") + QLatin1Char(';');
        EXPECT_TRUE(detail.contains(QStringLiteral("COVERING INDEX data_records"))) << detail.toStdString();
        EXPECT_FALSE(detail.contains(QStringLiteral("TEMP B-TREE"))) << detail.toStdString();
    }
    EXPECT_EQ(db.Search("U", QDate(2009, 8, 20), QDate(2009, 8, 20)).outTotal, 1250);
}
