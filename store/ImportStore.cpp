#include "store/ImportStore.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "store/Ado.h"

#include <sqlite3.h>

namespace {

struct TCloseScope {
    TConnection &conn;
    ~TCloseScope() { conn.Close(); }
};

// Plain tables and indexes only: the ledger check of the earlier program and of this one
// accept extra tables, never triggers or views.
const char *const kSchema[] = {
    "create table if not exists [import_batches] ("
    " [id] integer primary key autoincrement, [user] text not null, [time] text not null,"
    " [file] text not null, [records] integer not null, [undone] integer not null default 0)",
    "create table if not exists [import_keys] ("
    " [user] text not null, [key] text not null, [batch] integer not null, [record] integer,"
    " primary key ([user],[key]))",
    "create index if not exists [import_keys_batch] on [import_keys] ([batch])",
    "create table if not exists [import_rules] ("
    " [user] text not null, [type] text not null, [counterpart] text not null, [cate] text not null,"
    " primary key ([user],[type],[counterpart]))",
};

bool HasTables(TConnection &conn)
{
    TRecordset rs;
    rs.Open(QStringLiteral("select count(*) from sqlite_master where type='table' and "
                           "name in ('import_batches','import_keys','import_rules')"),
            conn);
    return !rs.Eof() && rs.FieldIntAt(0) == 3;
}

void CreateTables(TConnection &conn)
{
    conn.BeginTransaction();
    for (const char *sql : kSchema)
        conn.Execute(QString::fromLatin1(sql));
    conn.Commit();
}

// One statement prepared once and run for every row of a large import.
class TRowStatement {
public:
    TRowStatement(TConnection &conn, const QString &sql) : m_conn(conn), m_stmt(conn.Prepare(sql, {})) {}
    ~TRowStatement() { sqlite3_finalize(m_stmt); }
    TRowStatement(const TRowStatement &) = delete;
    TRowStatement &operator=(const TRowStatement &) = delete;

    // Runs the statement with values; true when it gave a row.
    bool Run(std::initializer_list<QVariant> values)
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        int n = 0;
        for (const QVariant &v : values) {
            ++n;
            if (v.typeId() == QMetaType::QString) {
                const QByteArray utf8 = v.toString().toUtf8();
                sqlite3_bind_text(m_stmt, n, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            } else if (v.typeId() == QMetaType::Double) {
                sqlite3_bind_double(m_stmt, n, v.toDouble());
            } else {
                sqlite3_bind_int64(m_stmt, n, v.toLongLong());
            }
        }
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return rc == SQLITE_ROW;
        sqlite3_reset(m_stmt);
        m_conn.Fail(QString());
    }

private:
    TConnection &m_conn;
    sqlite3_stmt *m_stmt;
};

qint64 LastId(TConnection &conn) { return sqlite3_last_insert_rowid(conn.Handle()); }

// The user's two item lists in one pass, extended as entry extends them: a new item goes to
// the top of its list, an item already there (compared as entry compares) changes nothing.
void AddItems(TConnection &conn, const QString &encodedUser, const QList<TImportRecord> &records)
{
    QString outText, inText;
    {
        TRecordset rs;
        rs.Open(QStringLiteral("select [out],[in] from [cates] where [user]=?"), conn, {encodedUser});
        if (!rs.Eof()) {
            outText = THi::DecodeText(rs.Field("out"));
            inText = THi::DecodeText(rs.Field("in"));
        }
    }
    QStringList outList = CateTextToEntries(outText), inList = CateTextToEntries(inText);
    // The comparison of FindCate, kept as sets: a large bill would otherwise walk the list
    // once per record.
    auto keyOf = [](const QString &item) { return THi::AsciiLower(THi::Trim(item)); };
    QSet<QString> outKeys, inKeys;
    for (const QString &e : outList)
        outKeys.insert(keyOf(e));
    for (const QString &e : inList)
        inKeys.insert(keyOf(e));
    bool changed = false;
    for (const TImportRecord &r : records) {
        const bool out = r.type == kTypeOut;
        const QString item = THi::Trim(r.item);
        if ((out ? outKeys : inKeys).contains(keyOf(item)))
            continue;
        (out ? outList : inList).prepend(item);
        (out ? outKeys : inKeys).insert(keyOf(item));
        changed = true;
    }
    if (!changed)
        return;
    conn.Execute(QStringLiteral("delete from [cates] where [user]=?"), {encodedUser});
    conn.Execute(QStringLiteral("insert into [cates] ([user],[out],[in]) values (?,?,?)"),
                 {encodedUser, THi::EncodeText(CateEntriesToText(outList)),
                  THi::EncodeText(CateEntriesToText(inList))});
}

void CheckRecord(const TImportRecord &r)
{
    if (r.type != kTypeOut && r.type != kTypeIn)
        throw TError(QStringLiteral("导入的记录类别“%1”无效").arg(r.type));
    if (!r.date.isValid() || r.amountFen < 1 || THi::Trim(r.item).isEmpty() || r.key.isEmpty())
        throw TError(QStringLiteral("导入的记录不完整（%1）").arg(r.key));
}

} // namespace

TImportStore::TImportStore(const QString &path) : TDbMan(path) {}

bool TImportStore::OpenImport(TConnection &conn)
{
    OpenLedger(conn);
    if (HasTables(conn))
        return true;
    if (sqlite3_db_readonly(conn.Handle(), "main") == 1)
        return false;
    CreateTables(conn);
    return true;
}

void TImportStore::EnsureTables()
{
    TConnection conn;
    TCloseScope scope{conn};
    OpenImport(conn);
}

QSet<QString> TImportStore::ImportedKeys(const QString &user)
{
    TConnection conn;
    TCloseScope scope{conn};
    QSet<QString> keys;
    if (!OpenImport(conn))
        return keys;
    TRecordset rs;
    rs.OpenForward(QStringLiteral("select [key] from [import_keys] where [user]=?"), conn,
                   {THi::EncodeText(user)});
    for (; !rs.Eof(); rs.MoveNext())
        keys.insert(rs.FieldAt(0));
    return keys;
}

QHash<QString, QString> TImportStore::ItemRules(const QString &user, const QString &type)
{
    TConnection conn;
    TCloseScope scope{conn};
    QHash<QString, QString> rules;
    if (!OpenImport(conn))
        return rules;
    TRecordset rs;
    rs.OpenForward(QStringLiteral("select [counterpart],[cate] from [import_rules] where [user]=? and [type]=?"),
                   conn, {THi::EncodeText(user), type});
    for (; !rs.Eof(); rs.MoveNext())
        rules.insert(THi::DecodeText(rs.FieldAt(0)), THi::DecodeText(rs.FieldAt(1)));
    return rules;
}

int TImportStore::Import(const QString &user, const QString &fileName,
                         const QList<TImportRecord> &records, const QList<TItemRule> &rules)
{
    for (const TImportRecord &r : records)
        CheckRecord(r);
    TConnection conn;
    TCloseScope scope{conn};
    if (!OpenImport(conn))
        throw TError(QStringLiteral("账本文件是只读的，无法导入"));
    const QString encodedUser = THi::EncodeText(user);
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("insert into [import_batches] ([user],[time],[file],[records]) values (?,?,?,0)"),
                 {encodedUser, QDateTime::currentDateTime().toString(Qt::ISODate), THi::EncodeText(fileName)});
    const qint64 batch = LastId(conn);
    // Read under the write lock: the same transaction may have been stored since the bill
    // was read, by this window or another.
    QSet<QString> known;
    {
        TRecordset rs;
        rs.OpenForward(QStringLiteral("select [key] from [import_keys] where [user]=?"), conn, {encodedUser});
        for (; !rs.Eof(); rs.MoveNext())
            known.insert(rs.FieldAt(0));
    }
    QList<TImportRecord> stored;
    {
        TRowStatement insertRecord(conn, QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                                        "values (?,?,?,?,?,?)"));
        TRowStatement insertKey(conn, QStringLiteral("insert into [import_keys] ([user],[key],[batch],[record]) "
                                                     "values (?,?,?,?)"));
        QHash<QString, QString> encodedItems;
        for (const TImportRecord &r : records) {
            if (known.contains(r.key))
                continue;
            known.insert(r.key);
            auto encoded = encodedItems.find(r.item);
            if (encoded == encodedItems.end())
                encoded = encodedItems.insert(r.item, THi::EncodeText(THi::Trim(r.item)));
            insertRecord.Run({encodedUser, r.date.toString(QStringLiteral("yyyy-MM-dd")), r.type, *encoded,
                              double(r.amountFen) / 100.0, THi::EncodeText(THi::Trim(r.notes))});
            insertKey.Run({encodedUser, r.key, batch, LastId(conn)});
            stored << r;
        }
    }
    // An import that stored nothing leaves no trace, so that undo still finds the last real one.
    if (stored.isEmpty())
        conn.Execute(QStringLiteral("delete from [import_batches] where [id]=?"), {batch});
    else
        conn.Execute(QStringLiteral("update [import_batches] set [records]=? where [id]=?"),
                     {qint64(stored.size()), batch});
    AddItems(conn, encodedUser, stored);
    for (const TItemRule &rule : rules)
        conn.Execute(QStringLiteral("insert or replace into [import_rules] ([user],[type],[counterpart],[cate]) "
                                    "values (?,?,?,?)"),
                     {encodedUser, rule.type, THi::EncodeText(rule.counterpart),
                      THi::EncodeText(THi::Trim(rule.item))});
    conn.Commit();
    return int(stored.size());
}

std::optional<TImportBatch> TImportStore::LastImport(const QString &user)
{
    TConnection conn;
    TCloseScope scope{conn};
    if (!OpenImport(conn))
        return std::nullopt;
    TRecordset rs;
    rs.Open(QStringLiteral("select [id],[time],[file],[records],[undone] from [import_batches] "
                           "where [user]=? order by [id] desc limit 1"),
            conn, {THi::EncodeText(user)});
    if (rs.Eof() || rs.FieldIntAt(4) != 0)
        return std::nullopt;
    TImportBatch batch;
    batch.id = rs.FieldIntAt(0);
    batch.time = QDateTime::fromString(rs.FieldAt(1), Qt::ISODate);
    batch.fileName = THi::DecodeText(rs.FieldAt(2));
    batch.recordCount = int(rs.FieldIntAt(3));
    TRecordset count;
    count.Open(QStringLiteral("select count(*) from [import_keys] k join [data] d on d.[id]=k.[record] "
                              "where k.[batch]=? and d.[user]=k.[user]"),
               conn, {batch.id});
    batch.unchangedCount = int(count.FieldIntAt(0));
    return batch;
}

int TImportStore::UndoLastImport(const QString &user)
{
    const std::optional<TImportBatch> last = LastImport(user);
    if (!last)
        return 0;
    TConnection conn;
    TCloseScope scope{conn};
    OpenImport(conn);
    conn.BeginTransaction();
    // Unchanged records are marked first by turning their batch negative: their keys go with
    // them, so that the bill can be imported again, while a record the user changed (it got
    // a new id) or deleted keeps its key and is never imported a second time.
    conn.Execute(QStringLiteral("update [import_keys] set [batch]=-[batch] where [batch]=? and [record] in "
                                "(select d.[id] from [data] d where d.[user]=[import_keys].[user])"),
                 {last->id});
    conn.Execute(QStringLiteral("delete from [data] where [id] in "
                                "(select [record] from [import_keys] where [batch]=?)"),
                 {-last->id});
    const int removed = sqlite3_changes(conn.Handle());
    conn.Execute(QStringLiteral("delete from [import_keys] where [batch]=?"), {-last->id});
    conn.Execute(QStringLiteral("update [import_batches] set [undone]=1 where [id]=?"), {last->id});
    conn.Commit();
    return removed;
}
