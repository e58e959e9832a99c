// Ledger files made to harm, full disks, links planted at a target and texts far beyond
// what the program writes: nothing stored is lost, nothing in a file runs, and the message
// says what is wrong in the program's own words.
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "faults/FaultSupport.h"
#include "login/LoginPrep.h"
#include "store/DbClass.h"
#include "store/ImportStore.h"
#include "store/LedgerFile.h"
#include "store/TextLimits.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <iostream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace faults;

namespace {

const QString kUser = QStringLiteral("U");

// Each file passes a check that looks only for the three table names. The texts that the
// file's own statements would put into an error box carry the marker "PLANTED".
struct THostile {
    const char *name;
    const char *sql;
};

const THostile kHostile[] = {
    {"DataIsAView", "alter table data rename to data_old; create view data as select * from data_old;"},
    {"TriggerErasesRecords", "create trigger erase after insert on data begin "
                             "delete from data where id<>new.id; end;"},
    {"TriggerCopiesPasswords", "create table leak(name, pwd); create trigger copy after insert on users begin "
                               "insert into leak values(new.name, new.pwd); end;"},
    {"TriggerNeverEnds", "create trigger spin after insert on users begin "
                         "select count(*) from (with recursive r(n) as (select 1 union all select n+1 from r) "
                         "select n from r); end;"},
    {"TriggerRaisesItsOwnText", "create trigger talk before insert on data begin "
                                "select raise(abort, 'PLANTED: call 400-000 to get your data back'); end;"},
    {"UntypedColumns", "drop table data; create table data(id, user, date, type, cate, amount, notes);"},
    {"SecondKeyColumn", "drop table data; create table data(id integer, user text, date text, type text, "
                        "cate text, amount real, notes text, primary key(id, user));"},
};

// A ledger with one account and one record, changed by sql.
void MakeLedger(const QString &path, const char *sql)
{
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(TemplateLedgerPath(), path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TDbMan db(path);
    db.AddUser(kUser, QStringLiteral("pw"));
    db.AddRecord(kUser, QStringLiteral("2009-08-20"), QStringLiteral("支出"), QStringLiteral("房租"),
                 QStringLiteral("50.00"), QString());
    if (sql)
        Exec(path, sql);
}

qint64 LeakedRows(const QString &path)
{
    sqlite3 *db = nullptr;
    qint64 n = -1;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "select count(*) from leak", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

std::unique_ptr<TfrmMain> SearchedWindow(const QString &ledger)
{
    TDbMan(ledger).AddRecords(kUser, NewRecords({{"2009-08-20", "收入", "工资", "100", ""}, {"2009-08-21", "支出", "房租", "50", ""}}));
    auto window = SignedInMainWindow(ledger, kUser);
    TTransPanel *t = TransactionsPanel(window);
    Child<QDateEdit>(t, "dtpTransDate1")->setDate(QDate(2009, 8, 1));
    Child<QDateEdit>(t, "dtpTransDate2")->setDate(QDate(2009, 8, 31));
    Child<QPushButton>(t, "btnTransSearch")->click();
    return window;
}

struct TTarget {
    QAction *action;
    QString name;
};

// The four exports and the backup, each with the name of its target file.
QList<TTarget> Writers(TfrmMain &window)
{
    TTransPanel *t = TransactionsPanel(&window);
    return {{Child<QAction>(t, "btnTransMore_ToXls"), QStringLiteral("t.xls")},
            {Child<QAction>(t, "mnuCatesExport_ToXls"), QStringLiteral("c.xls")},
            {Child<QAction>(t, "btnTransMore_ToHtml"), QStringLiteral("t.html")},
            {Child<QAction>(t, "mnuCatesExport_ToHtml"), QStringLiteral("c.html")},
            {Child<QAction>(&window, "mnuMenu_Backup"), QStringLiteral("b.zovalt")}};
}

// Runs the writer onto target; returns the one message it showed.
TScriptedDialogs::Call RunWriter(const TTarget &w, const QString &target)
{
    TScriptedDialogs &dialogs = Scripted();
    dialogs.fileNames.enqueue(target);
    w.action->trigger();
    const auto messages = dialogs.Of(QStringLiteral("message"));
    EXPECT_EQ(messages.size(), 1) << w.name.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    return messages.isEmpty() ? TScriptedDialogs::Call{} : messages[0];
}

// A small file system of its own, unmounted at the end; empty path when mounting is not
// allowed here.
class TSmallDisk {
public:
    explicit TSmallDisk(const char *options)
    {
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options) == 0)
            m_mounted = true;
    }
    ~TSmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    QString Path() const { return m_mounted ? m_dir.path() : QString(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

void FillDisk(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
}

} // namespace

// A restore source or a ledger that would run its own statements, hide its rows behind a
// view or lack the ledger's columns is refused before anything touches it.
TEST(HostileFiles, RestoreRefusesHarmfulSourcesAndKeepsTheLedger)
{
    QTemporaryDir dir;
    const QString db = PrepareLedgerFile(QString(), nullptr);
    MakeLedger(db, nullptr);
    const QByteArray before = FileBytes(db);
    for (const THostile &h : kHostile) {
        const QString source = dir.filePath(QString::fromLatin1(h.name) + QStringLiteral(".zovalt"));
        MakeLedger(source, h.sql);
        QString why;
        PrepareLedgerFile(source, &why);
        EXPECT_TRUE(why.contains(QStringLiteral("原有的数据保持不变"))) << h.name << why.toStdString();
        EXPECT_TRUE(why.contains(QStringLiteral("不是有效的账本数据库"))) << h.name << why.toStdString();
        EXPECT_FALSE(why.contains(QStringLiteral("PLANTED"))) << h.name;
        EXPECT_EQ(FileBytes(db), before) << h.name;
    }
    // The tables and indexes of the program's own import do not make a file foreign.
    const QString extended = dir.filePath(QStringLiteral("extended.zovalt"));
    MakeLedger(extended, nullptr);
    TImportStore(extended).EnsureTables();
    QString why;
    PrepareLedgerFile(extended, &why);
    EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    EXPECT_EQ(TDbMan(db).GetUsers(), kUser);
}

TEST(HostileFiles, ALedgerWithItsOwnStatementsRunsNothing)
{
    for (const THostile &h : kHostile) {
        TTempLedger ledger;
        MakeLedger(ledger.Path(), h.sql);
        const QByteArray before = FileBytes(ledger.Path());
        TDbMan db(ledger.Path());
        QElapsedTimer timer;
        timer.start();
        // Sign-in re-inserts the account; a save inserts records.
        for (const auto &step : std::initializer_list<std::function<void()>>{
                 [&] { db.ReplaceUser(kUser, QStringLiteral("pw")); },
                 [&] { db.CheckUser(kUser, QStringLiteral("pw")); },
                 [&] { db.AddRecords(kUser, NewRecords({{"2009-08-22", "支出", "菜", "3", ""}})); }}) {
            const QString msg = Failure(step);
            EXPECT_TRUE(msg.contains(QStringLiteral("不是有效的账本数据库"))) << h.name << msg.toStdString();
            EXPECT_FALSE(msg.contains(QStringLiteral("PLANTED"))) << h.name;
        }
        EXPECT_LT(timer.elapsed(), 10000) << h.name;
        EXPECT_EQ(FileBytes(ledger.Path()), before) << h.name;
        if (QByteArray(h.name) == "TriggerCopiesPasswords") {
            EXPECT_EQ(LeakedRows(ledger.Path()), 0);
        }
    }
}

// An index of the file's own, its name a message: refused at the open, and the message
// never carries the name.
TEST(HostileFiles, AConstraintOfTheFileNeverPutsItsTextIntoTheMessage)
{
    TTempLedger ledger;
    MakeLedger(ledger.Path(), "create unique index \"PLANTED: call 400-000\" on data(user);");
    const QString msg = Failure([&] {
        TDbMan(ledger.Path()).AddRecord(kUser, QStringLiteral("2009-08-22"), QStringLiteral("支出"),
                                        QStringLiteral("菜"), QStringLiteral("3"), QString());
    });
    EXPECT_TRUE(msg.contains(QStringLiteral("本程序不会建立的索引"))) << msg.toStdString();
    EXPECT_FALSE(msg.contains(QStringLiteral("PLANTED"))) << msg.toStdString();
    EXPECT_EQ(StoredRecords(ledger.Path()), 1);
}

// A source in write-ahead-log mode keeps rows in its "-wal" file that a copy would lose.
TEST(HostileFiles, ASourceInWalModeIsRefused)
{
    QTemporaryDir dir;
    const QString db = PrepareLedgerFile(QString(), nullptr);
    MakeLedger(db, nullptr);
    const QByteArray before = FileBytes(db);
    const QString source = dir.filePath(QStringLiteral("wal.zovalt"));
    MakeLedger(source, "pragma journal_mode=wal;");
    // An open connection keeps the newest row in the -wal file.
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(source).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "pragma wal_autocheckpoint=0; insert into data(user,date,type,cate,amount,notes) "
                                   "values('x','2009-08-21','支出','','1','')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(QFileInfo::exists(source + QStringLiteral("-wal")));
    QString why;
    PrepareLedgerFile(source, &why);
    sqlite3_close(writer);
    EXPECT_TRUE(why.contains(QStringLiteral("WAL"))) << why.toStdString();
    EXPECT_EQ(FileBytes(db), before);

    // A ledger in that mode is not backed up half either.
    const QString msg = Failure([&] { BackupLedger(source, dir.filePath(QStringLiteral("b.zovalt"))); });
    EXPECT_TRUE(msg.contains(QStringLiteral("WAL"))) << msg.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("b.zovalt"))));
}

// Exports and backup onto a full disk: an error saying so, the old file as it was and no
// temporary file left. A small file system of its own where mounting is allowed, else a
// file-size limit of the process.
TEST(HostileFiles, WritingOntoAFullDiskKeepsTheOldFile)
{
    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    TSmallDisk disk("size=200k");
    const bool mounted = !disk.Path().isEmpty();
    QTemporaryDir fallback;
    const QString folder = mounted ? disk.Path() : fallback.path();
    const auto writers = Writers(*window);
    for (const TTarget &w : writers)
        PutFileBytes(folder + QLatin1Char('/') + w.name, "the old file " + w.name.toUtf8());
    QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);

    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (mounted) {
        FillDisk(folder);
        entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    } else {
        struct rlimit tight = old;
        tight.rlim_cur = 1;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    }
    for (const TTarget &w : writers) {
        const auto message = RunWriter(w, folder + QLatin1Char('/') + w.name);
        EXPECT_EQ(message.icon, IDialogs::Icon::Error) << w.name.toStdString();
        EXPECT_FALSE(message.text.startsWith(QStringLiteral("成功"))) << w.name.toStdString();
        if (mounted) {
            EXPECT_TRUE(message.text.contains(QStringLiteral("磁盘已满")) ||
                        message.text.contains(QStringLiteral("No space")))
                << message.text.toStdString();
        }
        EXPECT_EQ(FileBytes(folder + QLatin1Char('/') + w.name), "the old file " + w.name.toUtf8());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);
    if (!mounted)
        std::cout << "mounting is not allowed here: a file-size limit stood in for the full disk" << std::endl;
}

// A link planted at the chosen name is replaced by the new file; the file it pointed to
// is never written.
TEST(HostileFiles, ALinkAtTheTargetIsReplacedNotFollowed)
{
    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    QTemporaryDir shared, elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("precious.txt"));
    PutFileBytes(victim, "precious");
    for (const TTarget &w : Writers(*window)) {
        const QString target = shared.filePath(w.name);
        ASSERT_TRUE(QFile::link(victim, target));
        const auto message = RunWriter(w, target);
        EXPECT_NE(message.icon, IDialogs::Icon::Error) << message.text.toStdString();
        EXPECT_EQ(FileBytes(victim), "precious") << w.name.toStdString();
        EXPECT_FALSE(QFileInfo(target).isSymLink()) << w.name.toStdString();
        EXPECT_GT(QFileInfo(target).size(), 100) << w.name.toStdString();
    }
}

// A ledger path that is a folder or a pipe says what it is; a backup of a pipe does not wait
// for a writer forever.
TEST(HostileFiles, ALedgerThatIsNoFileSaysWhatItIs)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder.zovalt"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString pipe = dir.filePath(QStringLiteral("pipe.zovalt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString backup = dir.filePath(QStringLiteral("b.zovalt"));

    QString msg = Failure([&] { TDbMan(folder).GetUsers(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("是一个文件夹"))) << msg.toStdString();
    msg = Failure([&] { TDbMan(pipe).GetUsers(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("不是普通文件"))) << msg.toStdString();
    msg = Failure([&] { BackupLedger(pipe, backup); });
    EXPECT_TRUE(msg.contains(QStringLiteral("不是普通文件"))) << msg.toStdString();
    EXPECT_FALSE(QFileInfo::exists(backup));
    msg = Failure([&] { TDbMan(dir.filePath(QStringLiteral("gone.zovalt"))).GetUsers(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("找不到数据文件"))) << msg.toStdString();
}

// The data folder cannot be made: the message names the real reason.
TEST(HostileFiles, AHomeWhereNoFolderCanBeMadeSaysWhy)
{
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldHome); });
    QTemporaryDir dir;
    // A file where a folder of the path should be.
    PutFileBytes(dir.filePath(QStringLiteral("share")), "a file");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("share/deeper"))));
    QString msg = Failure([] { LedgerFilePath(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("不是文件夹"))) << msg.toStdString();

    TSmallDisk readOnly("size=64k,mode=0755");
    if (readOnly.Path().isEmpty())
        GTEST_SKIP() << "mounting a read-only file system is not allowed here";
    ASSERT_EQ(::mount(nullptr, QFile::encodeName(readOnly.Path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    qputenv("XDG_DATA_HOME", QFile::encodeName(readOnly.Path() + QStringLiteral("/.local/share")));
    msg = Failure([] { LedgerFilePath(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("只读"))) << msg.toStdString();
    EXPECT_FALSE(msg.contains(QStringLiteral("No such file"))) << msg.toStdString();
}

// A note of thirty million characters, stored by other means: the search shows it
// shortened, and the record cannot be edited (saving it back would cut it).
TEST(HostileFiles, AHugeNoteIsShownShortenedAndKeptWhole)
{
    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    const QString note = QStringLiteral("长备注") + QString(30'000'000, QLatin1Char('x'));
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(ledger.Path()).constData(), &db), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "insert into data(user,date,type,cate,amount,notes) values(?,'2009-08-22','支出',?,1,?)",
                           -1, &st, nullptr);
        const QByteArray user = THi::EncodeText(kUser).toLatin1(), item = THi::EncodeText(QStringLiteral("杂项")).toLatin1();
        const QByteArray stored = THi::EncodeText(note).toLatin1();
        sqlite3_bind_text(st, 1, user.constData(), int(user.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 2, item.constData(), int(item.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 3, stored.constData(), int(stored.size()), SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    const QByteArray before = FileBytes(ledger.Path());
    TTransPanel *t = TransactionsPanel(window);
    Child<QPushButton>(t, "btnTransSearch")->click();
    QAbstractItemModel *m = Child<QTreeView>(t, "lvwTrans")->model();
    ASSERT_EQ(m->rowCount(), 3);
    const QString shown = m->index(2, 6).data().toString();
    EXPECT_EQ(shown.size(), kLongestText + 1);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("长备注xxx")));
    EXPECT_TRUE(shown.endsWith(QChar(kShortenedMark)));

    Child<QTreeView>(t, "lvwTrans")->setCurrentIndex(m->index(2, 1));
    TScriptedDialogs &dialogs = Scripted();
    Child<QPushButton>(t, "btnTransEdit")->click();
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, IDialogs::Icon::Warning);
    EXPECT_TRUE(dialogs.calls[0].text.contains(QStringLiteral("不能编辑"))) << dialogs.calls[0].text.toStdString();
    EXPECT_EQ(FileBytes(ledger.Path()), before);

    // A text just at the limit is the program's own and is shown whole.
    EXPECT_EQ(ShownText(QString(kLongestText, QLatin1Char('y'))).size(), kLongestText);
    // A character outside the basic plane is never cut in half.
    const QString pairs = QString(kLongestText - 1, QLatin1Char('y')) + QStringLiteral("😀😀");
    EXPECT_EQ(ShownText(pairs), QString(kLongestText - 1, QLatin1Char('y')) + QChar(kShortenedMark));
}
