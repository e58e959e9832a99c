// Faults of the data file: the program reports them in plain words and loses nothing.
#include "base/Errors.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <sys/resource.h>

namespace {

QList<QStringList> Batch(int n, const QString &tag)
{
    QList<QStringList> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows << QStringList{QStringLiteral("2026-01-%1").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                            i % 3 ? QStringLiteral("支出") : QStringLiteral("收入"),
                            QStringLiteral("项目 %1 %2").arg(tag).arg(i % 50),
                            QStringLiteral("%1.25").arg(i % 1000 + 1), QStringLiteral("备注 %1").arg(i)};
    return rows;
}

// Rows in data, read through SQLite directly; -1 when the file cannot be read.
qint64 CountRows(const QString &path)
{
    sqlite3 *db = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "select count(*) from data", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

bool IntegrityOk(const QString &path)
{
    sqlite3 *db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "pragma integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            ok = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) == "ok";
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return ok;
}

QString ExpectError(const std::function<void()> &body)
{
    try {
        body();
    } catch (const TError &e) {
        return e.message();
    }
    ADD_FAILURE() << "no error was raised";
    return QString();
}

constexpr int kBatch = 8000;

} // namespace

// Run by SigkillDuringBatchSave as a separate process: saves one large batch.
TEST(FaultChild, BatchSave)
{
    const QByteArray path = qgetenv("TALLYFERN_FAULT_DB");
    if (path.isEmpty())
        GTEST_SKIP() << "runs only as the child of SigkillDuringBatchSave";
    const QList<QStringList> rows = Batch(kBatch, QStringLiteral("k"));
    TDbMan db(QString::fromLocal8Bit(path));
    std::cout << "saving" << std::endl;
    db.AddRecords(QStringLiteral("U"), NewRecords(rows));
    std::cout << "saved" << std::endl;
}

namespace {
// Starts the child that saves one large batch into path and waits until it begins saving.
// Returns the milliseconds from the start of the save until killAfterMs (or the end of
// the save when killAfterMs is negative).
qint64 RunBatchChild(const QString &path, int killAfterMs)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYFERN_FAULT_DB"), path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=FaultChild.BatchSave")});
    if (!child.waitForStarted(10000))
        return -1;
    QByteArray out;
    while (!out.contains("saving") && child.state() == QProcess::Running) {
        child.waitForReadyRead(20);
        out += child.readAllStandardOutput();
    }
    QElapsedTimer timer;
    timer.start();
    if (killAfterMs >= 0) {
        QThread::msleep(ulong(killAfterMs));
        child.kill();
    }
    child.waitForFinished(60000);
    return timer.elapsed();
}
} // namespace

TEST(StoreFaults, SigkillDuringBatchSaveStoresAllOrNothing)
{
    const int runs = std::getenv("TALLYFERN_KILL_RUNS") ? std::atoi(std::getenv("TALLYFERN_KILL_RUNS")) : 40;
    // One undisturbed save tells how long a save takes here; the kills then land anywhere
    // from its start to a little past its end.
    qint64 saveMs = 0;
    {
        TTempLedger ledger;
        saveMs = RunBatchChild(ledger.Path(), -1);
        ASSERT_EQ(CountRows(ledger.Path()), kBatch);
    }
    int none = 0, whole = 0, partial = 0, broken = 0;
    for (int i = 0; i < runs; ++i) {
        TTempLedger ledger;
        TDbMan(ledger.Path()).AddRecords(QStringLiteral("U"), NewRecords(Batch(3, QStringLiteral("before"))));
        RunBatchChild(ledger.Path(), int(QRandomGenerator::global()->bounded(saveMs * 6 / 5 + 1)));
        const qint64 n = CountRows(ledger.Path());
        if (n == 3)
            ++none;
        else if (n == 3 + kBatch)
            ++whole;
        else
            ++partial;
        if (!IntegrityOk(ledger.Path()))
            ++broken;
    }
    std::cout << runs << " kills within a " << saveMs << " ms save: " << none << " batches not stored, "
              << whole << " stored whole, " << partial << " partial batches, " << broken
              << " damaged files" << std::endl;
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(broken, 0);
}

TEST(StoreFaults, LockHeldByAnotherProcessEndsWithAMessage)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords(QStringLiteral("U"), NewRecords(Batch(2, QStringLiteral("a"))));
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(ledger.Path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin immediate; insert into users(name,pwd) values('x','y');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QString msg = ExpectError([&] { db.AddRecords(QStringLiteral("U"), NewRecords(Batch(10, QStringLiteral("b")))); });
    EXPECT_TRUE(msg.contains(QStringLiteral("正被另一个程序使用"))) << msg.toStdString();
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once the other writer is gone everything works and nothing was half-written.
    EXPECT_EQ(CountRows(ledger.Path()), 2);
    db.AddRecords(QStringLiteral("U"), NewRecords(Batch(10, QStringLiteral("b"))));
    EXPECT_EQ(CountRows(ledger.Path()), 12);
}

TEST(StoreFaults, DiskFullDuringBatchSaveStoresNothing)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecords(QStringLiteral("U"), NewRecords(Batch(5, QStringLiteral("a"))));
    const qint64 size = QFile(ledger.Path()).size();

    // A file-size limit stands in for a full disk: writes past it fail.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = old;
    tight.rlim_cur = rlim_t(size + 16 * 1024);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString msg;
    try {
        db.AddRecords(QStringLiteral("U"), NewRecords(Batch(5000, QStringLiteral("big"))));
    } catch (const TError &e) {
        msg = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(msg.isEmpty()) << "the save past the limit reported no error";
    EXPECT_EQ(CountRows(ledger.Path()), 5);
    EXPECT_TRUE(IntegrityOk(ledger.Path()));
    db.AddRecords(QStringLiteral("U"), NewRecords(Batch(5, QStringLiteral("after"))));
    EXPECT_EQ(CountRows(ledger.Path()), 10);
}

TEST(StoreFaults, MissingReadOnlyAndDamagedFilesGivePlainMessages)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddUser(QStringLiteral("U"), QStringLiteral("p"));
    db.AddRecords(QStringLiteral("U"), NewRecords(Batch(50, QStringLiteral("a"))));

    // Read-only: reading goes on, writing is refused and stores nothing.
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    QFile::setPermissions(ledger.Dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(db.GetUsers(), QStringLiteral("U"));
    QString msg = ExpectError([&] { db.AddRecords(QStringLiteral("U"), NewRecords(Batch(3, QStringLiteral("b")))); });
    EXPECT_TRUE(msg.contains(QStringLiteral("只读"))) << msg.toStdString();
    QFile::setPermissions(ledger.Dir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(CountRows(ledger.Path()), 50);

    // Truncated to its first half: errors, never a crash and never a silent empty ledger.
    const QString copy = ledger.Dir() + QStringLiteral("/half.zovalt");
    QFile::copy(ledger.Path(), copy);
    QFile half(copy);
    ASSERT_TRUE(half.open(QIODevice::ReadWrite));
    half.resize(half.size() / 2);
    half.close();
    try {
        TDbMan damaged(copy);
        damaged.GetUsers();
        damaged.AddRecords(QStringLiteral("U"), NewRecords(Batch(3, QStringLiteral("d"))));
    } catch (const TError &e) {
        EXPECT_FALSE(e.message().isEmpty());
    }

    // Random bytes.
    const QString junk = ledger.Dir() + QStringLiteral("/junk.zovalt");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray bytes(64 * 1024, '\0');
    for (char &c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    f.write(bytes);
    f.close();
    msg = ExpectError([&] { TDbMan(junk).GetUsers(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("不是账本数据库")) || msg.contains(QStringLiteral("不是有效的账本数据库")))
        << msg.toStdString();

    // Missing in the middle of a session: the next operation says so and creates nothing.
    QFile::remove(ledger.Path());
    msg = ExpectError([&] { db.AddRecords(QStringLiteral("U"), NewRecords(Batch(3, QStringLiteral("c")))); });
    EXPECT_TRUE(msg.contains(QStringLiteral("找不到数据文件"))) << msg.toStdString();
    EXPECT_FALSE(QFile::exists(ledger.Path()));
}
