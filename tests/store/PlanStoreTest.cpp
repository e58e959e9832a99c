#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/BudgetStore.h"
#include "store/PlanTables.h"
#include "store/RecurringStore.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// The rows of a statement run straight through SQLite, as another program would read the file.
QStringList RawColumn(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QStringList out;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

const char *kLedgerSchema = "select type||' '||name||' '||ifnull(sql,'') from sqlite_master "
                            "where tbl_name in ('users','data','cates') order by name";

QDate Month(int y, int m)
{
    return QDate(y, m, 1);
}

TRecurring Rent(int day, QDate first, QDate last = QDate())
{
    return {0, kTypeOut, QStringLiteral("房租"), 250000, QStringLiteral("每月房租"), day, first, last};
}

QStringList Dates(const QList<TOccurrence> &due)
{
    QStringList out;
    for (const TOccurrence &o : due)
        out << o.date.toString(Qt::ISODate);
    return out;
}

} // namespace

TEST(PlanTables, AddedBesideTheLedgerWhichEarlierVersionsStillOpen)
{
    TTempLedger ledger;
    const QStringList before = RawColumn(ledger.Path(), kLedgerSchema);
    TDbMan db(ledger.Path());
    ASSERT_TRUE(db.AddUser(QStringLiteral("宝贝"), QStringLiteral("pw")));
    db.AddRecord(QStringLiteral("宝贝"), QStringLiteral("2026-01-05"), kTypeOut, QStringLiteral("米"),
                 QStringLiteral("12.5"), QString());

    EXPECT_EQ(RawColumn(ledger.Path(), "select name from sqlite_master where type='table' and name in "
                                       "('budgets','family_consent','recurring','recurring_done') order by name"),
              (QStringList{"budgets", "family_consent", "recurring", "recurring_done"}));
    // The three tables and their index are exactly as they were; no triggers or views,
    // which the ledger check of other versions refuses.
    EXPECT_EQ(RawColumn(ledger.Path(), kLedgerSchema), before);
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from sqlite_master where type in ('trigger','view')"),
              QStringList{"0"});
    // What the earlier program does on open: its three tables with their columns, then
    // its own statements.
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from sqlite_master where type='table' and "
                                       "name in ('users','data','cates')"),
              QStringList{"3"});
    EXPECT_EQ(RawColumn(ledger.Path(), "select group_concat(name) from pragma_table_info('data')"),
              QStringList{"id,user,date,type,cate,amount,notes"});
    EXPECT_EQ(RawColumn(ledger.Path(), "select [cate] from [data] where [user]='" +
                                           THi::EncodeText(QStringLiteral("宝贝")).toLatin1() + "'"),
              QStringList{THi::EncodeText(QStringLiteral("米"))});
    EXPECT_EQ(RawColumn(ledger.Path(), "pragma integrity_check"), QStringList{"ok"});
}

TEST(PlanTables, AReadOnlyLedgerOpensWithoutThemAndTheFirstWriteAddsThem)
{
    TTempLedger ledger;
    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner);
    TBudgetStore budgets(ledger.Path());
    TRecurringStore recurring(ledger.Path());
    EXPECT_FALSE(budgets.UserExists(QStringLiteral("x")));
    EXPECT_EQ(budgets.MonthLines(QStringLiteral("x"), Month(2026, 1), {QStringLiteral("米")}).value(0).budget,
              std::nullopt);
    EXPECT_TRUE(recurring.Due(QStringLiteral("x"), QDate(2026, 1, 1)).isEmpty());
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from sqlite_master where name='budgets'"),
              QStringList{"0"});
    EXPECT_THROW(budgets.SetBudgets(QStringLiteral("x"), Month(2026, 1), {{QStringLiteral("米"), 100}}), TError);

    QFile::setPermissions(ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    budgets.SetBudgets(QStringLiteral("x"), Month(2026, 1), {{QStringLiteral("米"), 100}});
    EXPECT_EQ(budgets.MonthLines(QStringLiteral("x"), Month(2026, 1), {}).value(0).budget, 100);
}

TEST(PlanTables, ALedgerLockedByAnotherWriterStillReadsAndGetsThemLater)
{
    TTempLedger ledger;
    TConnection other;
    other.Open(ledger.Path());
    other.BeginTransaction();
    TRecurringStore store(ledger.Path());
    EXPECT_FALSE(store.UserExists(QStringLiteral("x")));
    EXPECT_TRUE(store.List(QStringLiteral("x")).isEmpty());
    other.Commit();
    other.Close();
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from sqlite_master where name='recurring'"),
              QStringList{"0"});
    store.UserExists(QStringLiteral("x"));
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from sqlite_master where name='recurring'"),
              QStringList{"1"});
}

TEST(BudgetStore, ABudgetHoldsFromItsMonthUntilALaterMonthChangesIt)
{
    TTempLedger ledger;
    TBudgetStore store(ledger.Path());
    const QString user = QStringLiteral("妈妈");
    const QStringList items{QStringLiteral("米"), QStringLiteral("电费"), QStringLiteral("零食")};
    store.SetBudgets(user, Month(2026, 1), {{QStringLiteral("米"), 30000}, {QStringLiteral("电费"), 20000},
                                            {QStringLiteral("零食"), std::nullopt}});
    store.SetBudgets(user, Month(2026, 3), {{QStringLiteral("米"), 35000}, {QStringLiteral("电费"), std::nullopt},
                                            {QStringLiteral("零食"), 5000}});
    // Another user's budgets stay apart.
    store.SetBudgets(QStringLiteral("爸爸"), Month(2026, 2), {{QStringLiteral("米"), 1}});

    auto budgetsOf = [&](const QDate &month) {
        QList<std::optional<TFen>> out;
        for (const TBudgetLine &line : store.MonthLines(user, month, items))
            out << line.budget;
        return out;
    };
    using B = QList<std::optional<TFen>>;
    EXPECT_EQ(budgetsOf(Month(2025, 12)), (B{std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(budgetsOf(Month(2026, 1)), (B{30000, 20000, std::nullopt}));
    EXPECT_EQ(budgetsOf(Month(2026, 2)), (B{30000, 20000, std::nullopt}));
    EXPECT_EQ(budgetsOf(Month(2026, 3)), (B{35000, std::nullopt, 5000}));
    EXPECT_EQ(budgetsOf(Month(2027, 8)), (B{35000, std::nullopt, 5000}));
    // Saving unchanged budgets for a month in between stores nothing of its own.
    store.SetBudgets(user, Month(2026, 2), {{QStringLiteral("米"), 30000}});
    store.SetBudgets(user, Month(2026, 1), {{QStringLiteral("米"), 28000}});
    EXPECT_EQ(budgetsOf(Month(2026, 2)), (B{28000, 20000, std::nullopt}));
}

TEST(BudgetStore, SpendingAndWhatIsLeftCountTheMonthsExpensesOfTheUserOnly)
{
    TTempLedger ledger;
    TBudgetStore store(ledger.Path());
    const QString user = QStringLiteral("妈妈");
    store.AddRecords(user, NewRecords({{"2026-02-01", "支出", "米", "100.10", ""},
                            {"2026-02-28", "支出", "米", "50.05", ""},
                            {"2026-03-01", "支出", "米", "999", ""},
                            {"2026-01-31", "支出", "米", "999", ""},
                            {"2026-02-10", "收入", "米", "999", ""},
                            {"2026-02-10", "支出", "书", "20", ""}}));
    store.AddRecords(QStringLiteral("爸爸"), NewRecords({{"2026-02-10", "支出", "米", "999", ""}}));
    store.SetBudgets(user, Month(2026, 2), {{QStringLiteral("米"), 15000}, {QStringLiteral("电费"), 8000}});

    const QList<TBudgetLine> lines = store.MonthLines(user, QDate(2026, 2, 17), {QStringLiteral("电费"), QStringLiteral("米")});
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].item, QStringLiteral("电费"));
    EXPECT_EQ(lines[0].spent, 0);
    EXPECT_EQ(lines[0].Left(), 8000);
    EXPECT_EQ(lines[1].item, QStringLiteral("米"));
    EXPECT_EQ(lines[1].spent, 15015);
    EXPECT_EQ(lines[1].Left(), -15);
    EXPECT_TRUE(lines[1].Over());
    // An item spent on but not in the item list still has its line, without a budget.
    EXPECT_EQ(lines[2].item, QStringLiteral("书"));
    EXPECT_EQ(lines[2].spent, 2000);
    EXPECT_EQ(lines[2].Left(), std::nullopt);
    EXPECT_FALSE(lines[2].Over());
}

TEST(BudgetStore, OverrunsAreTheItemsASavePushedPastTheirBudgetOncePerMonth)
{
    TTempLedger ledger;
    TBudgetStore store(ledger.Path());
    const QString user = QStringLiteral("妈妈");
    store.SetBudgets(user, Month(2026, 1), {{QStringLiteral("米"), 10000}, {QStringLiteral("电费"), 10000}});
    auto save = [&](const QList<QStringList> &rows) {
        store.AddRecords(user, NewRecords(rows));
        QList<TSpending> spent;
        for (const QStringList &r : rows)
            spent.append({QDate::fromString(r[0], Qt::ISODate), r[2], *ParseAmount(r[3])});
        return store.Overruns(user, spent);
    };
    // Exactly at the budget is not over it; items without a budget never are.
    EXPECT_TRUE(save({{"2026-01-03", "支出", "米", "100", ""}, {"2026-01-03", "支出", "书", "500", ""}}).isEmpty());

    const QList<TOverrun> pushed = save({{"2026-01-04", "支出", "米", "0.5", ""},
                                         {"2026-01-04", "支出", "电费", "60", ""},
                                         {"2026-01-05", "支出", "米", "1", ""},
                                         {"2026-02-05", "支出", "米", "120", ""}});
    // January's budget goes on into February, which the same save took past it as well.
    ASSERT_EQ(pushed.size(), 2);
    EXPECT_EQ(pushed[0].item, QStringLiteral("米"));
    EXPECT_EQ(pushed[0].month, Month(2026, 1));
    EXPECT_EQ(pushed[0].excess, 150);
    EXPECT_EQ(pushed[1].item, QStringLiteral("米"));
    EXPECT_EQ(pushed[1].month, Month(2026, 2));
    EXPECT_EQ(pushed[1].excess, 2000);

    // Already past its budget: not reported again.
    EXPECT_TRUE(save({{"2026-01-20", "支出", "米", "5", ""}}).isEmpty());
}

TEST(RecurringStore, OccurrencesFallDueOnTheirDayUpToTodayAndTheLastMonth)
{
    TTempLedger ledger;
    TRecurringStore store(ledger.Path());
    const QString user = QStringLiteral("妈妈");
    const qint64 rent = store.Add(user, Rent(31, Month(2025, 12)));
    store.Add(user, {0, kTypeIn, QStringLiteral("工资"), 800000, QString(), 10, Month(2026, 1), Month(2026, 2)});
    store.Add(QStringLiteral("爸爸"), Rent(1, Month(2025, 1)));

    // No month away: the first month's day has not come yet.
    EXPECT_TRUE(store.Due(user, QDate(2025, 12, 30)).isEmpty());
    EXPECT_EQ(Dates(store.Due(user, QDate(2025, 12, 31))), QStringList{"2025-12-31"});
    // Day 31 in February is its last day; the salary stops after its last month.
    EXPECT_EQ(Dates(store.Due(user, QDate(2026, 4, 29))),
              (QStringList{"2025-12-31", "2026-01-10", "2026-01-31", "2026-02-10", "2026-02-28", "2026-03-31"}));
    EXPECT_EQ(Dates(store.Due(user, QDate(2028, 3, 1))).constLast(), QStringLiteral("2028-02-29"));

    const TOccurrence first = store.Due(user, QDate(2026, 1, 1)).value(0);
    EXPECT_EQ(first.recurringId, rent);
    EXPECT_EQ(first.item, QStringLiteral("房租"));
    EXPECT_EQ(first.amount, 250000);
    EXPECT_EQ(first.notes, QStringLiteral("每月房租"));
    EXPECT_EQ(first.month, Month(2025, 12));
}

TEST(RecurringStore, SavedWithdrawnOrAlreadyRecordedOccurrencesAreNotDueAgain)
{
    TTempLedger ledger;
    TRecurringStore store(ledger.Path());
    const QString user = QStringLiteral("妈妈");
    TRecurring rent = Rent(15, Month(2026, 1));
    rent.id = store.Add(user, rent);
    const QList<TOccurrence> due = store.Due(user, QDate(2026, 4, 20));
    ASSERT_EQ(Dates(due), (QStringList{"2026-01-15", "2026-02-15", "2026-03-15", "2026-04-15"}));

    store.Settle(due[0], TRecurringStore::TOutcome::Saved);
    store.Settle(due[1], TRecurringStore::TOutcome::Withdrawn);
    // Typed by hand: the same day, item and amount is already in the ledger.
    store.AddRecord(user, QStringLiteral("2026-03-15"), kTypeOut, QStringLiteral("房租"), QStringLiteral("2500"),
                    QStringLiteral("手工"));
    EXPECT_EQ(Dates(store.Due(user, QDate(2026, 4, 20))), QStringList{"2026-04-15"});

    // A change keeps what became of earlier months; a removal forgets the record entirely.
    rent.amount = 260000;
    store.Change(user, rent);
    EXPECT_EQ(Dates(store.Due(user, QDate(2026, 4, 20))), (QStringList{"2026-03-15", "2026-04-15"}));
    EXPECT_EQ(store.List(user).value(0).amount, 260000);
    store.Remove(rent.id);
    EXPECT_TRUE(store.List(user).isEmpty());
    EXPECT_TRUE(store.Due(user, QDate(2026, 4, 20)).isEmpty());
    EXPECT_EQ(RawColumn(ledger.Path(), "select count(*) from recurring_done"), QStringList{"0"});

    rent.day = 32;
    EXPECT_THROW(store.Add(user, rent), TError);
    rent.day = 1;
    rent.lastMonth = Month(2025, 12);
    EXPECT_THROW(store.Add(user, rent), TError);
}
