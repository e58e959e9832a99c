#include "store/Ado.h"
#include "base/Errors.h"
#include "store/LedgerSchema.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <atomic>
#include <chrono>

using Clock = TDeadline::Clock;

namespace {

std::atomic<int> g_statementLimitMs{kStatementTimeLimitMs};

// Whether a table's automatic numbers are at or near the largest integer (a batch that
// ran into it is rolled back whole, its numbers too). No ledger the program wrote comes
// anywhere near it.
bool SequenceAtMaximum(sqlite3 *db)
{
    sqlite3_stmt *stmt = nullptr;
    bool atMax = false;
    if (sqlite3_prepare_v2(db, "select 1 from main.sqlite_sequence where seq>9223372036000000000", -1, &stmt,
                           nullptr) == SQLITE_OK)
        atMax = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return atMax;
}


void BindAll(sqlite3_stmt *stmt, const QVariantList &params)
{
    for (int i = 0; i < params.size(); ++i) {
        const QVariant &v = params[i];
        const int n = i + 1;
        switch (v.typeId()) {
        case QMetaType::Double:
            sqlite3_bind_double(stmt, n, v.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            sqlite3_bind_int64(stmt, n, v.toLongLong());
            break;
        default:
            if (v.isNull() && v.typeId() != QMetaType::QString) {
                sqlite3_bind_null(stmt, n);
            } else {
                const QByteArray utf8 = v.toString().toUtf8();
                sqlite3_bind_text(stmt, n, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
        }
    }
}

} // namespace

int StepPastDeadline(void *context)
{
    auto *d = static_cast<TDeadline *>(context);
    if (!d->armed)
        return 0;
    const Clock::time_point now = Clock::now();
    if (d->seenStep != d->step) {
        d->seenStep = d->step;
        d->start = now;
        return 0;
    }
    const int limit = d->limitMs > 0 ? d->limitMs : g_statementLimitMs.load(std::memory_order_relaxed);
    return now - d->start > std::chrono::milliseconds(limit) ? 1 : 0;
}

TConnection::~TConnection()
{
    Close();
}

void TConnection::Open(const QString &path)
{
    Close();
    m_path = path;
    CheckRegularFile(path, QStringLiteral("数据文件"));
    // A file without write permission is read-only for everybody, the administrator too,
    // as the read-only attribute of a file is; writes then fail with a plain message.
    const bool readOnly = !(QFile::permissions(path) & QFileDevice::WriteOwner);
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                                       SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw TError(QStringLiteral("无法打开数据文件“%1”：%2").arg(path, msg));
    }
    m_db = db;
    m_readOnly = readOnly;
    m_deadline = std::make_unique<TDeadline>();
    HardenConnection(m_db);
    sqlite3_progress_handler(m_db, 1000, StepPastDeadline, m_deadline.get());
    // A write lock held by another process is waited for a while, then reported.
    sqlite3_busy_timeout(m_db, 5000);
}

void HardenConnection(sqlite3 *db)
{
    sqlite3_extended_result_codes(db, 1);
    // The file's own schema may run nothing but the engine's harmless functions, and no
    // statement may write its pages or schema behind the engine's back.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // What the program's own statements and rows need, and no more: the longest value is
    // a note far beyond what the program writes (kept whole when another program stored
    // it), the longest statement a few hundred characters.
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestStoredValue);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 100000);
    sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    // Pages are read with read(), never mapped: a file cut short by another process while
    // it is read gives an error, not a crash. Every page read is checked for cells that
    // point outside it.
    sqlite3_exec(db, "PRAGMA mmap_size=0; PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
}

void SetStatementTimeLimit(int milliseconds)
{
    g_statementLimitMs = milliseconds;
}

void TConnection::Close()
{
    if (!m_db)
        return;
    if (m_inTransaction)
        Rollback();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_deadline.reset();
}

void TConnection::Fail(const QString &what)
{
    QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("connection closed");
    const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
    const bool exhausted = (code & 0xff) == SQLITE_FULL && SequenceAtMaximum(m_db);
    Close();
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        msg = QStringLiteral("数据文件正被另一个程序使用，请稍后再试（%1）").arg(msg);
        break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        msg = QStringLiteral("数据文件“%1”已损坏或不是账本数据库（%2）").arg(m_path, msg);
        break;
    case SQLITE_READONLY:
        msg = QStringLiteral("数据文件“%1”是只读的，无法写入（%2）").arg(m_path, msg);
        break;
    case SQLITE_FULL:
        // The engine says "database or disk is full" also when a table's automatic numbers
        // have reached the largest integer.
        msg = exhausted ? QStringLiteral("数据文件“%1”中记录的编号已经用到了最大值，无法再添加记录（文件中的编号是别的程序写入的），没有保存").arg(m_path)
                                  : QStringLiteral("磁盘已满，无法写入数据文件（%1）").arg(msg);
        break;
    case SQLITE_INTERRUPT:
        msg = QStringLiteral("数据文件中的操作耗时过长，已停止。这次操作没有改动数据文件“%1”").arg(m_path);
        break;
    case SQLITE_TOOBIG:
        msg = QStringLiteral("数据文件“%1”中的内容超出了本程序能处理的大小，没有读写（%2）").arg(m_path, msg);
        break;
    case SQLITE_CONSTRAINT:
        // The engine's text would name the file's own constraint or repeat its message.
        msg = QStringLiteral("数据文件“%1”拒绝了这次写入（不符合文件中数据表的约束），没有保存").arg(m_path);
        break;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        msg = QStringLiteral("读写数据文件“%1”时出错（%2）").arg(m_path, msg);
        break;
    default:
        if (!what.isEmpty())
            msg = QStringLiteral("%1：%2").arg(what, msg);
    }
    throw TError(msg);
}

void TConnection::Execute(const QString &sql, const QVariantList &params)
{
    TStatement(*this, sql, params).Run();
}

void TConnection::BeginTransaction()
{
    // IMMEDIATE takes the write lock at once, so a competing writer is met here.
    Execute(QStringLiteral("BEGIN IMMEDIATE"));
    m_inTransaction = true;
}

void TConnection::Commit()
{
    Execute(QStringLiteral("COMMIT"));
    m_inTransaction = false;
}

void TConnection::Rollback()
{
    if (m_db && m_inTransaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_inTransaction = false;
}

TStatement::TStatement(TConnection &conn, const QString &sql, const QVariantList &params)
    : m_conn(conn)
{
    if (!conn.IsOpen())
        throw TError(QStringLiteral("数据库连接未打开"));
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(conn.Handle(), text.constData(), int(text.size()), &m_stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        conn.Fail(QString());
    }
    BindAll(m_stmt, params);
}

TStatement::~TStatement()
{
    sqlite3_finalize(m_stmt);
}

bool TStatement::Next()
{
    TDeadline *deadline = m_conn.Deadline();
    if (deadline)
        deadline->Arm();
    const int rc = sqlite3_step(m_stmt);
    if (deadline)
        deadline->Disarm();
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        // The connection is closed by Fail; the statement must be gone before that.
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_conn.Fail(QString());
    }
    return false;
}

void TStatement::Run()
{
    while (Next()) {
    }
}

void TStatement::Bind(const QVariantList &params)
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    BindAll(m_stmt, params);
}

int TStatement::ColumnCount() const
{
    return sqlite3_column_count(m_stmt);
}

int TStatement::ColumnIndex(const char *name) const
{
    const int cols = ColumnCount();
    for (int i = 0; i < cols; ++i)
        if (sqlite3_stricmp(sqlite3_column_name(m_stmt, i), name) == 0)
            return i;
    return -1;
}

bool TStatement::IsNull(int col) const
{
    return sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

void TStatement::CheckNotNull(int col) const
{
    if (col < 0 || col >= ColumnCount())
        throw TError(QStringLiteral("结果中没有这个字段"));
    if (IsNull(col))
        throw TError(QStringLiteral("字段 %1 的值为空")
                         .arg(QString::fromUtf8(sqlite3_column_name(m_stmt, col))));
}

QByteArrayView TStatement::Bytes(int col) const
{
    CheckNotNull(col);
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, col));
}

double TStatement::Number(int col) const
{
    CheckNotNull(col);
    return sqlite3_column_double(m_stmt, col);
}

qint64 TStatement::Integer(int col) const
{
    CheckNotNull(col);
    return sqlite3_column_int64(m_stmt, col);
}

QString TStatement::Text(int col) const
{
    CheckNotNull(col);
    if (sqlite3_column_type(m_stmt, col) == SQLITE_FLOAT)
        return QString::number(sqlite3_column_double(m_stmt, col), 'g', 17);
    return QString::fromUtf8(Bytes(col));
}

QString TStatement::Text(const char *name) const
{
    const int col = ColumnIndex(name);
    if (col < 0)
        throw TError(QStringLiteral("结果中没有字段 %1").arg(QString::fromUtf8(name)));
    return Text(col);
}

QVariant TStatement::Value(int col) const
{
    switch (sqlite3_column_type(m_stmt, col)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, col));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(QString::fromUtf8(Bytes(col)));
    }
}
