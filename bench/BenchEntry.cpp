#include "bench/Bench.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/DbClass.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>

namespace {

QString FreshLedger(const QString &name)
{
    const QString path = BenchDir() + QLatin1Char('/') + name;
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path))
        std::abort();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

// A pending list as the entry panel hands it to the ledger.
QList<QStringList> PendingList(int count)
{
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i)
        rows << QStringList{QStringLiteral("2024-03-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                            QStringLiteral("支出"), QStringLiteral("宝宝奶粉钱 %1").arg(i % 40),
                            THi::FormatAmount(1 + i * 0.37), QStringLiteral("金装喜康力")};
    return rows;
}

} // namespace

TALLYFERN_BENCH(save_1000_rows)
{
    TDbMan db(FreshLedger(QStringLiteral("save.zovalt")));
    const QList<QStringList> rows = PendingList(1000);
    const double ms = TimeMs([&] { db.AddRecords(QStringLiteral("Mum"), rows); });
    ReportFigure(QStringLiteral("save_1000_rows"), ms);
}

// The same rows stored one statement at a time, each its own transaction.
TALLYFERN_BENCH(autocommit_1000_rows)
{
    const QString path = FreshLedger(QStringLiteral("autocommit.zovalt"));
    const QList<QStringList> rows = PendingList(1000);
    const QString user = THi::EncodeText(QStringLiteral("Mum"));
    TConnection conn;
    conn.Open(path);
    const double ms = TimeMs([&] {
        for (const QStringList &r : rows)
            conn.Execute(QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                        "values (?,?,?,?,?,?)"),
                         {user, r[0], r[1], THi::EncodeText(r[2]), r[3].toDouble(), THi::EncodeText(r[4])});
    });
    conn.Close();
    ReportFigure(QStringLiteral("autocommit_1000_rows"), ms);
}
