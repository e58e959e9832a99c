// A backup named on the command line replaces the ledger before anybody signs in, and only
// when it is a sound ledger; otherwise the old ledger stays and the reason is given.
#include "app/MaintenanceSupport.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "login/LoginPrep.h"
#include "store/DbClass.h"
#include "store/LedgerFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Points the per-user data folder at a fresh temporary folder for one test.
class TDataHome {
public:
    TDataHome() : m_old(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }
    ~TDataHome() { qputenv("XDG_DATA_HOME", m_old); }
    QString DataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString Ledger() const { return DataDir() + QStringLiteral("/Tallyfern/db.zovalt"); }
    QString File(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

QList<QStringList> Rows(int n)
{
    QList<QStringList> rows;
    for (int i = 0; i < n; ++i)
        rows << QStringList{QStringLiteral("2025-%1-10").arg(i % 12 + 1, 2, 10, QLatin1Char('0')),
                            QStringLiteral("支出"), QStringLiteral("日用品 %1").arg(i % 40),
                            QStringLiteral("%1.50").arg(i + 1), QStringLiteral("备注 %1").arg(i)};
    return rows;
}

// Leaves beside the ledger the journal of a writer killed in the middle of a change, which
// SQLite plays back into whatever file it finds under the ledger's name.
void LeaveHotJournal(const QString &ledger)
{
    const QString journal = ledger + QStringLiteral("-journal");
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(ledger).constData(), &db), SQLITE_OK);
    // Without syncs the journal header is complete at once, as after a real crash.
    ASSERT_EQ(sqlite3_exec(db, "pragma synchronous=off; begin; delete from users; delete from data;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(QFile::copy(journal, journal + QStringLiteral(".kept")));
    sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_TRUE(QFile::rename(journal + QStringLiteral(".kept"), journal));
}

} // namespace

TEST(Restore, ARoundTripBringsBackTheBackedUpUsersMostRecentFirst)
{
    TDataHome home;
    const QString db = PrepareLedgerFile(QString());
    {
        TDbMan man(db);
        man.AddUser(QStringLiteral("Anna"), QStringLiteral("1"));
        man.AddUser(QStringLiteral("Bob"), QStringLiteral("2"));
        man.AddRecords(QStringLiteral("Bob"), NewRecords(Rows(300)));
        man.ReplaceUser(QStringLiteral("Anna"), QStringLiteral("1"));  // Anna signed in last
    }
    const QString backup = home.File("family.zovalt");
    BackupLedger(db, backup);
    EXPECT_EQ(THi::ReadWholeFile(backup), THi::ReadWholeFile(db));

    {
        TDbMan man(db);
        man.AddUser(QStringLiteral("Carl"), QStringLiteral("3"));
        man.DeleteUser(QStringLiteral("Bob"));
        man.AddRecords(QStringLiteral("Bob"), NewRecords(Rows(5)));
    }
    QString failure;
    EXPECT_EQ(PrepareLedgerFile(backup, &failure), db);
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("Anna\r\nBob"));
    EXPECT_TRUE(TDbMan(db).CheckUser(QStringLiteral("Bob"), QStringLiteral("2")));
    EXPECT_EQ(RecordCount(db, QStringLiteral("Bob")), 300);
    EXPECT_EQ(QFile::permissions(db) & 0x0077, 0);
    EXPECT_EQ(QDir(home.DataDir() + QStringLiteral("/Tallyfern")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"db.zovalt"});
}

TEST(Restore, OnlyAnExistingFileEndingInZovaltInAnyCaseIsRestored)
{
    TDataHome home;
    const QString db = PrepareLedgerFile(QString());
    const QString backup = home.File("b.ZoVaLt");
    ASSERT_TRUE(QFile::copy(db, backup));
    TDbMan(backup).AddUser(QStringLiteral("FromBackup"), QStringLiteral("1"));
    const QString otherExt = home.File("b.bak");
    ASSERT_TRUE(QFile::copy(backup, otherExt));

    for (const QString &arg : {QStringLiteral("none"), otherExt, home.File("missing.zovalt")}) {
        PrepareLedgerFile(arg);
        EXPECT_EQ(TDbMan(db).GetUsers(), QString()) << arg.toStdString();
    }
    PrepareLedgerFile(backup);
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("FromBackup"));
}

TEST(Restore, ARestoreOnTheFirstRunNeedsNoTemplateCopy)
{
    TDataHome home;
    TTempLedger source;
    TDbMan(source.Path()).AddUser(QStringLiteral("Gran"), QStringLiteral("1"));
    const QString backup = home.File("gran.zovalt");
    ASSERT_TRUE(QFile::copy(source.Path(), backup));
    const QString db = PrepareLedgerFile(backup);
    EXPECT_EQ(db, home.Ledger());
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("Gran"));
}

TEST(Restore, AFileThatIsNotASoundLedgerKeepsTheCurrentOneAndSaysWhy)
{
    TDataHome home;
    const QString db = PrepareLedgerFile(QString());
    TDbMan(db).AddUser(QStringLiteral("Keep"), QStringLiteral("1"));
    const QByteArray before = THi::ReadWholeFile(db);

    // A ledger cut off half-way, as by a full disk or an interrupted copy.
    const QString big = home.File("big.zovalt");
    ASSERT_TRUE(QFile::copy(db, big));
    TDbMan(big).AddRecords(QStringLiteral("Keep"), NewRecords(Rows(3000)));
    const QByteArray bigBytes = THi::ReadWholeFile(big);
    const QString cut = home.File("cut.zovalt");
    THi::WriteWholeFile(cut, bigBytes.left(bigBytes.size() / 2));
    // A ledger with some pages in the middle wiped: its schema still reads.
    const QString wiped = home.File("wiped.zovalt");
    QByteArray wipedBytes = bigBytes;
    wipedBytes.replace(wipedBytes.size() / 2, 16384, QByteArray(16384, '\0'));
    THi::WriteWholeFile(wiped, wipedBytes);

    const QString junk = home.File("junk.zovalt");
    THi::WriteWholeFile(junk, QByteArray(4096, 'x'));
    const QString empty = home.File("empty.zovalt");
    THi::WriteWholeFile(empty, QByteArray());
    const QString foreign = home.File("foreign.zovalt");
    sqlite3 *handle = nullptr;
    sqlite3_open(QFile::encodeName(foreign).constData(), &handle);
    sqlite3_exec(handle, "create table users(name, pwd); create table data(x); create table cates(user, out, [in]);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(handle);

    for (const QString &bad : {cut, wiped, junk, empty, foreign}) {
        QString failure;
        EXPECT_EQ(PrepareLedgerFile(bad, &failure), db);
        EXPECT_TRUE(failure.contains(QStringLiteral("原有的数据保持不变"))) << failure.toStdString();
        EXPECT_TRUE(failure.contains(bad)) << failure.toStdString();
        EXPECT_EQ(THi::ReadWholeFile(db), before) << bad.toStdString();
        EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("Keep"));
        // Without a place for the reason, the reason is thrown.
        EXPECT_THROW(PrepareLedgerFile(bad), TError);
    }
    EXPECT_NO_THROW(CheckLedgerFile(big));
}

TEST(Restore, AJournalLeftBesideTheOldLedgerIsNotPlayedIntoTheRestoredOne)
{
    TDataHome home;
    const QString db = PrepareLedgerFile(QString());
    TDbMan(db).AddUser(QStringLiteral("Old"), QStringLiteral("1"));
    TTempLedger source;
    TDbMan(source.Path()).AddUser(QStringLiteral("Restored"), QStringLiteral("1"));
    TDbMan(source.Path()).AddRecords(QStringLiteral("Restored"), NewRecords(Rows(500)));
    const QString backup = home.File("restored.zovalt");
    ASSERT_TRUE(QFile::copy(source.Path(), backup));
    LeaveHotJournal(db);

    QString failure;
    PrepareLedgerFile(backup, &failure);
    EXPECT_EQ(failure, QString());
    EXPECT_FALSE(QFile::exists(db + QStringLiteral("-journal")));
    EXPECT_NO_THROW(CheckLedgerFile(db));
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("Restored"));
    EXPECT_EQ(RecordCount(db, QStringLiteral("Restored")), 500);
}

TEST(Restore, TheProgramStartedWithABackupReplacesItsLedgerBeforeSignIn)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data/Tallyfern"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString db = folder + QStringLiteral("/db.zovalt");
    ASSERT_TRUE(QFile::copy(TemplateLedgerPath(), db));
    QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TDbMan(db).AddUser(QStringLiteral("Old"), QStringLiteral("1"));

    const QString backup = home.filePath(QStringLiteral("一月 backup.zovalt"));
    ASSERT_TRUE(QFile::copy(TemplateLedgerPath(), backup));
    QFile::setPermissions(backup, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TDbMan(backup).AddUser(QStringLiteral("Restored"), QStringLiteral("1"));
    const QByteArray old = THi::ReadWholeFile(db);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(TALLYFERN_BIN_DIR) + QStringLiteral("/tallyfern"), {backup});
    ASSERT_TRUE(program.waitForStarted(10000));

    // The program then waits in the login dialog; the ledger is replaced before that.
    bool replaced = false;
    QElapsedTimer clock;
    clock.start();
    while (!replaced && clock.elapsed() < 20000 && program.state() == QProcess::Running) {
        // The restored ledger replaces the old one by a rename, whole.
        replaced = THi::ReadWholeFile(db) != old;
        if (!replaced)
            QThread::msleep(50);
    }
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(5000);

    EXPECT_TRUE(replaced);
    EXPECT_TRUE(stillRunning) << "the program ended instead of showing the login dialog";
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("Restored"));
}
