#include "store/DbClass.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/LedgerSchema.h"
#include "store/PlanTables.h"

#include <cmath>

namespace {

// Closes the connection at the end of every unit of work, whatever happens; a
// transaction still open at that point is rolled back.
struct ConnectionScope {
    TConnection &conn;
    ~ConnectionScope() { conn.Close(); }
};

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
    AddPlanTables(conn);
}

bool TDbMan::AddUser(const QString &name, const QString &password)
{
    {
        TConnection conn;
        ConnectionScope scope{conn};
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
        ConnectionScope scope{conn};
        OpenLedger(conn);
        conn.Execute(QStringLiteral("delete from [users] where [name]=?"), {THi::EncodeText(name)});
    }
    return !UserExists(name);
}

bool TDbMan::UserExists(const QString &name)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TRecordset rs;
    rs.Open(QStringLiteral("select * from [users] where [name]=?"), conn, {THi::EncodeText(name)});
    return rs.RecordCount() > 0;
}

bool TDbMan::CheckUser(const QString &name, const QString &password)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TRecordset rs;
    rs.Open(QStringLiteral("select * from [users] where [name]=? and [pwd]=?"), conn,
            {THi::EncodeText(name), THi::EncodeText(password)});
    return rs.RecordCount() > 0;
}

QString TDbMan::GetUsers()
{
    QString text;
    {
        TConnection conn;
        ConnectionScope scope{conn};
        OpenLedger(conn);
        TRecordset rs;
        // Oldest first, read from the last row backwards: the newest account comes first.
        rs.Open(QStringLiteral("select * from [users] order by rowid"), conn);
        if (rs.RecordCount() > 0) {
            rs.MoveLast();
            while (!rs.Bof()) {
                text += QStringLiteral("\r\n") + THi::DecodeText(rs.Field("name"));
                rs.MovePrevious();
            }
        }
    }
    return THi::Trim(text);
}

void TDbMan::ReplaceUser(const QString &name, const QString &password)
{
    TConnection conn;
    ConnectionScope scope{conn};
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
    conn.Execute(QStringLiteral("insert into [data] ([user],[date],[type],[cate],[amount],[notes]) "
                                "values (?,?,?,?,?,?)"),
                 {encodedUser, date, type, THi::EncodeText(item), AmountValue(amount),
                  THi::EncodeText(notes)});
}

void TDbMan::AddRecord(const QString &user, const QString &date, const QString &type,
                       const QString &item, const QString &amount, const QString &notes)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    InsertRecord(conn, THi::EncodeText(user), date, type, item, amount, notes);
}

void TDbMan::AddRecords(const QString &user, const QList<QStringList> &rows)
{
    for (const QStringList &row : rows)
        if (row.size() < 5)
            throw TError(QStringLiteral("待保存的记录不完整"));
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    if (rows.isEmpty())
        return;
    const QString encodedUser = THi::EncodeText(user);
    // The pending list is saved in one transaction: all rows or none.
    conn.BeginTransaction();
    for (const QStringList &row : rows)
        InsertRecord(conn, encodedUser, row[0], row[1], row[2], row[3], row[4]);
    conn.Commit();
}

void TDbMan::DeleteRecord(const QString &id)
{
    const qint64 key = IdValue(id);
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    conn.Execute(QStringLiteral("delete from [data] where [id]=?"), {key});
}

void TDbMan::ChangeRecord(const QString &id, const QString &user, const QString &date,
                          const QString &type, const QString &item, const QString &amount,
                          const QString &notes)
{
    const qint64 key = IdValue(id);
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    conn.BeginTransaction();
    conn.Execute(QStringLiteral("delete from [data] where [id]=?"), {key});
    InsertRecord(conn, THi::EncodeText(user), date, type, item, amount, notes);
    conn.Commit();
}

QString TDbMan::GetCates(const QString &user, const QString &column)
{
    TConnection conn;
    ConnectionScope scope{conn};
    OpenLedger(conn);
    TRecordset rs;
    rs.Open(QStringLiteral("select * from [cates] where [user]=?"), conn, {THi::EncodeText(user)});
    if (rs.RecordCount() > 0)
        return THi::DecodeText(rs.Field(column.toUtf8().constData()));
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
    ConnectionScope scope{conn};
    OpenLedger(conn);
    // Delete and re-insert stand or fall together, so a list is never lost half-way.
    conn.BeginTransaction();
    const QString encodedUser = THi::EncodeText(user);
    conn.Execute(QStringLiteral("delete from [cates] where [user]=?"), {encodedUser});
    conn.Execute(QStringLiteral("insert into [cates] ([user],[out],[in]) values (?,?,?)"),
                 {encodedUser, THi::EncodeText(outList), THi::EncodeText(inList)});
    conn.Commit();
}
