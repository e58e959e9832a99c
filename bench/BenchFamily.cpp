#include "bench/Bench.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/FamilyStore.h"

#include <QFile>

#include <cstdio>

// The family summary of one year of the benchmark ledger, its records shared by four
// members who all agreed (every fourth record moved to a fourth member).
TALLYFERN_BENCH(family_one_year)
{
    const QString path = BenchDir() + QStringLiteral("/family.zovalt");
    QFile::remove(path);
    QFile::copy(SeededLedger(), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QStringList members{QStringLiteral("宝贝"), QStringLiteral("妈妈"), QStringLiteral("Dad"),
                              QStringLiteral("爷爷")};
    {
        TConnection conn;
        conn.Open(path);
        conn.Execute(QStringLiteral("update data set user=? where id % 4 = 0"), {THi::EncodeText(members[3])});
        conn.Close();
    }
    TFamilyStore store(path);
    for (const QString &member : members) {
        store.AddUser(member, QStringLiteral("pw"));
        store.SetAgreed(member, true);
    }
    TFen total = 0;
    const double ms = MedianMs(9, [&] {
        const TFamilySummary summary = store.Summary(members[0], QDate(2019, 1, 1), QDate(2019, 12, 31));
        total = summary.outTotal;
    });
    if (total <= 0)
        std::fprintf(stderr, "family_one_year: the summary is empty\n");
    ReportFigure(QStringLiteral("family_one_year") + ScaleSuffix(), ms);
}
