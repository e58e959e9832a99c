#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
QStringList Column(const QString &path, const char *sql)
{
    TConnection conn;
    conn.Open(path);
    TStatement st(conn, QString::fromUtf8(sql));
    QStringList out;
    while (st.Next())
        out << st.Text(0);
    return out;
}
} // namespace

TEST(DbMan, AccountsAreListedNewestFirstAndStoredEncoded)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    EXPECT_EQ(db.GetUsers(), QString());
    EXPECT_TRUE(db.AddUser(QStringLiteral("A"), QStringLiteral("1")));
    EXPECT_TRUE(db.AddUser(QStringLiteral("B"), QStringLiteral("2")));
    EXPECT_TRUE(db.AddUser(QStringLiteral("C"), QStringLiteral("3")));
    EXPECT_EQ(db.GetUsers(), QStringLiteral("C\r\nB\r\nA"));

    EXPECT_EQ(Column(ledger.Path(), "select name from users order by rowid"),
              (QStringList{THi::EncodeText("A"), THi::EncodeText("B"), THi::EncodeText("C")}));

    // Re-storing an account makes it the newest.
    db.ReplaceUser(QStringLiteral("A"), QStringLiteral("new"));
    EXPECT_EQ(db.GetUsers(), QStringLiteral("A\r\nC\r\nB"));
    EXPECT_TRUE(db.CheckUser(QStringLiteral("A"), QStringLiteral("new")));
    EXPECT_FALSE(db.CheckUser(QStringLiteral("A"), QStringLiteral("1")));
    EXPECT_FALSE(db.CheckUser(QStringLiteral("a"), QStringLiteral("new")));

    // A second row of an existing name; deleting removes both.
    EXPECT_TRUE(db.AddUser(QStringLiteral("B"), QStringLiteral("x")));
    EXPECT_TRUE(db.DeleteUser(QStringLiteral("B")));
    EXPECT_FALSE(db.UserExists(QStringLiteral("B")));
    EXPECT_TRUE(db.DeleteUser(QStringLiteral("nobody")));
}

TEST(DbMan, QuotesAndWideCharactersInNames)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    const QString name = QStringLiteral("O'Brien \"宝贝\" 😀 ' or '1'='1");
    EXPECT_TRUE(db.AddUser(name, QStringLiteral("p'w")));
    EXPECT_TRUE(db.UserExists(name));
    EXPECT_TRUE(db.CheckUser(name, QStringLiteral("p'w")));
    EXPECT_FALSE(db.UserExists(QStringLiteral("O'Brien")));
    EXPECT_EQ(db.GetUsers(), name);
}

TEST(DbMan, RecordsAreStoredInListOrderInOneTransaction)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    const QList<QStringList> rows = {
        {"2009-08-20", "支出", "饮料 'cola'", "12.50", ""},
        {"2009-08-21", "收入", "工资", "3.00", "备注 😀"},
        {"2009-08-22", "支出", "Rent", "0.01", "n"},
    };
    db.AddRecords(QStringLiteral("U"), NewRecords(rows));
    EXPECT_EQ(Column(ledger.Path(), "select date from data order by id"),
              (QStringList{"2009-08-20", "2009-08-21", "2009-08-22"}));
    EXPECT_EQ(Column(ledger.Path(), "select cate from data order by id").first(),
              THi::EncodeText(QStringLiteral("饮料 'cola'")));
    EXPECT_EQ(Column(ledger.Path(), "select notes from data order by id").first(), QString());
    EXPECT_EQ(Column(ledger.Path(), "select amount from data order by id").first().toDouble(), 12.5);

    // A bad row in the middle stores nothing of the batch.
    QList<QStringList> bad = rows;
    bad.insert(1, {"2009-02-30", "支出", "x", "1", ""});
    EXPECT_THROW(db.AddRecords(QStringLiteral("U"), NewRecords(bad)), TError);
    EXPECT_EQ(Column(ledger.Path(), "select count(*) from data").first(), QStringLiteral("3"));

    db.AddRecords(QStringLiteral("U"), NewRecords({}));
    EXPECT_EQ(Column(ledger.Path(), "select count(*) from data").first(), QStringLiteral("3"));
}

TEST(DbMan, DeleteAndChangeRecord)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    db.AddRecord("U", "2009-08-20", "收入", "工资", "100.00", "");
    db.AddRecord("U", "2009-08-20", "支出", "饭", "5.00", "");
    const QStringList ids = Column(ledger.Path(), "select id from data order by id");
    ASSERT_EQ(ids.size(), 2);

    db.ChangeRecord(ids[0], "U", "2009-08-21", "收入", "奖金", "200.00", "x");
    const QStringList after = Column(ledger.Path(), "select id from data order by id");
    EXPECT_EQ(after.size(), 2);
    EXPECT_FALSE(after.contains(ids[0]));
    EXPECT_EQ(Column(ledger.Path(), "select type from data order by id").last(), QStringLiteral("收入"));

    // A failing change keeps the old record.
    EXPECT_THROW(db.ChangeRecord(ids[1], "U", "2009-08-21", "支出", "饭", "x", ""), TError);
    EXPECT_TRUE(Column(ledger.Path(), "select id from data").contains(ids[1]));

    db.DeleteRecord(ids[1]);
    db.DeleteRecord(QStringLiteral("999999"));
    EXPECT_EQ(Column(ledger.Path(), "select count(*) from data").first(), QStringLiteral("1"));
    EXPECT_THROW(db.DeleteRecord(QStringLiteral("1 or 1=1")), TError);
}

TEST(DbMan, CategoryListsKeepTheirTextByteForByte)
{
    TTempLedger ledger;
    TDbMan db(ledger.Path());
    EXPECT_EQ(db.GetCates("U", "out"), QString());
    db.SetCates("U", "in", QStringLiteral("工资\r\n奖金"));
    EXPECT_EQ(Column(ledger.Path(), "select count(*) from cates").first(), QStringLiteral("1"));
    EXPECT_EQ(db.GetCates("U", "out"), QString());
    EXPECT_EQ(db.GetCates("U", "in"), QStringLiteral("工资\r\n奖金"));
    const QString outList = QStringLiteral("饮料\r\n\r\n 'x' \r\n😀");
    db.SetCates("U", "out", outList);
    EXPECT_EQ(db.GetCates("U", "out"), outList);
    EXPECT_EQ(db.GetCates("U", "in"), QStringLiteral("工资\r\n奖金"));
    EXPECT_EQ(Column(ledger.Path(), "select count(*) from cates").first(), QStringLiteral("1"));
    db.SetCates("U", "other", QStringLiteral("ignored"));
    EXPECT_EQ(db.GetCates("U", "out"), outList);
}

TEST(DbMan, FilesThatAreNotLedgersGiveClearErrors)
{
    TTempLedger ledger;
    const QString missing = ledger.Dir() + QStringLiteral("/missing.zovalt");
    try {
        TDbMan(missing).GetUsers();
        FAIL() << "no error for a missing file";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("找不到数据文件")));
    }

    const QString junk = ledger.Dir() + QStringLiteral("/junk.zovalt");
    THi::WriteWholeFile(junk, QByteArray(4096, 'x'));
    EXPECT_THROW(TDbMan(junk).GetUsers(), TError);

    const QString other = ledger.Dir() + QStringLiteral("/other.zovalt");
    sqlite3 *db = nullptr;
    sqlite3_open(other.toUtf8().constData(), &db);
    sqlite3_exec(db, "create table users(name,pwd)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    try {
        TDbMan(other).GetUsers();
        FAIL() << "no error for a file without the ledger tables";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("不是有效的账本数据库")));
    }
}

TEST(Ado, StatementsConvertValuesRunAgainAndFailuresCloseTheConnection)
{
    TTempLedger ledger;
    TConnection conn;
    conn.Open(ledger.Path());
    EXPECT_FALSE(conn.IsReadOnly());
    conn.Execute(QStringLiteral("insert into users(name,pwd) values (?,?),(?,?)"), {"a", "1", "b", "2"});
    {
        TStatement st(conn, QStringLiteral("select name, 1.5 as n, null as z, 7 as i from users order by rowid"));
        ASSERT_TRUE(st.Next());
        EXPECT_EQ(st.Text("NAME"), QStringLiteral("a"));
        EXPECT_EQ(st.Text("n"), QStringLiteral("1.5"));
        EXPECT_EQ(st.Number(1), 1.5);
        EXPECT_EQ(st.Value(3), QVariant(qint64(7)));
        EXPECT_FALSE(st.Value(2).isValid());
        EXPECT_THROW(st.Text("z"), TError);
        EXPECT_THROW(st.Integer(2), TError);
        EXPECT_THROW(st.Text("missing"), TError);
        EXPECT_THROW(st.Bytes(9), TError);
        ASSERT_TRUE(st.Next());
        EXPECT_EQ(QString::fromUtf8(st.Bytes(0)), QStringLiteral("b"));
        EXPECT_FALSE(st.Next());
    }
    {
        // One prepared statement bound anew for every row.
        TStatement insert(conn, QStringLiteral("insert into users(name,pwd) values (?,?)"));
        for (const char *name : {"c", "d"}) {
            insert.Bind({QString::fromLatin1(name), QStringLiteral("pw")});
            insert.Run();
        }
    }
    EXPECT_EQ(Column(ledger.Path(), "select name from users order by rowid"),
              (QStringList{"a", "b", "c", "d"}));

    EXPECT_THROW(conn.Execute(QStringLiteral("select * from nowhere")), TError);
    EXPECT_FALSE(conn.IsOpen());
    EXPECT_THROW(TStatement(conn, QStringLiteral("select 1")), TError);
    conn.Open(ledger.Path());
    {
        TStatement st(conn, QStringLiteral("select 1 from users where name=?"), {QStringLiteral("x")});
        EXPECT_FALSE(st.Next());
    }
}
