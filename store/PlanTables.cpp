#include "store/PlanTables.h"
#include "store/Ado.h"

#include <sqlite3.h>

#include <iterator>

namespace {

// The wait for a write lock that every connection of the ledger has (see TConnection::Open).
constexpr int kBusyWaitMs = 5000;

// The ledger check builds its list of accepted tables and indexes from these statements
// (with the ledger's own schema and the import tables): a table or index added here is
// accepted in every ledger file with no other change, and a file whose table of this
// name differs from the statement here in any column or constraint is refused.
//
// Amounts in whole fen; months as "yyyy-mm"; user, item and notes in their stored (encoded)
// form like the ledger's own texts. Only tables and their keys: the ledger check of other
// versions refuses triggers and views.
const char *const kPlanSchema[] = {
    // A budget applies from its month on, until a later month of the same item sets
    // another; a null amount ends the budget from that month on.
    "CREATE TABLE IF NOT EXISTS budgets ("
    " user TEXT NOT NULL, cate TEXT NOT NULL, month TEXT NOT NULL, amount INTEGER,"
    " PRIMARY KEY (user, cate, month))",
    // last_month is empty while the record goes on.
    "CREATE TABLE IF NOT EXISTS recurring ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, user TEXT NOT NULL, type TEXT NOT NULL,"
    " cate TEXT NOT NULL, amount INTEGER NOT NULL, notes TEXT NOT NULL DEFAULT '',"
    " day INTEGER NOT NULL, first_month TEXT NOT NULL, last_month TEXT NOT NULL DEFAULT '')",
    // What became of one month's occurrence of a recurring record: 'saved' or 'withdrawn'.
    "CREATE TABLE IF NOT EXISTS recurring_done ("
    " recurring INTEGER NOT NULL, month TEXT NOT NULL, state TEXT NOT NULL,"
    " PRIMARY KEY (recurring, month))",
    // The members who agreed to be counted in the family summary, one row each.
    "CREATE TABLE IF NOT EXISTS family_consent ("
    " user TEXT NOT NULL, PRIMARY KEY (user))",
    // The program's own settings of this ledger, one value per name (e.g. auto_backup '0').
    "CREATE TABLE IF NOT EXISTS settings ("
    " name TEXT NOT NULL PRIMARY KEY, value TEXT NOT NULL)",
    // A column mapping of import saved under a name: header is the header row it applies to
    // (cells joined by U+001F), mapping the chosen columns as JSON.
    "CREATE TABLE IF NOT EXISTS column_mappings ("
    " user TEXT NOT NULL, name TEXT NOT NULL, header TEXT NOT NULL, mapping TEXT NOT NULL,"
    " PRIMARY KEY (user, name))",
};

} // namespace

QStringList PlanSchemaStatements()
{
    QStringList all;
    for (const char *sql : kPlanSchema)
        all << QString::fromUtf8(sql);
    return all;
}

bool HasPlanTables(TConnection &conn)
{
    sqlite3_stmt *stmt = nullptr;
    const char *sql = "select count(*) from sqlite_master where type='table' and "
                      "name in ('budgets','recurring','recurring_done','family_consent','settings','column_mappings')";
    if (!conn.Handle() || sqlite3_prepare_v2(conn.Handle(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    const bool all = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == int(std::size(kPlanSchema));
    sqlite3_finalize(stmt);
    return all;
}

void AddPlanTables(TConnection &conn)
{
    sqlite3 *db = conn.Handle();
    if (!db || sqlite3_db_readonly(db, "main") != 0 || HasPlanTables(conn))
        return;
    // Straight through the C interface: a failure here must neither throw nor close the
    // connection, which the caller goes on to use for its own work.
    // A ledger locked by another writer is not waited for here: reads go on, and the
    // tables come with a later write. The connection's own wait is restored afterwards.
    sqlite3_busy_timeout(db, 0);
    const int begun = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    if (begun != SQLITE_OK)
        return;
    for (const char *sql : kPlanSchema) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return;
        }
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void RequirePlanTables(TConnection &conn)
{
    if (HasPlanTables(conn))
        return;
    conn.BeginTransaction();
    for (const char *sql : kPlanSchema)
        conn.Execute(QString::fromUtf8(sql));
    conn.Commit();
}
