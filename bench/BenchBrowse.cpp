#include "bench/Bench.h"
#include "base/HiClass.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/Summary.h"
#include "output/Reports.h"
#include "output/report/CompositeReport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRadioButton>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>


namespace {
const QString kUser = QStringLiteral("宝贝");
} // namespace

// BenchScale() records (200,000 unless scaled): 3 users, 10 years (2010 to 2019), 200 items,
// about one in five an income. They are stored day by day, as a household enters them,
// the users taking turns.
QString SeededLedger()
{
    static QString path;
    if (!path.isEmpty())
        return path;
    path = BenchDir() + QStringLiteral("/browse.zovalt");
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QStringList users{kUser, QStringLiteral("妈妈"), QStringLiteral("Dad")};
    QStringList encodedUsers, items;
    for (const QString &u : users)
        encodedUsers << THi::EncodeText(u);
    for (int i = 0; i < 200; ++i)
        items << THi::EncodeText(QStringLiteral("项目%1 日常开销").arg(i));
    const QStringList notes{QString(), QString(), QString(), THi::EncodeText(QStringLiteral("超市")),
                            THi::EncodeText(QStringLiteral("网上买的 ok"))};
    std::mt19937 rng(20110707);
    const QDate first(2010, 1, 1);
    const int days = int(first.daysTo(QDate(2019, 12, 31))) + 1;
    const int count = BenchScale();

    TConnection conn;
    conn.Open(path);
    conn.BeginTransaction();
    {
        TStatement st(conn, QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,?)"));
        std::vector<int> dayOffsets(size_t(count), 0);
        for (int &d : dayOffsets)
            d = int(rng() % unsigned(days));
        std::sort(dayOffsets.begin(), dayOffsets.end());
        for (int i = 0; i < count; ++i) {
            st.Bind({encodedUsers[i % 3],
                     first.addDays(dayOffsets[size_t(i)]).toString(Qt::ISODate),
                     rng() % 5 == 0 ? kTypeIn : kTypeOut, items[int(rng() % 200)],
                     double(1 + rng() % 100000) / 100, notes[int(rng() % 5)]});
            st.Run();
        }
    }
    conn.Commit();
    conn.Close();
    // The ledger gains its search index on first open, as a ledger of an earlier version does.
    TDbMan(path).UserExists(kUser);
    return path;
}

namespace {

// The six statements a search once ran, on a fresh connection, every row stepped, nothing
// formatted: the least a search of the span can cost.
void RunFloor(const QString &path, const QVariantList &range)
{
    TConnection conn;
    conn.Open(path);
    const std::pair<const char *, QVariantList> statements[] = {
        {TSummarySql::PeriodTotals, range}, {TSummarySql::DayTotals, range},
        {TSummarySql::MonthTotals, range},  {TSummarySql::Records, range},
        {TSummarySql::Ranking, range + QVariantList{kTypeOut}},
        {TSummarySql::Ranking, range + QVariantList{kTypeIn}}};
    for (const auto &[sql, params] : statements)
        TStatement(conn, QString::fromUtf8(sql), params).Run();
    conn.Close();
}

void Summary(const QString &name, const QString &floorName, const QDate &from, const QDate &to)
{
    const QString path = SeededLedger();
    TDbMan db(path);
    const QVariantList range{THi::EncodeText(kUser), from.toString(Qt::ISODate), to.toString(Qt::ISODate)};
    const auto [ms, floorMs] = InterleavedMedianMs(
        5, [&] { db.Search(kUser, from, to); }, [&] { RunFloor(path, range); });
    ReportFigure(name + ScaleSuffix(), ms, floorName + ScaleSuffix(), floorMs);
}

// The peak resident memory of this process so far, in megabytes.
double PeakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// Runs this program again in a child mode and returns what it printed: a fresh process
// measures the peak memory of one piece of work alone.
QString RunChild(const QStringList &arguments)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        std::abort();
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

// The child modes: "--child-search <ledger> <from> <to>" searches once and prints its time
// and the peak memory before and after; "--child-preview ..." lays out the transactions
// report of that search and draws its first page.
int RunChildMode(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    TApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QDate from = QDate::fromString(QString::fromLatin1(argv[3]), Qt::ISODate);
    const QDate to = QDate::fromString(QString::fromLatin1(argv[4]), Qt::ISODate);
    TDbMan db(path);
    if (std::strcmp(argv[1], "--child-search") == 0) {
        const double before = PeakMegabytes();
        TSearchResult result;
        const double ms = TimeMs([&] { result = db.Search(kUser, from, to); });
        std::printf("%.1f %.1f %.1f\n", ms, before, PeakMegabytes());
        return result.records.isEmpty() ? 1 : 0;
    }
    if (std::strcmp(argv[1], "--child-preview") == 0) {
        const TSearchResult result = db.Search(kUser, from, to);
        const double before = PeakMegabytes();
        TCompositeReport composite;
        QImage first;
        const double ms = TimeMs([&] {
            composite.Paged = TransactionsReport(TReportHeader::Of(kUser, result), result.records);
            composite.Prepare();
            first = RenderPageImage(composite.PageStore()->Page(1), QSizeF(96, 96));
        });
        std::printf("%.1f %.1f %.1f %d\n", ms, before, PeakMegabytes(),
                    composite.PageStore()->PageCount());
        return first.isNull() ? 1 : 0;
    }
    return 2;
}

TALLYFERN_BENCH(browse_1_summary_one_year)
{
    Summary(QStringLiteral("summary_one_year"), QStringLiteral("floor_one_year"), QDate(2015, 1, 1),
            QDate(2015, 12, 31));
}

TALLYFERN_BENCH(browse_2_summary_all_years)
{
    Summary(QStringLiteral("summary_all_years"), QStringLiteral("floor_all_years"), QDate(2010, 1, 1),
            QDate(2019, 12, 31));
    const QStringList parts = RunChild({QStringLiteral("--child-search"), SeededLedger(),
                                        QStringLiteral("2010-01-01"), QStringLiteral("2019-12-31")})
                                  .split(QLatin1Char(' '));
    ReportMegabytes(QStringLiteral("summary_all_years") + ScaleSuffix() + QStringLiteral("_peak"),
                    parts.value(2).toDouble());
    ReportMegabytes(QStringLiteral("summary_all_years") + ScaleSuffix() + QStringLiteral("_peak_growth"),
                    parts.value(2).toDouble() - parts.value(1).toDouble());
}

// The print preview of every record of the all-years search: from the command to the first
// page drawn, in a child process whose peak memory is the preview's.
TALLYFERN_BENCH(browse_4_preview_all_first_page)
{
    const QStringList parts = RunChild({QStringLiteral("--child-preview"), SeededLedger(),
                                        QStringLiteral("2010-01-01"), QStringLiteral("2019-12-31")})
                                  .split(QLatin1Char(' '));
    const QString name = QStringLiteral("preview_all") + ScaleSuffix() + QStringLiteral("_first_page");
    ReportFigure(name, parts.value(0).toDouble());
    ReportMegabytes(name + QStringLiteral("_peak"), parts.value(2).toDouble());
    std::printf("%s: %d pages\n", qPrintable(name + QStringLiteral("_report")), parts.value(3).toInt());
}

// The five lists filled from the rows of an all-years search, laid out and painted once.
TALLYFERN_BENCH(browse_3_fill_lists_all_years)
{
    const QString path = SeededLedger();
    TDbMan db(path);
    if (!db.UserExists(kUser))
        db.AddUser(kUser, QStringLiteral("pw"));
    const TSearchResult result = db.Search(kUser, QDate(2010, 1, 1), QDate(2019, 12, 31));

    TfrmMain window;
    window.LoginRunner = [path] { return TLoginResult{path, kUser}; };
    if (!window.FormCreate())
        std::abort();
    window.show();
    window.findChild<QRadioButton *>(QStringLiteral("rdoTransactions"))->setChecked(true);
    auto *panel = window.findChild<TTransPanel *>(QStringLiteral("pnlTransactions"));
    QApplication::processEvents();
    const double ms = MedianMs(5, [&] {
        panel->ShowResult({});
        panel->ShowResult(result);
        QApplication::processEvents();
        window.grab();
    });
    ReportFigure(QStringLiteral("fill_lists_all_years") + ScaleSuffix(), ms);
}
