#include "store/DbClass.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/LedgerSchema.h"
#include "store/PlanTables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <sqlite3.h>

#include <cmath>
#include <optional>
#include <sys/stat.h>

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

// Files whose pages were read through at their first open in this process, by device
// and inode: a restore puts a new file in place, which is checked anew.
QMutex g_checkedMutex;
QSet<QPair<quint64, quint64>> g_checked;

std::optional<QPair<quint64, quint64>> FileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return qMakePair(quint64(st.st_dev), quint64(st.st_ino));
}

// The newest copy the user can restore from: a snapshot taken before a restore or a
// backup kept beside the ledger.
QString NewestCopy(const QString &ledger)
{
    QString newest;
    QDateTime newestTime;
    const QDir folder = QFileInfo(ledger).absoluteDir();
    for (const QString &sub : {QStringLiteral("snapshots"), QStringLiteral("backups")}) {
        const QFileInfoList copies = QDir(folder.filePath(sub)).entryInfoList({QStringLiteral("*.zovalt")}, QDir::Files);
        for (const QFileInfo &copy : copies)
            if (newest.isEmpty() || copy.lastModified() > newestTime ||
                (copy.lastModified() == newestTime && copy.absoluteFilePath() > newest)) {
                newest = copy.absoluteFilePath();
                newestTime = copy.lastModified();
            }
    }
    return newest;
}

} // namespace

void TDbMan::ForgetCheckedFiles()
{
    QMutexLocker lock(&g_checkedMutex);
    g_checked.clear();
}

void TDbMan::CheckPagesOnce(TConnection &conn)
{
    const auto identity = FileIdentity(m_path);
    if (!identity)
        return;
    {
        QMutexLocker lock(&g_checkedMutex);
        if (g_checked.contains(*identity))
            return;
    }
    // Every page read once, within a bound: a ledger too large to be read through in that
    // time is used as it is (a damaged page is then met when it is read).
    sqlite3 *db = conn.Handle();
    conn.Deadline()->Arm(kPageCheckLimitMs);
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    QString verdict;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            verdict = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    const QString engine = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    conn.Deadline()->Disarm();
    const int code = rc & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_NOMEM)
        return;  // checked at a later open
    if (code != SQLITE_INTERRUPT && (rc != SQLITE_ROW || verdict != QLatin1String("ok"))) {
        conn.Close();
        const QString why = rc == SQLITE_ROW ? verdict.left(200) : engine;
        const QString copy = NewestCopy(m_path);
        const QString advice =
            copy.isEmpty()
                ? QStringLiteral("没有找到可以恢复的副本；如果您有备份，请用“从备份中恢复数据”或在命令行运行 tallyfern 备份文件 从它恢复。")
                : QStringLiteral("最近的副本是“%1”，可以在命令行运行 tallyfern “%1” 从它恢复数据。").arg(copy);
        throw TError(QStringLiteral("数据文件“%1”已损坏（%2）。为了不损失更多数据，本程序不再读写它。\n%3")
                         .arg(m_path, why, advice));
    }
    QMutexLocker lock(&g_checkedMutex);
    g_checked.insert(*identity);
}

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
    CheckPagesOnce(conn);
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
