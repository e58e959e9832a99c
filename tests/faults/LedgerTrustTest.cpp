// Ledger files are trusted by construction: exactly the program's own tables and indexes,
// restores that copy rows and never bytes, statements with a bound, damaged pages found
// at the first open. Each hostile file is built here with sqlite3 statements.
#include "base/Errors.h"
#include "base/HiClass.h"
#include "faults/FaultSupport.h"
#include "fuzz/LedgerFuzz.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/ImportStore.h"
#include "store/LedgerFile.h"
#include "store/LedgerSnapshot.h"
#include "store/BudgetStore.h"
#include "store/RecurringStore.h"
#include "login/LoginPrep.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <sys/stat.h>

using namespace faults;

namespace {

const QString kUser = QStringLiteral("alice");

// A ledger with alice's account and one record, then changed by sql.
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

// The data table as the program defines it, with the given text before its closing bracket.
#define DATA_TABLE(extra)                                                                              \
    "drop table data; create table data (id INTEGER PRIMARY KEY AUTOINCREMENT, user TEXT NOT NULL DEFAULT '', " \
    "date TEXT NOT NULL, type TEXT NOT NULL, cate TEXT NOT NULL DEFAULT '', amount REAL NOT NULL, "        \
    "notes TEXT NOT NULL DEFAULT ''" extra ");"

struct TForeign {
    const char *name;
    const char *sql;
    const char *reason;  // what the message must say
};

const TForeign kForeign[] = {
    {"UniqueReplaceOnData", DATA_TABLE(", UNIQUE(user,type) ON CONFLICT REPLACE"), "数据表“data”的定义与本程序建立的不同"},
    {"UniquePasswordReplacesUsers",
     "drop table users; create table users (name TEXT NOT NULL DEFAULT '', pwd TEXT NOT NULL DEFAULT '', "
     "UNIQUE(pwd) ON CONFLICT REPLACE);",
     "数据表“users”的定义与本程序建立的不同"},
    {"IdPrimaryKeyDesc",
     "drop table data; create table data (id INTEGER PRIMARY KEY DESC, user TEXT NOT NULL DEFAULT '', "
     "date TEXT NOT NULL, type TEXT NOT NULL, cate TEXT NOT NULL DEFAULT '', amount REAL NOT NULL, "
     "notes TEXT NOT NULL DEFAULT '');",
     "数据表“data”的定义与本程序建立的不同"},
    {"ExpressionIndex", "create index slow on data(printf('%.*c', 1e5, 'x'));", "本程序不会建立的索引“slow”"},
    {"PartialIndex", "create index part on data(user) where amount > 0;", "本程序不会建立的索引“part”"},
    {"OwnIndexNameOtherColumns", "drop index data_records; create index data_records on data(notes);",
     "索引“data_records”的定义与本程序建立的不同"},
    {"CheckConstraint", DATA_TABLE(", CHECK (length(notes) < 1000000000)"), "数据表“data”的定义与本程序建立的不同"},
    {"GeneratedColumn", "alter table data add column g generated always as (zeroblob(20000000)) virtual;",
     "数据表“data”的定义与本程序建立的不同"},
    {"PlanTableWithReplace",
     "drop table budgets; create table budgets (user TEXT NOT NULL, cate TEXT NOT NULL, month TEXT NOT NULL, amount INTEGER, "
     "PRIMARY KEY (user, cate, month) ON CONFLICT REPLACE);",
     "数据表“budgets”的定义与本程序建立的不同"},
    {"ForeignTable", "create table savings_goals(user text, month text, amount real);", "本程序不会建立的数据表“savings_goals”"},
    {"PlannerStatistics", "analyze;", "本程序不会建立的数据表“sqlite_stat1”"},
    {"Trigger", "create trigger erase after insert on data begin delete from data; end;", "触发器“erase”"},
    {"View", "create view v as select 1;", "视图“v”"},
    {"NameCarriesAMessage", "create table \"PLANTED\ncall 400-000 now, all your data is lost\"(x);", "本程序不会建立的数据表“（名称中含有特殊字符）”"},
    {"MissingTable", "drop table cates;", "缺少数据表“cates”"},
};

} // namespace

// Every object of a file is compared with the program's own: a constraint, an index, a
// column or a table of the file's own is refused at the open and as a restore source,
// with the kind and name in the message and nothing of the file's statements; the ledger
// in use and the file are left as they were.
TEST(LedgerTrust, OnlyTheProgramsOwnSchemaIsAccepted)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    MakeLedger(ledger, nullptr);
    const QByteArray kept = FileBytes(ledger);
    for (const TForeign &f : kForeign) {
        const QString path = dir.filePath(QString::fromLatin1(f.name) + QStringLiteral(".zovalt"));
        MakeLedger(path, f.sql);
        const QByteArray before = FileBytes(path);
        const QString atOpen = Failure([&] { TDbMan(path).ReplaceUser(QStringLiteral("bob"), QStringLiteral("pw")); });
        EXPECT_TRUE(atOpen.contains(QStringLiteral("不是有效的账本数据库"))) << f.name << atOpen.toStdString();
        EXPECT_TRUE(atOpen.contains(QString::fromUtf8(f.reason))) << f.name << atOpen.toStdString();
        EXPECT_FALSE(atOpen.contains(QStringLiteral("PLANTED\n"))) << f.name;
        EXPECT_FALSE(atOpen.contains(QStringLiteral("printf"))) << f.name;
        EXPECT_FALSE(atOpen.contains(QStringLiteral("400-000"))) << f.name;
        EXPECT_EQ(FileBytes(path), before) << f.name;

        const QString atRestore = Failure([&] {
            RestoreLedgerWithSnapshot(path, ledger, dir.filePath(QStringLiteral("snapshots")), {});
        });
        EXPECT_TRUE(atRestore.contains(QString::fromUtf8(f.reason))) << f.name << atRestore.toStdString();
        EXPECT_EQ(FileBytes(ledger), kept) << f.name;
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("snapshots"))));
}

// Ledgers the program wrote keep opening: the delivered empty one, one of the version
// before the covering index (which the open replaces), one with every table the program
// adds, and one whose statements were written with other quoting and spacing.
TEST(LedgerTrust, LedgersTheProgramWroteKeepOpening)
{
    struct TOwn {
        const char *name;
        const char *sql;
    };
    const TOwn own[] = {
        {"Delivered", nullptr},
        {"EarlierIndex", "drop index data_records; CREATE INDEX data_user_date ON data (user, date, type, cate, amount);"},
        {"OtherSpelling",
         "drop table cates; CREATE TABLE \"cates\" (\n  \"user\" text not null default '',  -- whose\n"
         "  [out] TEXT NOT NULL DEFAULT '', `in` TEXT NOT NULL DEFAULT '' )"},
    };
    for (const TOwn &o : own) {
        TTempLedger ledger;
        MakeLedger(ledger.Path(), o.sql);
        TDbMan db(ledger.Path());
        EXPECT_EQ(Failure([&] { db.ReplaceUser(QStringLiteral("bob"), QStringLiteral("1")); }), QString()) << o.name;
        EXPECT_EQ(db.GetUsers(), QStringLiteral("bob\r\nalice")) << o.name;
        // Import and plan tables are added at the open and accepted afterwards.
        TImportStore(ledger.Path()).EnsureTables();
        EXPECT_EQ(Failure([&] { db.CheckUser(kUser, QStringLiteral("pw")); }), QString()) << o.name;
        EXPECT_EQ(StoredRecords(ledger.Path()), 1) << o.name;
    }
}

// A restore copies the rows of the checked source into a ledger built from the program's
// own statements: accounts in their order, records with their numbers, the automatic
// numbers where they were; nothing of the source's free pages comes along.
TEST(LedgerTrust, ARestoreCopiesRowsNotBytes)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    MakeLedger(ledger, nullptr);
    const QString source = dir.filePath(QStringLiteral("source.zovalt"));
    MakeLedger(source, nullptr);
    {
        TDbMan db(source);
        db.AddUser(QStringLiteral("bob"), QStringLiteral("2"));
        db.AddRecord(kUser, QStringLiteral("2009-08-21"), QStringLiteral("支出"), QStringLiteral("菜"),
                     QStringLiteral("3.5"), QStringLiteral("DELETED-NOTE-0123456789"));
        db.AddRecord(kUser, QStringLiteral("2009-08-22"), QStringLiteral("收入"), QStringLiteral("工资"),
                     QStringLiteral("100"), QString());
    }
    Exec(source, "pragma secure_delete=off; delete from data where id=2; update sqlite_sequence set seq=40 where name='data';");
    ASSERT_TRUE(FileBytes(source).contains(THi::EncodeText(QStringLiteral("DELETED-NOTE-0123456789")).toLatin1()));

    const QString snapshot = RestoreLedgerWithSnapshot(source, ledger, dir.filePath(QStringLiteral("snapshots")), {});
    EXPECT_TRUE(QFileInfo::exists(snapshot));
    EXPECT_FALSE(FileBytes(ledger).contains(THi::EncodeText(QStringLiteral("DELETED-NOTE-0123456789")).toLatin1()));
    EXPECT_TRUE(LedgerIntact(ledger));
    TDbMan db(ledger);
    EXPECT_EQ(db.GetUsers(), QStringLiteral("bob\r\nalice"));
    const TSearchResult found = db.Search(kUser, QDate(2009, 8, 1), QDate(2009, 8, 31));
    ASSERT_EQ(found.records.size(), 2);
    EXPECT_EQ(found.records[0].id, 1);
    EXPECT_EQ(found.records[1].id, 3);
    db.AddRecord(kUser, QStringLiteral("2009-08-23"), QStringLiteral("支出"), QStringLiteral("菜"), QStringLiteral("1"), QString());
    EXPECT_EQ(db.Search(kUser, QDate(2009, 8, 23), QDate(2009, 8, 23)).records.value(0).id, 41);
    EXPECT_EQ(QFile::permissions(ledger) & 0x0077, 0);
}

// A source in the ordinary journal mode with a "-wal" file planted beside it: the check and
// the copy read the same bytes (the main file alone), so what was checked is what arrives.
TEST(LedgerTrust, AWalPlantedBesideARestoreSourceIsNeverRead)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    MakeLedger(ledger, nullptr);
    const QByteArray kept = FileBytes(ledger);
    // The main file carries a trigger; a write-ahead log without it is planted beside it.
    const QString made = dir.filePath(QStringLiteral("made.zovalt"));
    MakeLedger(made, "create trigger erase after insert on data begin delete from data; end;");
    Exec(made, "pragma journal_mode=wal;");
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(made).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "pragma wal_autocheckpoint=0; drop trigger erase;", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString source = dir.filePath(QStringLiteral("source.zovalt"));
    QByteArray main = FileBytes(made);
    main[18] = 1;
    main[19] = 1;
    PutFileBytes(source, main);
    PutFileBytes(source + QStringLiteral("-wal"), FileBytes(made + QStringLiteral("-wal")));
    sqlite3_close(writer);

    const QString why = Failure([&] { RestoreLedgerWithSnapshot(source, ledger, dir.filePath(QStringLiteral("s")), {}); });
    EXPECT_TRUE(why.contains(QStringLiteral("触发器"))) << why.toStdString();
    EXPECT_EQ(FileBytes(ledger), kept);
    EXPECT_EQ(TDbMan(ledger).GetUsers(), kUser);
}

// Every connection: pages read, never mapped (a file cut short under a search gives an
// error, not a crash), cells checked, the file's schema trusted with nothing.
TEST(LedgerTrust, ConnectionsReadPagesAndBoundEveryStep)
{
    TTempLedger ledger;
    MakeLedger(ledger.Path(), nullptr);
    TDbMan(ledger.Path()).AddRecords(kUser, NewRecords(QList<QStringList>(3000, {"2010-01-01", "支出", "菜", "1", "note"})));
    TConnection conn;
    conn.Open(ledger.Path());
    const struct {
        const char *pragma;
        qint64 value;
    } settings[] = {{"pragma mmap_size", 0}, {"pragma cell_size_check", 1}, {"pragma trusted_schema", 0}};
    for (const auto &s : settings) {
        TStatement st(conn, QString::fromLatin1(s.pragma));
        ASSERT_TRUE(st.Next());
        EXPECT_EQ(st.Integer(0), s.value) << s.pragma;
    }
    EXPECT_EQ(sqlite3_limit(conn.Handle(), SQLITE_LIMIT_ATTACHED, -1), 0);
    EXPECT_THROW(conn.Execute(QStringLiteral("attach ':memory:' as other")), TError);

    // Cut short by another process in the middle of a search.
    conn.Open(ledger.Path());
    {
        TStatement st(conn, QStringLiteral("select notes from data"));
        ASSERT_TRUE(st.Next());
        ASSERT_TRUE(QFile::resize(ledger.Path(), 8192));
        EXPECT_THROW(while (st.Next()) {}, TError);
    }
}

// A statement step that runs too long is stopped with a plain message, and what its
// transaction wrote is rolled back.
TEST(LedgerTrust, ALongStatementIsStoppedAndNothingIsHalfWritten)
{
    TTempLedger ledger;
    MakeLedger(ledger.Path(), nullptr);
    SetStatementTimeLimit(200);
    const auto restore = qScopeGuard([] { SetStatementTimeLimit(kStatementTimeLimitMs); });
    TConnection conn;
    conn.Open(ledger.Path());
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("insert into data(user,date,type,amount) values('x','2010-01-01','支出',1)"));
    const QString why = Failure([&] {
        conn.Execute(QStringLiteral("with recursive r(n) as (select 1 union all select n+1 from r) "
                                    "select count(*) from r"));
    });
    EXPECT_TRUE(why.startsWith(QStringLiteral("数据文件中的操作耗时过长，已停止。"))) << why.toStdString();
    EXPECT_FALSE(conn.IsOpen());
    EXPECT_EQ(StoredRecords(ledger.Path()), 1);
    EXPECT_TRUE(LedgerIntact(ledger.Path()));
}

// A ledger with damaged pages in the middle of its records is refused at its first open,
// before sign-in, search, save or delete; the message names the newest copy to restore from.
TEST(LedgerTrust, ADamagedLedgerIsRefusedAtOpenNamingTheNewestCopy)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    MakeLedger(ledger, nullptr);
    TDbMan(ledger).AddRecords(kUser, NewRecords(QList<QStringList>(3000, {"2010-01-01", "支出", "菜", "1", "note"})));
    QByteArray bytes = FileBytes(ledger);
    bytes.replace(bytes.size() / 2, 8192, QByteArray(8192, '\x5a'));
    PutFileBytes(ledger, bytes);
    for (const bool withCopy : {false, true}) {
        QString newest;
        if (withCopy) {
            ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("snapshots"))));
            PutFileBytes(dir.filePath(QStringLiteral("snapshots/db-before-restore-20200101-000000.zovalt")), "old");
            newest = dir.filePath(QStringLiteral("snapshots/db-before-restore-20260101-000000.zovalt"));
            PutFileBytes(newest, "new");
        }
        TDbMan::ForgetCheckedFiles();
        const QString why = Failure([&] { TDbMan(ledger).CheckUser(kUser, QStringLiteral("pw")); });
        EXPECT_TRUE(why.contains(QStringLiteral("已损坏"))) << why.toStdString();
        if (withCopy)
            EXPECT_TRUE(why.contains(newest)) << why.toStdString();
        else
            EXPECT_TRUE(why.contains(QStringLiteral("没有找到可以恢复的副本"))) << why.toStdString();
        EXPECT_EQ(FileBytes(ledger), bytes);
    }
}

// Automatic numbers planted at the largest integer: the save says why, not "disk full".
TEST(LedgerTrust, NumbersAtTheirLargestSayWhyTheSaveFailed)
{
    TTempLedger ledger;
    MakeLedger(ledger.Path(), "update sqlite_sequence set seq=9223372036854775807 where name='data';");
    const QString why = Failure([&] {
        TDbMan(ledger.Path()).AddRecords(kUser, NewRecords({{"2010-01-01", "支出", "菜", "1", ""}}));
    });
    EXPECT_TRUE(why.contains(QStringLiteral("编号已经用到了最大值"))) << why.toStdString();
    EXPECT_FALSE(why.contains(QStringLiteral("磁盘已满"))) << why.toStdString();
    EXPECT_EQ(StoredRecords(ledger.Path()), 1);
}

// The seeds of the ledger fuzzer and every input it kept, replayed: each is refused with a
// message or searched and saved into, never a crash.
TEST(LedgerTrust, FuzzedLedgerFilesGiveAMessageOrWork)
{
    QTemporaryDir work;
    int ran = 0;
    for (const char *folder : {"/fuzz/regressions/ledger_file", "/fuzz/corpus/ledger_file"}) {
        const QDir dir(QStringLiteral(TALLYFERN_SOURCE_DIR) + QLatin1String(folder));
        for (const QString &name : dir.entryList(QDir::Files)) {
            SCOPED_TRACE(name.toStdString());
            FuzzOneLedger(FileBytes(dir.filePath(name)), work.filePath(QStringLiteral("db.zovalt")));
            ++ran;
        }
    }
    EXPECT_GT(ran, 0);
}

// Values planted in the program's own tables are bounded like typed ones: a recurring
// record from the year 100 offers nothing (not 23,124 pending rows), and budgets of the
// largest integer count as no budget, so that totals never wrap.
TEST(LedgerTrust, PlantedRecurringAndBudgetValuesAreBoundedLikeTypedOnes)
{
    TTempLedger ledger;
    MakeLedger(ledger.Path(), nullptr);
    const QString user = THi::EncodeText(kUser);
    TRecurringStore recurring(ledger.Path());
    EXPECT_TRUE(recurring.Due(kUser, QDate(2026, 1, 15)).isEmpty());  // the tables exist now
    const QByteArray sql = QStringLiteral(
        "insert into recurring (user,type,cate,amount,notes,day,first_month,last_month) "
        "values ('%1','支出','%2',100,'',1,'0100-01','');"
        "insert into budgets (user,cate,month,amount) values ('%1','%2','2026-01',9223372036854775807),"
        "('%1','%3','2026-01',9223372036854775807),('%1','%4','2026-01',9223372036854775807);")
                               .arg(user, THi::EncodeText(QStringLiteral("房租")), THi::EncodeText(QStringLiteral("水")),
                                    THi::EncodeText(QStringLiteral("电")))
                               .toUtf8();
    Exec(ledger.Path(), sql.constData());
    EXPECT_TRUE(recurring.Due(kUser, QDate(2026, 1, 15)).isEmpty());
    TRecurring typed{0, QStringLiteral("支出"), QStringLiteral("房租"), 100, QString(), 1, QDate(100, 1, 1), QDate()};
    EXPECT_THROW(recurring.Add(kUser, typed), TError);
    for (const TBudgetLine &line : TBudgetStore(ledger.Path()).MonthLines(kUser, QDate(2026, 1, 1), {QStringLiteral("房租")}))
        EXPECT_FALSE(line.budget.has_value()) << line.item.toStdString();
}

// At start: a copy left by a replacement that was killed is removed once it is ten minutes
// old, a ledger folder and file others may write to become the owner's alone, and a ledger
// that is a link never has its target's mode changed.
TEST(LedgerTrust, TheLedgerFolderIsTidiedAtStart)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    MakeLedger(ledger, nullptr);
    const QString old = dir.filePath(QStringLiteral(".db.zovalt.Ab12Cd")), fresh = dir.filePath(QStringLiteral(".db.zovalt.Zz99Yy"));
    for (const QString &copy : {old, old + QStringLiteral("-journal"), fresh})
        PutFileBytes(copy, "half a ledger");
    for (const QString &copy : {old, old + QStringLiteral("-journal")}) {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    }
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    ::chmod(QFile::encodeName(ledger).constData(), 0666);
    TidyLedgerFolder(ledger);
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_FALSE(QFileInfo::exists(old + QStringLiteral("-journal")));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(ledger).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(TDbMan(ledger).GetUsers(), kUser);

    // A link in the ledger's place: its target keeps its mode.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target"));
    PutFileBytes(target, "not yours");
    ::chmod(QFile::encodeName(target).constData(), 0444);
    const QString link = dir.filePath(QStringLiteral("link.zovalt"));
    ASSERT_TRUE(QFile::link(target, link));
    MakeWritable(link);
    TidyLedgerFolder(link);
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}
