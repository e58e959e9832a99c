#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"

#include <QFile>

#include <algorithm>
#include <ctime>

#include <gtest/gtest.h>

namespace {

QString Fixture(const char *name)
{
    return QStringLiteral(TALLYFERN_TEST_DATA "/import/") + QString::fromLatin1(name);
}

QByteArray FixtureBytes(const char *name)
{
    QFile f(Fixture(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

// The message of the refusal, or an empty text when the bytes were read.
QString Refusal(const QByteArray &bytes)
{
    try {
        ReadBill(bytes);
    } catch (const TError &e) {
        return e.message();
    }
    return QString();
}

struct TExpected {
    const char *time;
    TBillDirection direction;
    const char *counterpart;
    const char *goods;
    qint64 amountFen;
    qint64 refundFen;
    const char *status;
    const char *orderNo;
    TUncheckedReason reason;
    const char *item;
};

void ExpectRows(const TBill &bill, const std::vector<TExpected> &expected)
{
    ASSERT_EQ(bill.rows.size(), qsizetype(expected.size()));
    const QList<TPlanRow> plan = PlanImport(bill, {});
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        const TBillRow &row = bill.rows.at(i);
        const TExpected &e = expected[i];
        EXPECT_EQ(row.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::fromUtf8(e.time));
        EXPECT_EQ(row.direction, e.direction);
        EXPECT_EQ(row.counterpart, QString::fromUtf8(e.counterpart));
        EXPECT_EQ(row.goods, QString::fromUtf8(e.goods));
        EXPECT_EQ(row.amountFen, e.amountFen);
        EXPECT_EQ(row.refundFen, e.refundFen);
        EXPECT_EQ(row.status, QString::fromUtf8(e.status));
        EXPECT_EQ(row.orderNo, QString::fromUtf8(e.orderNo));
        EXPECT_EQ(plan.at(i).reason, e.reason) << ReasonText(plan.at(i).reason).toStdString();
        EXPECT_EQ(plan.at(i).checked, e.reason == TUncheckedReason::None);
        EXPECT_EQ(plan.at(i).item, QString::fromUtf8(e.item));
    }
}

using R = TUncheckedReason;
constexpr auto Out = TBillDirection::Out;
constexpr auto In = TBillDirection::In;
constexpr auto Neither = TBillDirection::Neither;

const std::vector<TExpected> kWeChatRows = {
    {"2026-11-04 12:30:00", Out, "快餐店", "午餐套餐", 2500, 0, "支付成功", "4200001001", R::None, "快餐店"},
    {"2026-11-06 09:00:00", In, "小李", "/", 123456, 0, "已收钱", "1000050001", R::None, "小李"},
    {"2026-11-07 18:20:00", Out, "水果店", "苹果", 3000, 300, "已退款(￥3.00)", "4200001002", R::None, "水果店"},
    {"2026-11-08 10:00:00", Out, "网店", "耳机", 19900, 0, "已全额退款", "4200001003", R::FullRefund, "网店"},
    {"2026-11-09 11:11:11", Out, "小王", "/", 5000, 0, "对方已退还", "1000050002", R::FullRefund, "小王"},
    {"2026-11-10 08:00:00", Neither, "招商银行(1234)", "/", 10000, 0, "提现已到账", "1000050003", R::NotCounted, ""},
    {"2026-11-04 12:30:00", Out, "快餐店", "午餐套餐", 2500, 0, "支付成功", "4200001001", R::Repeated, "快餐店"},
};

} // namespace

TEST(BillReader, AlipayAppExportReadRowByRow)
{
    const TBill bill = ReadBillFile(Fixture("alipay-app.csv"));
    EXPECT_EQ(bill.source, TBillSource::AlipayApp);
    ExpectRows(bill, {
        {"2026-11-02 08:15:30", Out, "楼下早餐店", "豆浆油条", 1250, 0, "交易成功", "2026110222001400001", R::None, "餐饮美食"},
        {"2026-11-03 19:02:11", Out, "超市, 第一分店", "牛奶 \"特浓\"", 8600, 0, "等待确认收货", "2026110322001400002", R::None, "日用百货"},
        {"2026-11-05 09:00:00", In, "某某科技有限公司", "十一月工资", 800000, 0, "交易成功", "2026110522001400003", R::None, "转账红包"},
        {"2026-11-06 14:20:00", Out, "电器商城", "蓝牙音箱", 30000, 0, "交易关闭", "2026110622001400004", R::NotCompleted, "数码电器"},
        {"2026-11-07 00:30:00", Neither, "余额宝", "余额宝-收益发放", 35, 0, "交易成功", "2026110722001400005", R::NotCounted, ""},
        {"2026-11-08 16:45:00", Out, "衣服小店", "毛衣", 5800, 0, "退款成功", "2026110822001400006", R::FullRefund, "服饰装扮"},
        {"2026-11-09 07:55:00", Out, "地铁", "乘车", 500, 0, "交易成功", "", R::None, "交通出行"},
    });
    EXPECT_EQ(bill.rows.at(0).category, QStringLiteral("餐饮美食"));
    // Line numbers count from the top of the file, for messages.
    EXPECT_EQ(bill.rows.at(0).line, 14);
}

TEST(BillReader, AlipayWebExportReadRowByRow)
{
    const TBill bill = ReadBillFile(Fixture("alipay-web.csv"));
    EXPECT_EQ(bill.source, TBillSource::AlipayWeb);
    // The closing dashes end the list: the summary lines below them are no transactions.
    ExpectRows(bill, {
        {"2026-11-10 12:00:01", Out, "网上书店", "编程书一本", 9900, 3000, "交易成功", "2026111022001400011", R::None, "网上书店"},
        {"2026-11-11 20:10:00", Out, "文具店", "笔记本", 2000, 2000, "交易成功", "2026111122001400012", R::FullRefund, "文具店"},
        {"2026-11-12 08:00:00", In, "李四", "还钱", 10000, 0, "交易成功", "2026111222001400013", R::None, "李四"},
        {"2026-11-13 10:00:00", Neither, "招商银行", "充值", 50000, 0, "交易成功", "2026111322001400014", R::NotCounted, ""},
    });
}

TEST(BillReader, WeChatCsvAndXlsxGiveTheSameRows)
{
    const TBill csv = ReadBillFile(Fixture("wechat.csv"));
    EXPECT_EQ(csv.source, TBillSource::WeChatCsv);
    ExpectRows(csv, kWeChatRows);
    // The workbook holds the first time as a date cell and the texts as shared strings.
    const TBill xlsx = ReadBillFile(Fixture("wechat.xlsx"));
    EXPECT_EQ(xlsx.source, TBillSource::WeChatXlsx);
    ExpectRows(xlsx, kWeChatRows);
}

TEST(BillReader, PartlyRefundedPaymentCountsWhatWasPaid)
{
    const QList<TPlanRow> plan = PlanImport(ReadBillFile(Fixture("wechat.csv")), {});
    EXPECT_EQ(plan.at(2).amountFen, 2700);
    EXPECT_EQ(plan.at(2).notes, QStringLiteral("水果店 苹果（已退款 3.00 元）"));
    const QList<TPlanRow> web = PlanImport(ReadBillFile(Fixture("alipay-web.csv")), {});
    EXPECT_EQ(web.at(0).amountFen, 6900);
    EXPECT_EQ(web.at(0).notes, QStringLiteral("网上书店 编程书一本（已退款 30.00 元）"));
}

TEST(BillReader, NotesJoinCounterpartAndGoodsWithinTheLimit)
{
    TBillRow row;
    row.counterpart = QStringLiteral("小李");
    row.goods = QStringLiteral("/");
    EXPECT_EQ(ImportNotes(row), QStringLiteral("小李"));
    row.goods = QString(150, QChar(u'货'));
    EXPECT_EQ(ImportNotes(row).size(), kImportNotesLimit);
    EXPECT_TRUE(ImportNotes(row).startsWith(QStringLiteral("小李 货")));
    // The refund stays named even when the rest is cut.
    row.amountFen = 1000;
    row.refundFen = 250;
    EXPECT_EQ(ImportNotes(row).size(), kImportNotesLimit);
    EXPECT_TRUE(ImportNotes(row).endsWith(QStringLiteral("（已退款 2.50 元）")));
    // A cut never splits a character outside the basic plane.
    row.refundFen = 0;
    row.goods = QString(97, QChar(u'x')) + QStringLiteral("😀😀");
    EXPECT_EQ(ImportNotes(row), QStringLiteral("小李 ") + QString(97, QChar(u'x')));
}

TEST(BillReader, ItemComesFromRuleThenCategoryThenCounterpart)
{
    TBillRow row;
    row.counterpart = QStringLiteral("快餐店");
    row.category = QStringLiteral("餐饮美食");
    EXPECT_EQ(DefaultItem(row, {}), QStringLiteral("餐饮美食"));
    EXPECT_EQ(DefaultItem(row, {{QStringLiteral("快餐店"), QStringLiteral("午饭")}}), QStringLiteral("午饭"));
    row.category.clear();
    EXPECT_EQ(DefaultItem(row, {}), QStringLiteral("快餐店"));
    row.counterpart = QStringLiteral("/");
    EXPECT_EQ(DefaultItem(row, {}), QStringLiteral("其他"));
}

TEST(BillReader, KeyIsTheOrderNumberOrTimeAmountAndCounterpart)
{
    const TBill bill = ReadBillFile(Fixture("alipay-app.csv"));
    EXPECT_EQ(BillKey(bill.source, bill.rows.at(0)), QStringLiteral("alipay:2026110222001400001"));
    EXPECT_EQ(BillKey(bill.source, bill.rows.at(6)), QStringLiteral("alipay:2026-11-09 07:55:00|500|地铁"));
    TImportContext known;
    known.importedKeys.insert(QStringLiteral("alipay:2026110222001400001"));
    const QList<TPlanRow> plan = PlanImport(bill, known);
    EXPECT_FALSE(plan.at(0).checked);
    EXPECT_EQ(plan.at(0).reason, TUncheckedReason::AlreadyImported);
    EXPECT_TRUE(plan.at(1).checked);
}

TEST(BillReader, AmountsInEveryWrittenForm)
{
    const struct {
        const char *text;
        qint64 fen;
    } good[] = {{"12.50", 1250}, {"¥12.5", 1250}, {"￥1,234.56", 123456}, {" 3 ", 300}, {"0.01", 1}, {"7.", 700},
                {"¥ 45.60", 4560}, {"1,234,567.00", 123456700}};
    for (const auto &g : good) {
        qint64 fen = -1;
        EXPECT_TRUE(ParseFen(QString::fromUtf8(g.text), &fen)) << g.text;
        EXPECT_EQ(fen, g.fen) << g.text;
    }
    for (const char *bad : {"", "-5.00", "1.234", "abc", "1e3", "¥", "12.5元", "99999999999999999999",
                            "¥1,2,3", "¥ 4 5 . 6", ",123", "1234,567", "12,34.00", "1,234,56"}) {
        qint64 fen = 0;
        EXPECT_FALSE(ParseFen(QString::fromUtf8(bad), &fen)) << bad;
    }
}

TEST(BillReader, RefusesWhatIsNoBillNamingTheAcceptedForms)
{
    const QString forms = AcceptedBillForms();
    EXPECT_TRUE(Refusal(FixtureBytes("unrelated.csv")).contains(forms));
    EXPECT_TRUE(Refusal(QByteArray()).contains(forms));
    EXPECT_TRUE(Refusal("\xD0\xCF\x11\xE0 encrypted").contains(forms));
    EXPECT_TRUE(Refusal(FixtureBytes("wechat-gb18030.csv")).contains(QStringLiteral("不是 UTF-8 编码")));
    EXPECT_TRUE(Refusal(FixtureBytes("alipay-app-utf8.csv")).contains(QStringLiteral("不是 GB18030")));
    EXPECT_TRUE(Refusal(FixtureBytes("wechat-truncated.xlsx")).contains(QStringLiteral("已损坏或不完整")));
    EXPECT_TRUE(Refusal(FixtureBytes("wechat-empty.csv")).contains(QStringLiteral("没有交易记录")));
}

TEST(BillReader, ABadRowRefusesTheWholeBillNamingItsLine)
{
    QByteArray bytes = FixtureBytes("wechat.csv");
    bytes.replace("\xC2\xA5" "199.00", "lots");
    EXPECT_EQ(Refusal(bytes), QStringLiteral("账单第 18 行的金额“lots”无法识别，没有导入任何记录"));
    bytes = FixtureBytes("wechat.csv");
    bytes.replace("2026-11-09 11:11:11", "2026-02-30 11:11:11");
    EXPECT_TRUE(Refusal(bytes).startsWith(QStringLiteral("账单第 19 行的交易时间")));
}

namespace {

// A WeChat Pay CSV bill of the given rows ("time,counterpart,goods,direction,amount,status,order").
QByteArray WeChatCsv(const QList<QByteArray> &rows)
{
    QByteArray csv = "\xEF\xBB\xBF" "微信支付账单明细\n"
                     "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号\n";
    for (const QByteArray &r : rows) {
        const QList<QByteArray> f = r.split('|');
        csv += f.value(0) + ",商户消费," + f.value(1) + "," + f.value(2) + "," + f.value(3) + "," + f.value(4) +
               ",零钱," + f.value(5) + "," + f.value(6) + "\n";
    }
    return csv;
}

// Sets TZ for the life of the scope.
class TZoneScope {
public:
    explicit TZoneScope(const char *zone) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

} // namespace

TEST(BillReader, ChinaTimesDoNotDependOnTheComputersZone)
{
    TZoneScope london("Europe/London");
    // 01:30 on that day does not exist in London: the clocks went from 01:00 to 02:00.
    const TBill bill = ReadBill(WeChatCsv({"2024-03-31 01:30:00|店|饭|支出|¥10.00|支付成功|A1",
                                           "2024-03-31 23:30:00|店|饭|支出|¥11.00|支付成功|A2"}));
    ASSERT_EQ(bill.rows.size(), 2);
    EXPECT_EQ(bill.rows.at(0).time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QStringLiteral("2024-03-31 01:30:00"));
    EXPECT_EQ(bill.rows.at(1).date(), QDate(2024, 3, 31));
    EXPECT_EQ(BillKey(bill.source, bill.rows.at(0)), QStringLiteral("wechat:A1"));
}

TEST(BillReader, WhatMisledTheReaderBefore)
{
    const struct {
        const char *what;
        QByteArray bytes;
        const char *refusal;  // beginning of the message, or "" when the bill is read
    } cases[] = {
        // A quote inside a cell is a character of it, not the start of a quoted cell.
        {"stray quote", WeChatCsv({"2026-11-04 12:30:00|店|12\" 显示器|支出|¥10.00|支付成功|A1"}), ""},
        {"quote never closed", WeChatCsv({"2026-11-04 12:30:00|\"店|饭|支出|¥10.00|支付成功|A1"}),
         "账单第 3 行的引号没有配对"},
        {"huge cell", WeChatCsv({"2026-11-04 12:30:00|" + QByteArray(20000, 'x') + "|饭|支出|¥10.00|支付成功|A1"}),
         "账单第 3 行有一个超过 10000 个字符的单元格"},
        // Alipay's GB18030 bill that some editor gave a UTF-8 byte-order mark.
        {"GB18030 with a UTF-8 mark", "\xEF\xBB\xBF" + FixtureBytes("alipay-app.csv"), ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString refusal = Refusal(c.bytes);
        if (*c.refusal)
            EXPECT_TRUE(refusal.startsWith(QString::fromUtf8(c.refusal))) << refusal.toStdString();
        else
            EXPECT_EQ(refusal, QString());
    }
    EXPECT_EQ(ReadBill(cases[0].bytes).rows.at(0).goods, QStringLiteral("12\" 显示器"));
    EXPECT_EQ(ReadBill(cases[3].bytes).rows.size(), 7);
}

TEST(BillReader, UnfinishedPaymentsAndLongTextsAreOfferedSafely)
{
    const struct {
        const char *status;
        TUncheckedReason reason;
    } cases[] = {
        {"等待付款", R::NotFinished},     {"等待买家付款", R::NotFinished}, {"处理中", R::NotFinished},
        {"等待对方收款", R::NotFinished}, {"等待确认收货", R::None},        {"交易关闭", R::NotCompleted},
    };
    TBill bill;
    for (const auto &c : cases) {
        TBillRow row;
        row.time = QDateTime(QDate(2026, 11, 1), QTime(8, 0), Qt::UTC);
        row.direction = Out;
        row.counterpart = QString(150, QChar(u'店'));
        row.amountFen = 100;
        row.status = QString::fromUtf8(c.status);
        row.orderNo = row.status;
        bill.rows << row;
    }
    const QList<TPlanRow> plan = PlanImport(bill, {});
    for (qsizetype i = 0; i < plan.size(); ++i) {
        SCOPED_TRACE(cases[i].status);
        EXPECT_EQ(plan.at(i).reason, cases[i].reason);
        EXPECT_EQ(plan.at(i).checked, cases[i].reason == R::None);
        // The item is cut to what an item may hold, as the notes are.
        EXPECT_EQ(plan.at(i).item.size(), kImportItemLimit);
    }
    EXPECT_EQ(ReasonText(R::NotFinished), QStringLiteral("交易未完成"));
}

TEST(BillReader, ABigBillReportsProgressAndCanBeCancelled)
{
    QList<QByteArray> rows;
    for (int i = 0; i < 5000; ++i)
        rows << "2026-11-04 12:30:00|店|饭|支出|¥1.00|支付成功|A" + QByteArray::number(i);
    const QByteArray bytes = WeChatCsv(rows);
    QList<int> seen;
    EXPECT_EQ(ReadBill(bytes, [&](int percent) { seen << percent; return true; }).rows.size(), 5000);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(std::is_sorted(seen.cbegin(), seen.cend()));
    EXPECT_LE(seen.last(), 100);
    EXPECT_THROW(ReadBill(bytes, [](int) { return false; }), TReadCancelled);
}
