#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/ImportStore.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

const QString kUser = QStringLiteral("妈妈");

QString Fixture(const char *name)
{
    return QStringLiteral(TALLYFERN_TEST_DATA "/import/") + QString::fromLatin1(name);
}

// What the ledger holds for a user, as "date type item amount notes" lines in id order.
QStringList StoredRecords(const QString &path, const QString &user = kUser)
{
    TConnection conn;
    conn.Open(path);
    TStatement rs(conn, QStringLiteral("select [date],[type],[cate],[amount],[notes] from [data] where [user]=? order by [id]"), {THi::EncodeText(user)});
    QStringList rows;
    while (rs.Next())
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(rs.Text(0), rs.Text(1), THi::DecodeText(rs.Text(2)),
                         THi::FormatAmount(rs.Number(3)), THi::DecodeText(rs.Text(4)));
    conn.Close();
    return rows;
}

QStringList SchemaOf(const QString &path, const QString &where)
{
    TConnection conn;
    conn.Open(path);
    TStatement rs(conn, QStringLiteral("select [type],[name],ifnull([sql],'') from sqlite_master where %1 order by [name]").arg(where));
    QStringList out;
    while (rs.Next())
        out << rs.Text(0) + QLatin1Char(' ') + rs.Text(1) + QLatin1Char(' ') + rs.Text(2);
    conn.Close();
    return out;
}

// The checked rows of a bill as the dialog would import them with its defaults.
struct TBillImport {
    QList<TPlanRow> plan;
    QList<TImportRecord> Checked() const
    {
        QList<TImportRecord> records;
        for (const TPlanRow &r : plan)
            if (r.checked)
                records << ToRecord(r);
        return records;
    }
};

TBillImport Plan(TImportStore &store, const char *fixture)
{
    return {PlanImport(ReadBillFile(Fixture(fixture)), LoadImportContext(store, kUser))};
}

class ImportStoreTest : public ::testing::Test {
protected:
    TTempLedger ledger;
    TImportStore store{ledger.Path()};
};

} // namespace

TEST_F(ImportStoreTest, BillImportedTwiceStoresItsRowsOnce)
{
    const TBillImport first = Plan(store, "wechat.csv");
    EXPECT_EQ(store.Import(kUser, QStringLiteral("wechat.csv"), first.Checked(), {}), 3);
    const QStringList expected = {
        QStringLiteral("2026-11-04 支出 快餐店 25.00 快餐店 午餐套餐"),
        QStringLiteral("2026-11-06 收入 小李 1234.56 小李"),
        QStringLiteral("2026-11-07 支出 水果店 27.00 水果店 苹果（已退款 3.00 元）"),
    };
    EXPECT_EQ(StoredRecords(ledger.Path()), expected);

    // The same bill again, here as the workbook: every row is known and offered unchecked.
    const TBillImport second = Plan(store, "wechat.xlsx");
    for (int i : {0, 1, 2, 6})
        EXPECT_EQ(second.plan.at(i).reason, TUncheckedReason::AlreadyImported) << i;
    EXPECT_TRUE(second.Checked().isEmpty());
    // Even rows checked by hand are not stored twice.
    EXPECT_EQ(store.Import(kUser, QStringLiteral("again"), first.Checked(), {}), 0);
    EXPECT_EQ(StoredRecords(ledger.Path()), expected);
    // An import that stored nothing is not what undo takes back.
    ASSERT_TRUE(store.LastImport(kUser));
    EXPECT_EQ(store.LastImport(kUser)->fileName, QStringLiteral("wechat.csv"));
}

TEST_F(ImportStoreTest, KeysAndRecordsBelongToTheirUser)
{
    const TBillImport bill = Plan(store, "wechat.csv");
    store.Import(kUser, QStringLiteral("wechat.csv"), bill.Checked(), {});
    EXPECT_TRUE(store.ImportedKeys(QStringLiteral("爸爸")).isEmpty());
    EXPECT_EQ(store.Import(QStringLiteral("爸爸"), QStringLiteral("wechat.csv"), bill.Checked(), {}), 3);
    EXPECT_EQ(StoredRecords(ledger.Path(), QStringLiteral("爸爸")).size(), 3);
    EXPECT_EQ(StoredRecords(ledger.Path()).size(), 3);
}

TEST_F(ImportStoreTest, NewItemsJoinTheItemListsAsEntryAddsThem)
{
    TDbMan db(ledger.Path());
    db.SetCates(kUser, QStringLiteral("out"), QStringLiteral("餐饮美食\r\n房租"));
    const TBillImport bill = Plan(store, "alipay-app.csv");
    store.Import(kUser, QStringLiteral("alipay-app.csv"), bill.Checked(), {});
    // Newest first; an item already listed keeps its place.
    EXPECT_EQ(CateTextToEntries(db.GetCates(kUser, QStringLiteral("out"))),
              (QStringList{QStringLiteral("交通出行"), QStringLiteral("日用百货"), QStringLiteral("餐饮美食"),
                           QStringLiteral("房租")}));
    EXPECT_EQ(db.GetCates(kUser, QStringLiteral("in")), QStringLiteral("转账红包"));
}

TEST_F(ImportStoreTest, LearnedItemLandsOnTheNextBill)
{
    TBillImport first = Plan(store, "wechat.csv");
    first.plan[0].item = QStringLiteral("午饭");
    store.Import(kUser, QStringLiteral("wechat.csv"), first.Checked(),
                 {{kTypeOut, QStringLiteral("快餐店"), QStringLiteral("午饭")}});
    EXPECT_TRUE(StoredRecords(ledger.Path()).first().startsWith(QStringLiteral("2026-11-04 支出 午饭 ")));

    const TBillImport later = Plan(store, "wechat-later.csv");
    EXPECT_EQ(later.plan.at(0).reason, TUncheckedReason::AlreadyImported);
    EXPECT_EQ(later.plan.at(1).item, QStringLiteral("午饭"));
    EXPECT_TRUE(later.plan.at(1).checked);
    EXPECT_EQ(later.plan.at(2).item, QStringLiteral("面包房"));
    // Rules are kept per type: an income from the same counterpart is not touched.
    EXPECT_TRUE(store.ItemRules(kUser, kTypeIn).isEmpty());
}

TEST_F(ImportStoreTest, UndoRemovesOnlyTheUnchangedRecordsOfTheLastImport)
{
    TDbMan db(ledger.Path());
    db.AddRecord(kUser, QStringLiteral("2026-10-01"), kTypeOut, QStringLiteral("手记"), QStringLiteral("1.00"), QString());
    store.Import(kUser, QStringLiteral("alipay-app.csv"), Plan(store, "alipay-app.csv").Checked(), {});
    store.Import(kUser, QStringLiteral("wechat.csv"), Plan(store, "wechat.csv").Checked(), {});
    ASSERT_EQ(StoredRecords(ledger.Path()).size(), 1 + 4 + 3);

    // The user changes one imported record (it gets a new id) and deletes another.
    TConnection conn;
    conn.Open(ledger.Path());
    QString newest, second;
    {
        TStatement rs(conn, QStringLiteral("select [id] from [data] order by [id] desc limit 2"));
        ASSERT_TRUE(rs.Next());
        newest = rs.Text(0);
        ASSERT_TRUE(rs.Next());
        second = rs.Text(0);
    }
    conn.Close();
    db.ChangeRecord(newest, kUser, QStringLiteral("2026-11-07"), kTypeOut, QStringLiteral("水果"),
                    QStringLiteral("27.00"), QStringLiteral("改过"));
    db.DeleteRecord(second);

    const std::optional<TImportBatch> last = store.LastImport(kUser);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->fileName, QStringLiteral("wechat.csv"));
    EXPECT_EQ(last->recordCount, 3);
    EXPECT_EQ(last->unchangedCount, 1);
    EXPECT_EQ(store.UndoLastImport(kUser), 1);

    QStringList records = StoredRecords(ledger.Path());
    EXPECT_EQ(records.size(), 1 + 4 + 1);
    EXPECT_EQ(records.last(), QStringLiteral("2026-11-07 支出 水果 27.00 改过"));
    // Only the last import is undone, once.
    EXPECT_FALSE(store.LastImport(kUser));
    EXPECT_EQ(store.UndoLastImport(kUser), 0);
    EXPECT_EQ(StoredRecords(ledger.Path()).size(), 6);

    // The removed transaction can be imported again; the changed and the deleted one cannot.
    const TBillImport again = Plan(store, "wechat.csv");
    EXPECT_TRUE(again.plan.at(0).checked);
    EXPECT_EQ(again.plan.at(1).reason, TUncheckedReason::AlreadyImported);
    EXPECT_EQ(again.plan.at(2).reason, TUncheckedReason::AlreadyImported);
}

TEST_F(ImportStoreTest, TablesAreAddedBesideTheLedgerTablesWithoutTouchingThem)
{
    const QString ledgerTables = QStringLiteral("name in ('users','data','cates')");
    const QStringList before = SchemaOf(ledger.Path(), ledgerTables);
    store.EnsureTables();
    store.EnsureTables();
    EXPECT_EQ(SchemaOf(ledger.Path(), ledgerTables), before);
    const QStringList added = SchemaOf(ledger.Path(), QStringLiteral("name like 'import%'"));
    EXPECT_EQ(added.size(), 4);
    for (const QString &entry : added)
        EXPECT_TRUE(entry.startsWith(QStringLiteral("table ")) || entry.startsWith(QStringLiteral("index ")))
            << entry.toStdString();
    // The ledger still opens and works as before.
    TDbMan db(ledger.Path());
    EXPECT_TRUE(db.AddUser(kUser, QStringLiteral("pw")));
    EXPECT_EQ(db.GetUsers(), kUser);
}

TEST_F(ImportStoreTest, ReadOnlyLedgerOpensAndRefusesTheImport)
{
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    const QByteArray before = [&] {
        QFile f(ledger.Path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const TBillImport bill = Plan(store, "wechat.csv");
    EXPECT_EQ(bill.Checked().size(), 3);
    EXPECT_FALSE(store.LastImport(kUser));
    EXPECT_THROW(store.Import(kUser, QStringLiteral("wechat.csv"), bill.Checked(), {}), TError);
    QFile f(ledger.Path());
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(ImportStoreTest, AFailingRowStoresNothingOfTheBill)
{
    QList<TImportRecord> records = Plan(store, "wechat.csv").Checked();
    records[1].amountFen = 0;
    EXPECT_THROW(store.Import(kUser, QStringLiteral("wechat.csv"), records, {}), TError);
    // The engine refuses the second record, after the first record and its key went in:
    // the automatic numbers of the records stand one below their largest value.
    TConnection conn;
    conn.Open(ledger.Path());
    conn.Execute(QStringLiteral("delete from [sqlite_sequence] where [name]='data'"));
    conn.Execute(QStringLiteral("insert into [sqlite_sequence] ([name],[seq]) values ('data', 9223372036854775806)"));
    conn.Close();
    QString message;
    try {
        store.Import(kUser, QStringLiteral("wechat.csv"), Plan(store, "wechat.csv").Checked(), {});
    } catch (const TError &e) {
        message = e.message();
    }
    EXPECT_TRUE(message.contains(QStringLiteral("编号已经用到了最大值"))) << message.toStdString();
    EXPECT_TRUE(StoredRecords(ledger.Path()).isEmpty());
    EXPECT_TRUE(store.ImportedKeys(kUser).isEmpty());
    EXPECT_FALSE(store.LastImport(kUser));
}

TEST_F(ImportStoreTest, CancelledStoringStoresNothing)
{
    QList<TImportRecord> records;
    for (int i = 0; i < 3000; ++i)
        records << TImportRecord{QStringLiteral("wechat:%1").arg(i), QDate(2026, 11, 1), kTypeOut,
                                 QStringLiteral("饭"), 100, QString()};
    int calls = 0;
    try {
        store.Import(kUser, QStringLiteral("big.csv"), records, {}, [&](int) { return ++calls < 2; });
        ADD_FAILURE() << "stored";
    } catch (const TError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("导入已取消，没有存入任何记录"));
    }
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(StoredRecords(ledger.Path()).isEmpty());
    EXPECT_FALSE(store.LastImport(kUser));
    EXPECT_TRUE(store.ImportedKeys(kUser).isEmpty());
}

TEST_F(ImportStoreTest, ACardPaymentAlsoInTheAlipayBillIsAPossibleDuplicate)
{
    const QString alipay = QStringLiteral(
        "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,\r\n"
        "2026-11-09 12:10:00,餐饮美食,某某餐厅,/,午餐,支出,58.00,工商银行储蓄卡,交易成功,2026110922001409999\t,,,\r\n"
        "2026-11-02 10:00:00,日用百货,楼下小卖部,/,矿泉水,支出,86.40,余额,交易成功,2026110222001408888\t,,,\r\n");
    QStringEncoder gb("GB18030");
    const TBill bill = ReadBill(gb.encode(alipay));
    const QList<TPlanRow> alipayPlan = PlanImport(bill, LoadImportContext(store, kUser, bill));
    store.Import(kUser, QStringLiteral("alipay.csv"), TBillImport{alipayPlan}.Checked(), {});

    const TBill statement = ReadBillFile(Fixture("icbc.csv"));
    const QList<TPlanRow> plan = PlanImport(statement, LoadImportContext(store, kUser, statement));
    // The 58.00 card payment names the restaurant the stored Alipay record names.
    EXPECT_EQ(plan.at(4).reason, TUncheckedReason::PossibleDuplicate);
    EXPECT_FALSE(plan.at(4).checked);
    EXPECT_EQ(plan.at(4).duplicateOf, QStringLiteral("2026-11-09 支出 餐饮美食 58.00 某某餐厅 午餐"));
    // Same day and amount, but nothing named in common: a different purchase.
    EXPECT_EQ(plan.at(0).reason, TUncheckedReason::None);
    EXPECT_EQ(ReasonText(TUncheckedReason::PossibleDuplicate), QStringLiteral("可能重复"));
}
