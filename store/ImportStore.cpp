#include "store/ImportStore.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "store/Ado.h"
#include "store/PlanTables.h"

#include <sqlite3.h>

namespace {

struct TCloseScope {
    TConnection &conn;
    ~TCloseScope() { conn.Close(); }
};

// Plain tables and indexes only. The ledger check accepts exactly these (see
// ImportSchemaStatements), so a change here is a change of what ledger files may hold.
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
    TStatement rs(conn, QStringLiteral("select count(*) from sqlite_master where type='table' and "
                           "name in ('import_batches','import_keys','import_rules')"));
    return rs.Next() && rs.Integer(0) == 3;
}

void CreateTables(TConnection &conn)
{
    conn.BeginTransaction();
    for (const char *sql : kSchema)
        conn.Execute(QString::fromLatin1(sql));
    conn.Commit();
}

qint64 LastId(TConnection &conn) { return sqlite3_last_insert_rowid(conn.Handle()); }

// The user's two item lists in one pass, extended as entry extends them: a new item goes to
// the top of its list, an item already there (compared as entry compares) changes nothing.
void AddItems(TConnection &conn, const QString &encodedUser, const QList<TImportRecord> &records)
{
    QString outText, inText;
    {
        TStatement rs(conn, QStringLiteral("select [out],[in] from [cates] where [user]=?"), {encodedUser});
        if (rs.Next()) {
            outText = THi::DecodeText(rs.Text("out"));
            inText = THi::DecodeText(rs.Text("in"));
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

QStringList ImportSchemaStatements()
{
    QStringList all;
    for (const char *sql : kSchema)
        all << QString::fromLatin1(sql);
    return all;
}

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
    TStatement rs(conn, QStringLiteral("select [key] from [import_keys] where [user]=?"), {THi::EncodeText(user)});
    while (rs.Next())
        keys.insert(rs.Text(0));
    return keys;
}

QList<TStoredRecord> TImportStore::RecordsBetween(const QString &user, const QDate &first, const QDate &last)
{
    TConnection conn;
    TCloseScope scope{conn};
    OpenLedger(conn);
    QList<TStoredRecord> records;
    TStatement rs(conn, QStringLiteral("select [id],[date],[type],[amount],[cate],[notes] from [data] "
                                       "where [user]=? and [date] between ? and ?"),
                  {THi::EncodeText(user), first.toString(Qt::ISODate), last.toString(Qt::ISODate)});
    while (rs.Next())
        records << TStoredRecord{rs.Integer(0), QDate::fromString(rs.Text(1), Qt::ISODate), rs.Text(2),
                                 FenFromYuan(rs.Number(3)), THi::DecodeText(rs.Text(4)), THi::DecodeText(rs.Text(5))};
    return records;
}

QHash<QString, QString> TImportStore::ItemRules(const QString &user, const QString &type)
{
    TConnection conn;
    TCloseScope scope{conn};
    QHash<QString, QString> rules;
    if (!OpenImport(conn))
        return rules;
    TStatement rs(conn, QStringLiteral("select [counterpart],[cate] from [import_rules] where [user]=? and [type]=?"), {THi::EncodeText(user), type});
    while (rs.Next())
        rules.insert(THi::DecodeText(rs.Text(0)), THi::DecodeText(rs.Text(1)));
    return rules;
}

int TImportStore::Import(const QString &user, const QString &fileName, const QList<TImportRecord> &records,
                         const QList<TItemRule> &rules, const std::function<bool(int)> &progress)
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
        TStatement rs(conn, QStringLiteral("select [key] from [import_keys] where [user]=?"), {encodedUser});
        while (rs.Next())
            known.insert(rs.Text(0));
    }
    QList<TImportRecord> stored;
    {
        TStatement insertRecord(conn, QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                                        "values (?,?,?,?,?,?)"));
        TStatement insertKey(conn, QStringLiteral("insert into [import_keys] ([user],[key],[batch],[record]) "
                                                     "values (?,?,?,?)"));
        QHash<QString, QString> encodedItems;
        qsizetype done = 0;
        for (const TImportRecord &r : records) {
            // Cancelling leaves the transaction open; closing the connection rolls it back.
            if (progress && ++done % 1024 == 0 && !progress(int(done * 100 / records.size())))
                throw TError(QStringLiteral("导入已取消，没有存入任何记录"));
            if (known.contains(r.key))
                continue;
            known.insert(r.key);
            auto encoded = encodedItems.find(r.item);
            if (encoded == encodedItems.end())
                encoded = encodedItems.insert(r.item, THi::EncodeText(THi::Trim(r.item)));
            insertRecord.Bind({encodedUser, r.date.toString(QStringLiteral("yyyy-MM-dd")), r.type, *encoded,
                               YuanFromFen(r.amountFen), THi::EncodeText(THi::Trim(r.notes))});
            insertRecord.Run();
            insertKey.Bind({encodedUser, r.key, batch, LastId(conn)});
            insertKey.Run();
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
    TStatement rs(conn, QStringLiteral("select [id],[time],[file],[records],[undone] from [import_batches] "
                           "where [user]=? order by [id] desc limit 1"), {THi::EncodeText(user)});
    if (!rs.Next() || rs.Integer(4) != 0)
        return std::nullopt;
    TImportBatch batch;
    batch.id = rs.Integer(0);
    batch.time = QDateTime::fromString(rs.Text(1), Qt::ISODate);
    batch.fileName = THi::DecodeText(rs.Text(2));
    batch.recordCount = int(rs.Integer(3));
    TStatement count(conn, QStringLiteral("select count(*) from [import_keys] k join [data] d on d.[id]=k.[record] "
                              "where k.[batch]=? and d.[user]=k.[user]"), {batch.id});
    batch.unchangedCount = count.Next() ? int(count.Integer(0)) : 0;
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
    // One pass over the batch's keys (by their index), each record looked up by its id.
    conn.Execute(QStringLiteral("update [import_keys] set [batch]=-[batch] where [batch]=? and exists "
                                "(select 1 from [data] d where d.[id]=[import_keys].[record] "
                                "and d.[user]=[import_keys].[user])"),
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

std::optional<std::pair<QString, QString>> TImportStore::MappingFor(const QString &user, const QString &header)
{
    TConnection conn;
    TCloseScope scope{conn};
    OpenLedger(conn);
    if (!HasPlanTables(conn))
        return std::nullopt;
    TStatement rs(conn, QStringLiteral("select name, mapping from column_mappings where user=? and header=? "
                                       "order by rowid desc limit 1"),
                  {THi::EncodeText(user), header});
    if (!rs.Next())
        return std::nullopt;
    return std::make_pair(THi::DecodeText(rs.Text(0)), rs.Text(1));
}

void TImportStore::SaveMapping(const QString &user, const QString &name, const QString &header, const QString &mapping)
{
    TConnection conn;
    TCloseScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    conn.Execute(QStringLiteral("insert or replace into column_mappings (user, name, header, mapping) values (?,?,?,?)"),
                 {THi::EncodeText(user), THi::EncodeText(name), header, mapping});
}
