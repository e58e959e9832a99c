#include "bench/Bench.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"
#include "store/ImportStore.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>

namespace {

// A WeChat Pay bill of count transactions, as the app writes it (UTF-8 with a byte-order mark).
QByteArray WeChatBill(int count)
{
    QString text = QStringLiteral("微信支付账单明细\r\n微信昵称：[小明]\r\n"
                                  "起始时间：[2026-01-01 00:00:00] 终止时间：[2026-12-31 23:59:59]\r\n"
                                  "----------------------微信支付账单明细列表--------------------\r\n"
                                  "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\r\n");
    for (int i = 0; i < count; ++i) {
        const bool income = i % 10 == 0;
        text += QStringLiteral("2026-%1-%2 12:%3:00,商户消费,商户%4,商品 %5,%6,\"¥%7.%8\",零钱,%9,42000%10\t,M%10\t,/\r\n")
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 200)
                    .arg(i)
                    .arg(income ? QStringLiteral("收入") : QStringLiteral("支出"))
                    .arg(1 + i % 1500)
                    .arg(i % 100, 2, 10, QLatin1Char('0'))
                    .arg(i % 7 == 0 ? QStringLiteral("已退款(￥0.50)") : QStringLiteral("支付成功"))
                    .arg(i, 8, 10, QLatin1Char('0'));
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace

TALLYFERN_BENCH(import_parse_10000)
{
    const QByteArray bytes = WeChatBill(10000);
    QList<TPlanRow> plan;
    const double ms = TimeMs([&] { plan = PlanImport(ReadBill(bytes), {}); });
    if (plan.size() != 10000)
        std::abort();
    ReportFigure(QStringLiteral("import_parse_10000"), ms);
}

TALLYFERN_BENCH(import_store_10000)
{
    const QString path = BenchDir() + QStringLiteral("/import.zovalt");
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path))
        std::abort();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QList<TImportRecord> records;
    for (const TPlanRow &row : PlanImport(ReadBill(WeChatBill(10000)), {}))
        if (row.checked)
            records << ToRecord(row);
    TImportStore store(path);
    store.EnsureTables();
    int stored = 0;
    const double ms = TimeMs([&] { stored = store.Import(QStringLiteral("Mum"), QStringLiteral("bill.csv"), records, {}); });
    if (stored != 10000)
        std::abort();
    ReportFigure(QStringLiteral("import_store_10000"), ms);
}

TALLYFERN_BENCH(import_undo_20000)
{
    const QString path = BenchDir() + QStringLiteral("/undo.zovalt");
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path))
        std::abort();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QList<TImportRecord> records;
    for (const TPlanRow &row : PlanImport(ReadBill(WeChatBill(20000)), {}))
        if (row.checked)
            records << ToRecord(row);
    TImportStore store(path);
    store.EnsureTables();
    if (store.Import(QStringLiteral("Mum"), QStringLiteral("bill.csv"), records, {}) != 20000)
        std::abort();
    int removed = 0;
    const double ms = TimeMs([&] { removed = store.UndoLastImport(QStringLiteral("Mum")); });
    if (removed != 20000)
        std::abort();
    ReportFigure(QStringLiteral("import_undo_20000"), ms);
}

namespace {

// A 随手记 CSV export of count records (ten years of a family's), as the app writes it.
QByteArray SuishoujiExport(int count)
{
    QString text = QStringLiteral("随手记导出文件(headers:v5;app:android;date:2026-12-01)\r\n"
                                  "交易类型,日期,类别,子类别,账户,账户币种,金额,成员,备注,关联Id\r\n");
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("%1,20%2-%3-%4 %5:%6:00,餐饮,子类%7,现金,CNY,\"%8.%9\",,备注 %10,\r\n")
                    .arg(i % 10 == 0 ? QStringLiteral("收入") : (i % 50 == 1 ? QStringLiteral("转出") : QStringLiteral("支出")))
                    .arg(16 + i % 10)
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(i % 24, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 40)
                    .arg(i % 3 == 0 ? QStringLiteral("1,%1").arg(100 + i % 900) : QString::number(1 + i % 900))
                    .arg(i % 100, 2, 10, QLatin1Char('0'))
                    .arg(i);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace

TALLYFERN_BENCH(import_mapped_parse_100000)
{
    const QByteArray bytes = SuishoujiExport(100000);
    QList<TPlanRow> plan;
    const double ms = TimeMs([&] { plan = PlanImport(ReadBill(bytes), {}); });
    if (plan.size() != 100000)
        std::abort();
    ReportFigure(QStringLiteral("import_mapped_parse_100000"), ms);
}
