#include "store/Ado.h"
#include "base/Errors.h"
#include "store/LedgerSchema.h"

#include <QFileInfo>
#include <QStringEncoder>

#include <sqlite3.h>

namespace {

// Orders texts by their GB18030 bytes, as the ledger's type words were ordered in the
// Chinese code page: "支出" sorts after "收入".
int CompareGbk(void *, int len1, const void *s1, int len2, const void *s2)
{
    QStringEncoder enc("GB18030");
    const QByteArray a = enc.encode(QString::fromUtf8(static_cast<const char *>(s1), len1));
    const QByteArray b = enc.encode(QString::fromUtf8(static_cast<const char *>(s2), len2));
    const int c = memcmp(a.constData(), b.constData(), size_t(qMin(a.size(), b.size())));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
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
    sqlite3_extended_result_codes(m_db, 1);
    // The file's own schema may run nothing but the engine's harmless functions, and no
    // statement may write its pages or schema behind the engine's back.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // A write lock held by another process is waited for a while, then reported.
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_create_collation(m_db, "GBK", SQLITE_UTF8, nullptr, CompareGbk);
    Execute(QStringLiteral("PRAGMA mmap_size=268435456"));
}

void TConnection::Close()
{
    if (!m_db)
        return;
    if (m_inTransaction)
        Rollback();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void TConnection::Fail(const QString &what)
{
    QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("connection closed");
    const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
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
        msg = QStringLiteral("磁盘已满，无法写入数据文件（%1）").arg(msg);
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

sqlite3_stmt *TConnection::Prepare(const QString &sql, const QVariantList &params)
{
    if (!m_db)
        throw TError(QStringLiteral("数据库连接未打开"));
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        Fail(QString());
    }
    BindAll(stmt, params);
    return stmt;
}

void TConnection::Execute(const QString &sql, const QVariantList &params)
{
    sqlite3_stmt *stmt = Prepare(sql, params);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        Fail(QString());
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

TRecordset::~TRecordset()
{
    Close();
}

void TRecordset::Close()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_rows.clear();
    m_names.clear();
    m_conn = nullptr;
    m_eof = true;
    m_pos = 0;
}

void TRecordset::Open(const QString &sql, TConnection &conn, const QVariantList &params)
{
    Close();
    m_conn = &conn;
    m_static = true;
    sqlite3_stmt *stmt = conn.Prepare(sql, params);
    const int cols = sqlite3_column_count(stmt);
    for (int i = 0; i < cols; ++i)
        m_names << QString::fromUtf8(sqlite3_column_name(stmt, i));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        row.reserve(cols);
        for (int i = 0; i < cols; ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                row << QVariant(qint64(sqlite3_column_int64(stmt, i)));
                break;
            case SQLITE_FLOAT:
                row << QVariant(sqlite3_column_double(stmt, i));
                break;
            case SQLITE_NULL:
                row << QVariant();
                break;
            default:
                row << QVariant(QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                    sqlite3_column_bytes(stmt, i)));
            }
        }
        m_rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        m_rows.clear();
        conn.Fail(QString());
    }
    m_pos = 0;
}

void TRecordset::OpenForward(const QString &sql, TConnection &conn, const QVariantList &params)
{
    Close();
    m_conn = &conn;
    m_static = false;
    m_stmt = conn.Prepare(sql, params);
    const int cols = sqlite3_column_count(m_stmt);
    for (int i = 0; i < cols; ++i)
        m_names << QString::fromUtf8(sqlite3_column_name(m_stmt, i));
    Step();
}

void TRecordset::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_eof = false;
        return;
    }
    m_eof = true;
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    if (rc != SQLITE_DONE)
        m_conn->Fail(QString());
}

bool TRecordset::Eof() const
{
    return m_static ? m_pos >= int(m_rows.size()) : m_eof;
}

bool TRecordset::Bof() const
{
    return m_static ? (m_pos < 0 || m_rows.empty()) : false;
}

void TRecordset::MoveNext()
{
    if (m_static) {
        if (m_pos < int(m_rows.size()))
            ++m_pos;
    } else if (!m_eof) {
        Step();
    }
}

void TRecordset::MoveLast()
{
    if (!m_static)
        throw TError(QStringLiteral("只进记录集不能向后移动"));
    m_pos = int(m_rows.size()) - 1;
}

void TRecordset::MovePrevious()
{
    if (!m_static)
        throw TError(QStringLiteral("只进记录集不能向后移动"));
    if (m_pos >= 0)
        --m_pos;
}

int TRecordset::FieldIndex(const char *name) const
{
    const QString n = QString::fromUtf8(name);
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names[i].compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TRecordset::ValueAt(int index) const
{
    if (index < 0 || index >= m_names.size())
        throw TError(QStringLiteral("记录集中没有这个字段"));
    if (Eof() || Bof())
        throw TError(QStringLiteral("记录集没有当前记录"));
    if (m_static)
        return m_rows[size_t(m_pos)][index];
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(QString::fromUtf8(
            reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index)),
            sqlite3_column_bytes(m_stmt, index)));
    }
}

QString TRecordset::Field(const char *name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw TError(QStringLiteral("记录集中没有字段 %1").arg(QString::fromUtf8(name)));
    return FieldAt(index);
}

QString TRecordset::FieldAt(int index) const
{
    const QVariant v = ValueAt(index);
    if (v.isNull())
        throw TError(QStringLiteral("字段 %1 的值为空").arg(m_names.value(index)));
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

double TRecordset::FieldDoubleAt(int index) const
{
    const QVariant v = ValueAt(index);
    if (v.isNull())
        throw TError(QStringLiteral("字段 %1 的值为空").arg(m_names.value(index)));
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw TError(QStringLiteral("字段 %1 的值不是数字").arg(m_names.value(index)));
    return d;
}

qint64 TRecordset::FieldIntAt(int index) const
{
    const QVariant v = ValueAt(index);
    if (v.isNull())
        throw TError(QStringLiteral("字段 %1 的值为空").arg(m_names.value(index)));
    return v.toLongLong();
}
