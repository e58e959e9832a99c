#include "bench/Bench.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/DbClass.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>
#include <vector>

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
QList<TNewRecord> PendingList(int count)
{
    QList<TNewRecord> rows;
    for (int i = 0; i < count; ++i)
        rows.append({QDate(2024, 3, 1 + i % 28), kTypeOut, QStringLiteral("宝宝奶粉钱 %1").arg(i % 40),
                     100 + TFen(i) * 37, QStringLiteral("金装喜康力")});
    return rows;
}

} // namespace

// The floor: the same rows, already encoded, through one bare prepared insert in one
// transaction on an open connection.
TALLYFERN_BENCH(save_1000_rows)
{
    const QString path = FreshLedger(QStringLiteral("save.zovalt"));
    TDbMan db(path);
    db.UserExists(QStringLiteral("Mum"));  // the first open adds the search index
    const QList<TNewRecord> rows = PendingList(1000);
    std::vector<QVariantList> encoded;
    for (const TNewRecord &r : rows)
        encoded.push_back({THi::EncodeText(QStringLiteral("Mum")), r.date.toString(Qt::ISODate), r.type,
                           THi::EncodeText(r.item), YuanFromFen(r.amount), THi::EncodeText(r.notes)});
    TConnection conn;
    conn.Open(path);
    const auto [ms, floorMs] = InterleavedMedianMs(
        5, [&] { db.AddRecords(QStringLiteral("Mum"), rows); },
        [&] {
            conn.BeginTransaction();
            {
                TStatement insert(conn, QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                                       "values (?,?,?,?,?,?)"));
                for (const QVariantList &values : encoded) {
                    insert.Bind(values);
                    insert.Run();
                }
            }
            conn.Commit();
        });
    conn.Close();
    ReportFigure(QStringLiteral("save_1000_rows"), ms, QStringLiteral("floor_save_1000_rows"), floorMs);
}

// The same rows stored one statement at a time, each its own transaction.
TALLYFERN_BENCH(autocommit_1000_rows)
{
    const QString path = FreshLedger(QStringLiteral("autocommit.zovalt"));
    const QList<TNewRecord> rows = PendingList(1000);
    const QString user = THi::EncodeText(QStringLiteral("Mum"));
    TConnection conn;
    conn.Open(path);
    const double ms = TimeMs([&] {
        for (const TNewRecord &r : rows)
            conn.Execute(QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                        "values (?,?,?,?,?,?)"),
                         {user, r.date.toString(Qt::ISODate), r.type, THi::EncodeText(r.item),
                          YuanFromFen(r.amount), THi::EncodeText(r.notes)});
    });
    conn.Close();
    ReportFigure(QStringLiteral("autocommit_1000_rows"), ms);
}
