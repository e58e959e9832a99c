#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"
#include "output/xls/XlsTemplate.h"
#include "output/xls/Workbook.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QString Fixture(const char *name)
{
    return QStringLiteral(TALLYFERN_TEST_DATA "/import/") + QString::fromLatin1(name);
}

// One offered row: "date type item amount-in-fen notes|reason", type "-" for neither.
QStringList Offered(const TBill &bill)
{
    QStringList out;
    for (const TPlanRow &p : PlanImport(bill, {}))
        out << QStringLiteral("%1 %2 %3 %4 %5|%6")
                   .arg(p.bill.date().toString(Qt::ISODate), p.type.isEmpty() ? QStringLiteral("-") : p.type, p.item)
                   .arg(p.amountFen)
                   .arg(p.notes, ReasonText(p.reason));
    return out;
}

const QStringList kSuishouji = {
    "2026-11-02 支出 早餐 1250 豆浆油条|",
    "2026-11-05 收入 工资收入 800000 十一月工资|",
    // The transfer pair (linked by 关联Id) and the balance correction are left out.
    "2026-11-06 -  50000 转到钱包|转账",
    "2026-11-06 -  50000 转到钱包|转账",
    "2026-11-07 -  320 |转账",
    // Two equal bus rides of one day are two records.
    "2026-11-08 支出 公交 200 |",
    "2026-11-08 支出 公交 200 |",
    "2026-11-09 支出 餐饮 123400 聚餐, 同学会|",
};

} // namespace

TEST(OtherForms, EachFormReadRowByRow)
{
    const struct {
        const char *file;
        TBillSource source;
        QStringList rows;
    } cases[] = {
        {"suishouji.csv", TBillSource::Suishouji, kSuishouji},
        {"suishouji.xlsx", TBillSource::Suishouji, kSuishouji},
        {"qianji.csv", TBillSource::Qianji,
         {"2026-11-03 支出 午餐 2550 牛肉面|", "2026-11-04 收入 工资 600000 |", "2026-11-05 -  100000 |转账",
          "2026-11-06 支出 购物 19900 耳机|"}},
        {"koudai.csv", TBillSource::Koudai,
         {"2026-11-10 支出 日用 3500 洗衣液|", "2026-11-11 收入 红包 6600 生日红包|", "2026-11-12 -  20000 |转账"}},
        // Padded cells, the preamble and the "人民币合计" footer; own-card transfers and
        // the credit card repayment are unchecked.
        {"icbc.csv", TBillSource::Icbc,
         {"2026-11-02 支出 某某超市有限公司 8640 某某超市有限公司 消费 超市购物|",
          "2026-11-05 收入 某某科技有限公司 800000 某某科技有限公司 工资 代发工资|",
          "2026-11-06 支出 张小明 200000 张小明 转账 本人账户转出|转账",
          "2026-11-08 支出 张小明 150000 张小明 信用卡还款 还款|转账",
          "2026-11-09 支出 支付宝（中国）网络技术有限公司 5800 支付宝（中国）网络技术有限公司 消费 支付宝-某某餐厅|"}},
        {"cmb.csv", TBillSource::Cmb,
         {"2026-11-02 支出 京东商城 128000 京东商城 快捷支付|", "2026-11-03 收入 李四 500000 李四 转账汇入 还钱|",
          "2026-11-04 支出 招商银行信用卡 30000 招商银行信用卡 信用卡还款|转账"}},
        {"ccb.xlsx", TBillSource::Ccb,
         {"2026-11-02 支出 某某便利店 4500 某某便利店 消费|", "2026-11-03 收入 王五 120000 王五 转账存入|",
          "2026-11-04 支出 某某网店 9990 某某网店 消费|交易未成功", "2026-11-05 支出 张小明 200000 张小明 信用卡还款|转账"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const TBill bill = ReadBillFile(Fixture(c.file));
        EXPECT_EQ(bill.source, c.source);
        EXPECT_EQ(Offered(bill).join(QLatin1Char('\n')).toStdString(), c.rows.join(QLatin1Char('\n')).toStdString());
    }
}

TEST(OtherForms, BankWorkbookInTheOldExcelForm)
{
    // The 建设银行 statement as an Excel 97-2003 workbook: a title block, the header, number
    // cells for the amounts and a footer.
    xls::TWorkbook book = xls::TWorkbook::FromBytes(xls::BuildTemplateWorkbook(
        QStringLiteral("交易明细"), {{QStringLiteral("中国建设银行个人活期账户全部交易明细"), 20, false}}));
    using xls::TCell;
    book.AppendCells(QStringLiteral("交易明细"),
                     {{TCell(QStringLiteral("记账日")), TCell(QStringLiteral("交易日期")), TCell(QStringLiteral("交易金额")),
                       TCell(QStringLiteral("交易类型")), TCell(QStringLiteral("交易对方")), TCell(QStringLiteral("交易状态"))},
                      {TCell(QStringLiteral("20261102")), TCell(QStringLiteral("20261102")), TCell::Number(-45, 2),
                       TCell(QStringLiteral("消费")), TCell(QStringLiteral("某某便利店")), TCell(QStringLiteral("成功"))},
                      {TCell(QStringLiteral("20261103")), TCell::Number(46329, 0), TCell::Number(1200.5, 2),
                       TCell(QStringLiteral("转账存入")), TCell(QStringLiteral("王五")), TCell(QStringLiteral("成功"))},
                      {TCell(QStringLiteral("以上数据仅供参考"))}});
    EXPECT_EQ(Offered(ReadBill(book.ToBytes())).join(QLatin1Char('\n')).toStdString(),
              "2026-11-02 支出 某某便利店 4500 某某便利店 消费|\n2026-11-03 收入 王五 120050 王五 转账存入|");
}

TEST(OtherForms, ABadRowRefusesTheFileButAFooterEndsIt)
{
    QFile file(Fixture("cmb.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // Something that is no date between dated rows is an error, not a footer.
    QByteArray bad = bytes;
    bad.replace("20261103", "2026-13-03");
    try {
        ReadBill(bad);
        ADD_FAILURE() << "read";
    } catch (const TError &e) {
        EXPECT_EQ(e.message().toStdString(), std::string("第 5 行的日期“2026-13-03”无法识别，没有导入任何记录"));
    }
    bad = bytes;
    bad.replace("-300.00", "-3OO.00");
    EXPECT_THROW(ReadBill(bad), TError);
    // The same file read twice gives the same keys, the equal rows told apart.
    const QList<TPlanRow> a = PlanImport(ReadBillFile(Fixture("suishouji.csv")), {});
    const QList<TPlanRow> b = PlanImport(ReadBillFile(Fixture("suishouji.xlsx")), {});
    ASSERT_EQ(a.size(), b.size());
    EXPECT_NE(a.at(5).key, a.at(6).key);
    for (qsizetype i = 0; i < a.size(); ++i)
        EXPECT_EQ(a.at(i).key, b.at(i).key) << i;
}
