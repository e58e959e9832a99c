#include "bench/Bench.h"
#include "base/HiClass.h"
#include "store/DbClass.h"

#include <QCoreApplication>
#include <QFile>

TALLYFERN_BENCH(encode_decode_100000)
{
    QStringList items;
    for (int i = 0; i < 100000; ++i)
        items << QStringLiteral("宝宝奶粉钱 %1 Milk powder").arg(i);
    qsizetype total = 0;
    const double ms = TimeMs([&] {
        for (const QString &item : items)
            total += THi::DecodeText(THi::EncodeText(item)).size();
    });
    if (total == 0)
        std::abort();
    ReportFigure(QStringLiteral("encode_decode_100000"), ms);
}

TALLYFERN_BENCH(open_empty_ledger)
{
    const QString path = BenchDir() + QStringLiteral("/empty.zovalt");
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TDbMan db(path);
    const int runs = 100;
    const double ms = TimeMs([&] {
        for (int i = 0; i < runs; ++i)
            db.UserExists(QStringLiteral("nobody"));
    });
    ReportFigure(QStringLiteral("open_empty_ledger"), ms / runs);
}

// The first open of a ledger in a process reads all its pages once.
TALLYFERN_BENCH(open_quick_check_200k)
{
    TDbMan db(SeededLedger());
    db.UserExists(QStringLiteral("nobody"));
    const double ms = MedianMs(5, [&] {
        TDbMan::ForgetCheckedFiles();
        db.UserExists(QStringLiteral("nobody"));
    });
    ReportFigure(QStringLiteral("open_quick_check_200k") + ScaleSuffix(), ms);
}
