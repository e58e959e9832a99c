#include "store/BackupStore.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/PlanTables.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>

namespace {
const QString kAutoBackup = QStringLiteral("auto_backup");
} // namespace

bool TBackupStore::AutoBackupEnabled()
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    if (!HasPlanTables(conn))
        return true;
    TStatement st(conn, QStringLiteral("select [value] from [settings] where [name]=?"), {kAutoBackup});
    return !st.Next() || st.Text(0) != QLatin1String("0");
}

void TBackupStore::SetAutoBackupEnabled(bool enabled)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.Execute(QStringLiteral("insert or replace into [settings]([name],[value]) values(?,?)"),
                 {kAutoBackup, enabled ? QStringLiteral("1") : QStringLiteral("0")});
}

QList<QPair<QString, qint64>> RecordsPerMember(const QString &path)
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(handle, sqlite3_close);
    const auto fail = [&] {
        return TError(QStringLiteral("无法读取“%1”：%2")
                          .arg(path, db ? QString::fromUtf8(sqlite3_errmsg(db.get())) : QStringLiteral("out of memory")));
    };
    if (rc != SQLITE_OK)
        throw fail();
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // Members without records are listed too, the newest account first.
    const char *sql = "select u.name, (select count(*) from data d where d.user=u.name) "
                      "from users u order by u.rowid desc";
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &stmt, nullptr) != SQLITE_OK)
        throw fail();
    QList<QPair<QString, qint64>> members;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        members.append({THi::DecodeText(QString::fromUtf8(name ? name : "")), sqlite3_column_int64(stmt, 1)});
    }
    sqlite3_finalize(stmt);
    if (step != SQLITE_DONE)
        throw fail();
    return members;
}
