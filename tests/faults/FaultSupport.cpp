#include "faults/FaultSupport.h"
#include "base/Errors.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <iostream>
#include <pwd.h>
#include <unistd.h>

namespace faults {

namespace {

// Runs one statement that yields a single value on a plain connection.
QByteArray QueryOne(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QByteArray value;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            value = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
}

} // namespace

qint64 StoredRecords(const QString &path)
{
    const QByteArray n = QueryOne(path, "select count(*) from data");
    return n.isEmpty() ? -1 : n.toLongLong();
}

bool LedgerIntact(const QString &path)
{
    return QueryOne(path, "pragma integrity_check") == "ok";
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PutFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ForeignDatabaseBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.db"));
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "create table notes(id integer primary key, body text);"
                     "insert into notes(body) values('shopping');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return FileBytes(path);
}

TLockHolder::TLockHolder(const QString &path) : m_child(std::make_unique<QProcess>())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYFERN_LOCK_DB"), path);
    m_child->setProcessEnvironment(env);
    m_child->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=FaultChild.HoldWriteLock")});
    QByteArray out;
    while (!out.contains("locked") && m_child->state() != QProcess::NotRunning) {
        m_child->waitForReadyRead(50);
        out += m_child->readAllStandardOutput();
    }
    m_holding = out.contains("locked");
}

void TLockHolder::Release()
{
    if (m_child->state() != QProcess::NotRunning) {
        m_child->closeWriteChannel();
        if (!m_child->waitForFinished(10000))
            m_child->kill();
        m_child->waitForFinished(1000);
    }
    m_holding = false;
}

int RunChildTest(const QString &filter, const QStringList &env, QByteArray *output)
{
    QProcess child;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &pair : env)
        e.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    child.setProcessEnvironment(e);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
    if (!child.waitForStarted(10000) || !child.waitForFinished(120000))
        return -1;
    if (output)
        *output = child.readAll();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

bool UnprivilegedIds(unsigned &uid, unsigned &gid)
{
    if (geteuid() != 0)
        return false;
    for (const char *name : {"nobody", "daemon"}) {
        if (const passwd *pw = getpwnam(name)) {
            uid = pw->pw_uid;
            gid = pw->pw_gid;
            return uid != 0;
        }
    }
    return false;
}

void Exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "") << sql;
    sqlite3_free(err);
    sqlite3_close(db);
}

QString Failure(const std::function<void()> &body)
{
    try {
        body();
    } catch (const TError &e) {
        return e.message();
    }
    return QString();
}

} // namespace faults

// The other process of TLockHolder: holds an uncommitted write until its input closes.
TEST(FaultChild, HoldWriteLock)
{
    const QByteArray path = qgetenv("TALLYFERN_LOCK_DB");
    if (path.isEmpty())
        GTEST_SKIP() << "runs only as the child of a test that needs a locked ledger";
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "begin immediate; insert into users(name, pwd) values('eA==', 'eQ==');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::cout << "locked" << std::endl;
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
