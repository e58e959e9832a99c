#include "store/DbClass.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/LedgerSchema.h"
#include "store/PlanTables.h"

#include <cmath>

namespace {

constexpr const char *kInsertRecord =
    "insert into [data] ([user],[date],[type],[cate],[amount],[notes]) values (?,?,?,?,?,?)";

double AmountValue(const QString &amount)
{
    bool ok = false;
    const double v = amount.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        throw TError(QStringLiteral("金额“%1”不是有效的数字").arg(amount));
    return v;
}

qint64 IdValue(const QString &id)
{
    bool ok = false;
    const qint64 v = id.trimmed().toLongLong(&ok);
    if (!ok)
        throw TError(QStringLiteral("记录编号“%1”无效").arg(id));
    return v;
}

} // namespace

TDbMan::TDbMan(const QString &path) : m_path(path) {}

TDbMan::~TDbMan() = default;

void TDbMan::OpenLedger(TConnection &conn)
{
    conn.Open(m_path);
    int rc = 0;
    const QString problem = LedgerSchemaProblem(conn.Handle(), rc);
    if (rc != 0)
        conn.Fail(QString());
    if (!problem.isEmpty()) {
        conn.Close();
        throw TError(QStringLiteral("数据文件“%1”不是有效的账本数据库（%2）").arg(m_path, problem));
    }
    if (!conn.IsReadOnly()) {
        bool wanted = false;
        {
            TStatement st(conn, QStringLiteral(
                "select ifnull(sum(type='index' and name='data_records'),0),"
                "ifnull(sum(type='index' and name='data_user_date'),0) from sqlite_master"));
            wanted = st.Next() && (st.Integer(0) == 0 || st.Integer(1) > 0);
        }
        if (wanted)
            AddRecordIndex(conn);
    }
    AddPlanTables(conn);
}

void TDbMan::AddRecordIndex(TConnection &conn)
{
    // Searches read a user's span of records from this index alone. Ledgers written before
    // it existed gain it once; the narrower index it replaces would only slow every save.
    // Without it everything still works, only slower, so a ledger that cannot take it now
    // (locked by another instance, disk full) is used as it is.
    try {
        conn.BeginTransaction();
        conn.Execute(QStringLiteral("create index if not exists [data_records] on [data] "
                                    "([user],[date],[type],[cate],[amount],[notes])"));
        conn.Execute(QStringLiteral("drop index if exists [data_user_date]"));
        conn.Commit();
    } catch (const TError &) {
        conn.Open(m_path);
    }
}

bool TDbMan::AddUser(const QString &name, const QString &password)
{
    {
        TConnection conn;
        TConnectionScope scope{conn};
        OpenLedger(conn);
        conn.Execute(QStringLiteral("insert into [users] ([name],[pwd]) values (?,?)"),
                     {THi::EncodeText(name), THi::EncodeText(password)});
    }
    return UserExists(name);
}

bool TDbMan::DeleteUser(const QString &name)
{
    {
        TConnection conn;
        TConnectionScope scope{conn};
        OpenLedger(conn);
        RequirePlanTables(conn);
        // A deleted member leaves the family summary with the account.
        conn.BeginTransaction();
        conn.Execute(QStringLiteral("delete from [users] where [name]=?"), {THi::EncodeText(name)});
        conn.Execute(QStringLiteral("delete from [family_consent] where [user]=?"), {THi::EncodeText(name)});
        conn.Commit();
    }
    return !UserExists(name);
}

bool TDbMan::UserExists(const QString &name)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TStatement st(conn, QStringLiteral("select 1 from [users] where [name]=?"), {THi::EncodeText(name)});
    return st.Next();
}

bool TDbMan::CheckUser(const QString &name, const QString &password)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TStatement st(conn, QStringLiteral("select 1 from [users] where [name]=? and [pwd]=?"),
                  {THi::EncodeText(name), THi::EncodeText(password)});
    return st.Next();
}

QString TDbMan::GetUsers()
{
    QString text;
    {
        TConnection conn;
        TConnectionScope scope{conn};
        OpenLedger(conn);
        // The newest account first.
        TStatement st(conn, QStringLiteral("select [name] from [users] order by rowid desc"));
        while (st.Next())
            text += QStringLiteral("\r\n") + THi::DecodeText(st.Text(0));
    }
    return THi::Trim(text);
}

void TDbMan::ReplaceUser(const QString &name, const QString &password)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("delete from [users] where [name]=?"), {THi::EncodeText(name)});
    conn.Execute(QStringLiteral("insert into [users] ([name],[pwd]) values (?,?)"),
                 {THi::EncodeText(name), THi::EncodeText(password)});
    conn.Commit();
}

void TDbMan::InsertRecord(TConnection &conn, const QString &encodedUser, const QString &date,
                          const QString &type, const QString &item, const QString &amount,
                          const QString &notes)
{
    conn.Execute(QString::fromUtf8(kInsertRecord),
                 {encodedUser, date, type, THi::EncodeText(item), AmountValue(amount),
                  THi::EncodeText(notes)});
}

void TDbMan::AddRecord(const QString &user, const QString &date, const QString &type,
                       const QString &item, const QString &amount, const QString &notes)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    InsertRecord(conn, THi::EncodeText(user), date, type, item, amount, notes);
}

void TDbMan::AddRecords(const QString &user, const QList<TNewRecord> &rows)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    if (rows.isEmpty())
        return;
    const QString encodedUser = THi::EncodeText(user);
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    // The pending list is saved in one transaction, all rows or none, through one
    // prepared insert.
    conn.BeginTransaction();
    {
        TStatement insert(conn, QString::fromUtf8(kInsertRecord));
        for (const TNewRecord &row : rows) {
            if (!row.date.isValid())
                throw TError(QStringLiteral("待保存的记录日期无效"));
            insert.Bind({encodedUser, row.date.toString(ymd), row.type, THi::EncodeText(row.item),
                         YuanFromFen(row.amount), THi::EncodeText(row.notes)});
            insert.Run();
        }
    }
    conn.Commit();
}

void TDbMan::DeleteRecord(const QString &id)
{
    const qint64 key = IdValue(id);
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    conn.Execute(QStringLiteral("delete from [data] where [id]=?"), {key});
}

void TDbMan::ChangeRecord(const QString &id, const QString &user, const QString &date,
                          const QString &type, const QString &item, const QString &amount,
                          const QString &notes)
{
    const qint64 key = IdValue(id);
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("delete from [data] where [id]=?"), {key});
    InsertRecord(conn, THi::EncodeText(user), date, type, item, amount, notes);
    conn.Commit();
}

QString TDbMan::GetCates(const QString &user, const QString &column)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TStatement st(conn, QStringLiteral("select * from [cates] where [user]=?"), {THi::EncodeText(user)});
    if (st.Next())
        return THi::DecodeText(st.Text(column.toUtf8().constData()));
    return QString();
}

void TDbMan::SetCates(const QString &user, const QString &column, const QString &text)
{
    QString outList = GetCates(user, QStringLiteral("out"));
    QString inList = GetCates(user, QStringLiteral("in"));
    if (column == QLatin1String("out"))
        outList = text;
    else if (column == QLatin1String("in"))
        inList = text;
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    // Delete and re-insert stand or fall together, so a list is never lost half-way.
    conn.BeginTransaction();
    const QString encodedUser = THi::EncodeText(user);
    conn.Execute(QStringLiteral("delete from [cates] where [user]=?"), {encodedUser});
    conn.Execute(QStringLiteral("insert into [cates] ([user],[out],[in]) values (?,?,?)"),
                 {encodedUser, THi::EncodeText(outList), THi::EncodeText(inList)});
    conn.Commit();
}
