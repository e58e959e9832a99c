#include "store/LedgerSchema.h"
#include "base/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>
#include <string_view>

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

Statement Prepare(sqlite3 *db, const char *sql, int &rc)
{
    sqlite3_stmt *stmt = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    return Statement(stmt, sqlite3_finalize);
}

QString Text(sqlite3_stmt *stmt, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, col)));
}

// The storage class a declared column type gives its values, by SQLite's rules of affinity.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity AffinityOf(const QString &declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (t.isEmpty() || t.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

struct TColumn {
    const char *name;
    Affinity affinity;
};

struct TTable {
    const char *name;
    std::initializer_list<TColumn> columns;
};

const TTable kTables[] = {
    {"users", {{"name", Affinity::Text}, {"pwd", Affinity::Text}}},
    {"data",
     {{"id", Affinity::Integer}, {"user", Affinity::Text}, {"date", Affinity::Text},
      {"type", Affinity::Text}, {"cate", Affinity::Text}, {"amount", Affinity::Real},
      {"notes", Affinity::Text}}},
    {"cates", {{"user", Affinity::Text}, {"out", Affinity::Text}, {"in", Affinity::Text}}},
};

// Kind of the table name in the main schema: "table", "view", "virtual", "shadow", or
// empty when there is none. withoutRowid tells whether it keeps no rowid.
QString TableKind(sqlite3 *db, const char *name, bool &withoutRowid, int &rc)
{
    Statement st = Prepare(db, "select type, wr from pragma_table_list where schema='main' and name=? collate nocase", rc);
    if (rc != SQLITE_OK)
        return QString();
    sqlite3_bind_text(st.get(), 1, name, -1, SQLITE_STATIC);
    QString kind;
    if ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        kind = Text(st.get(), 0);
        withoutRowid = sqlite3_column_int(st.get(), 1) != 0;
        rc = sqlite3_step(st.get());
    }
    if (rc == SQLITE_DONE)
        rc = SQLITE_OK;
    return kind;
}

QString ColumnProblem(sqlite3 *db, const TTable &table, int &rc)
{
    Statement st = Prepare(db, "select type, pk, hidden from main.pragma_table_xinfo(?) where name=? collate nocase", rc);
    if (rc != SQLITE_OK)
        return QString();
    const QString tableName = QString::fromLatin1(table.name);
    for (const TColumn &column : table.columns) {
        sqlite3_reset(st.get());
        sqlite3_bind_text(st.get(), 1, table.name, -1, SQLITE_STATIC);
        sqlite3_bind_text(st.get(), 2, column.name, -1, SQLITE_STATIC);
        rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
            return QStringLiteral("数据表 %1 缺少字段 %2").arg(tableName, QString::fromLatin1(column.name));
        }
        if (rc != SQLITE_ROW)
            return QString();
        rc = SQLITE_OK;
        const QString declared = Text(st.get(), 0);
        const bool wrongType = AffinityOf(declared) != column.affinity;
        // Only a column declared exactly INTEGER PRIMARY KEY is the row's own number, which
        // the engine assigns and which can never be null.
        const bool isId = std::string_view(column.name) == "id";
        const bool notRowNumber = isId && (declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) != 0 ||
                                           sqlite3_column_int(st.get(), 1) != 1);
        const bool generated = sqlite3_column_int(st.get(), 2) != 0;
        if (wrongType || notRowNumber || generated)
            return QStringLiteral("数据表 %1 的字段 %2 类型不对").arg(tableName, QString::fromLatin1(column.name));
    }
    if (std::string_view(table.name) == "data") {
        // A second key column would make id no longer the row's own number.
        Statement keys = Prepare(db, "select count(*) from main.pragma_table_xinfo('data') where pk>0", rc);
        if (rc != SQLITE_OK)
            return QString();
        if ((rc = sqlite3_step(keys.get())) != SQLITE_ROW)
            return QString();
        rc = SQLITE_OK;
        if (sqlite3_column_int(keys.get(), 0) != 1)
            return QStringLiteral("数据表 data 的字段 id 类型不对");
    }
    return QString();
}

} // namespace

QString LedgerSchemaProblem(sqlite3 *db, int &rc)
{
    // Before anything else reads a table: a trigger runs on the first write.
    {
        Statement st = Prepare(db, "select type, count(*) from main.sqlite_schema where type in ('trigger','view') group by type", rc);
        if (rc != SQLITE_OK)
            return QString();
        bool trigger = false, view = false;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const QString type = Text(st.get(), 0);
            trigger = trigger || type == QLatin1String("trigger");
            view = view || type == QLatin1String("view");
        }
        if (rc != SQLITE_DONE)
            return QString();
        rc = SQLITE_OK;
        if (trigger)
            return QStringLiteral("文件中含有触发器（会在记账时自动执行文件里的指令），本程序的账本中不会有");
        if (view)
            return QStringLiteral("文件中含有视图，本程序的账本中不会有");
    }
    for (const TTable &table : kTables) {
        bool withoutRowid = false;
        const QString kind = TableKind(db, table.name, withoutRowid, rc);
        if (rc != SQLITE_OK)
            return QString();
        if (kind.isEmpty())
            return QStringLiteral("缺少数据表");
        if (kind != QLatin1String("table") || withoutRowid)
            return QStringLiteral("%1 不是普通的数据表").arg(QString::fromLatin1(table.name));
        const QString problem = ColumnProblem(db, table, rc);
        if (rc != SQLITE_OK || !problem.isEmpty())
            return problem;
    }
    return QString();
}

QString WalModeProblem(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(20);
    // Bytes 18 and 19 of the header are the read and write format versions: 2 means WAL.
    if (header.size() == 20 && header.startsWith("SQLite format 3") && (header[18] == 2 || header[19] == 2))
        return QStringLiteral("文件使用预写日志（WAL）模式，它的一部分数据在另外的“-wal”文件中，不能完整复制");
    return QString();
}

void CheckRegularFile(const QString &path, const QString &what)
{
    const QFileInfo info(path);
    if (info.isFile())
        return;
    if (info.isDir())
        throw TError(QStringLiteral("%1“%2”是一个文件夹，不是账本数据库").arg(what, path));
    if (info.exists())
        throw TError(QStringLiteral("%1“%2”不是普通文件（而是管道、设备等特殊文件），不能当作账本数据库").arg(what, path));
    if (info.isSymLink())
        throw TError(QStringLiteral("%1“%2”是一个指向不存在的文件的链接").arg(what, path));
    throw TError(QStringLiteral("找不到%1“%2”").arg(what, path));
}
