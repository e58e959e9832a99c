#include "bench/Bench.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/Summary.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QRadioButton>

#include <algorithm>
#include <random>
#include <vector>

#include <sqlite3.h>

namespace {
const QString kUser = QStringLiteral("宝贝");
} // namespace

// 200,000 records: 3 users, 10 years (2010 to 2019), 200 items, about one in five an income.
// They are stored day by day, as a household enters them, the users taking turns.
QString SeededLedger()
{
    static QString path;
    if (!path.isEmpty())
        return path;
    path = BenchDir() + QStringLiteral("/browse.zovalt");
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QStringList users{kUser, QStringLiteral("妈妈"), QStringLiteral("Dad")};
    QStringList items;
    for (int i = 0; i < 200; ++i)
        items << THi::EncodeText(QStringLiteral("项目%1 日常开销").arg(i));
    const QStringList notes{QString(), QString(), QString(), THi::EncodeText(QStringLiteral("超市")),
                            THi::EncodeText(QStringLiteral("网上买的 ok"))};
    std::mt19937 rng(20110707);
    const QDate first(2010, 1, 1);
    const int days = int(first.daysTo(QDate(2019, 12, 31))) + 1;

    TConnection conn;
    conn.Open(path);
    conn.BeginTransaction();
    sqlite3_stmt *st = conn.Prepare(
        QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,?)"), {});
    std::vector<QByteArray> encodedUsers;
    for (const QString &u : users)
        encodedUsers.push_back(THi::EncodeText(u).toUtf8());
    const QByteArray out = QByteArray("支出"), in = QByteArray("收入");
    std::vector<int> dayOffsets(200000);
    for (int &d : dayOffsets)
        d = int(rng() % unsigned(days));
    std::sort(dayOffsets.begin(), dayOffsets.end());
    for (int i = 0; i < 200000; ++i) {
        const QByteArray &user = encodedUsers[size_t(i % 3)];
        const QByteArray date = first.addDays(dayOffsets[size_t(i)]).toString(Qt::ISODate).toLatin1();
        const QByteArray &type = rng() % 5 == 0 ? in : out;
        const QByteArray item = items[int(rng() % 200)].toLatin1();
        const QByteArray note = notes[int(rng() % 5)].toLatin1();
        sqlite3_bind_text(st, 1, user.constData(), int(user.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, type.constData(), int(type.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, item.constData(), int(item.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 5, double(1 + rng() % 100000) / 100);
        sqlite3_bind_text(st, 6, note.constData(), int(note.size()), SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    conn.Commit();
    conn.Close();
    return path;
}

namespace {

// The median of runs timings, after one run that warms the file cache.
double MedianMs(int runs, const std::function<void()> &body)
{
    body();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(TimeMs(body));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void Summary(const QString &name, const char *from, const char *to)
{
    TDbMan db(SeededLedger());
    const QDate fromDate = QDate::fromString(QString::fromLatin1(from), Qt::ISODate);
    const QDate toDate = QDate::fromString(QString::fromLatin1(to), Qt::ISODate);
    const double ms = MedianMs(5, [&] { db.Search(kUser, fromDate, toDate); });
    ReportFigure(name, ms);
}

// The six statements of a search on a fresh connection, every row stepped, nothing formatted.
void Floor(const QString &name, const char *from, const char *to)
{
    const QString path = SeededLedger();
    const QVariantList range{THi::EncodeText(kUser), QString::fromLatin1(from), QString::fromLatin1(to)};
    const double ms = MedianMs(5, [&] {
        TConnection conn;
        conn.Open(path);
        const std::pair<const char *, QVariantList> statements[] = {
            {TSummarySql::PeriodTotals, range}, {TSummarySql::DayTotals, range},
            {TSummarySql::MonthTotals, range},  {TSummarySql::Records, range},
            {TSummarySql::Ranking, range + QVariantList{kTypeOut}},
            {TSummarySql::Ranking, range + QVariantList{kTypeIn}}};
        for (const auto &[sql, params] : statements) {
            sqlite3_stmt *st = conn.Prepare(QString::fromUtf8(sql), params);
            while (sqlite3_step(st) == SQLITE_ROW) {
            }
            sqlite3_finalize(st);
        }
        conn.Close();
    });
    ReportFigure(name, ms);
}

} // namespace

TALLYFERN_BENCH(browse_1_summary_one_year)
{
    Summary(QStringLiteral("summary_one_year"), "2015-01-01", "2015-12-31");
    Floor(QStringLiteral("floor_one_year"), "2015-01-01", "2015-12-31");
}

TALLYFERN_BENCH(browse_2_summary_all_years)
{
    Summary(QStringLiteral("summary_all_years"), "2010-01-01", "2019-12-31");
    Floor(QStringLiteral("floor_all_years"), "2010-01-01", "2019-12-31");
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
    window.rdoTransactions->setChecked(true);
    TTransPanel *panel = window.pnlTransactions;
    QApplication::processEvents();
    const double ms = MedianMs(5, [&] {
        panel->ShowResult({});
        panel->ShowResult(result);
        QApplication::processEvents();
        window.grab();
    });
    ReportFigure(QStringLiteral("fill_lists_all_years"), ms);
}
