#include "store/LedgerFile.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/LedgerSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>
#include <memory>

namespace {

bool SameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

void OpenForReading(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(file.fileName(), file.errorString()));
}

// Copies the rest of source into a replacement of target (mode 0600). beforeRename runs once
// the copy is complete and may still refuse by throwing.
void WriteReplacement(QFile &source, const QString &target,
                      const std::function<void()> &beforeRename = {})
{
    TReplacementFile out(target);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(source.fileName(), source.errorString()));
        if (n == 0)
            break;
        out.Write(buffer.constData(), n);
    }
    if (beforeRename)
        beforeRename();
    out.Commit(TReplacementFile::TMode::Private);
}

using SourceDb = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

QString ErrorText(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// The reason for a failed read of a file that should be a ledger, by the engine's code.
QString ReadFailure(sqlite3 *db, int rc)
{
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("这不是一个数据库文件");
    case SQLITE_CORRUPT:
        return QStringLiteral("文件已损坏（%1）").arg(ErrorText(db));
    case SQLITE_INTERRUPT:
        return QStringLiteral("检查文件耗时过长，已停止");
    default:
        return QStringLiteral("无法读取（%1）").arg(ErrorText(db));
    }
}


// Opens path as a ledger that is not trusted yet and checks it: read-only and immutable,
// so that neither a journal nor a "-wal" file beside it is read, played back or written;
// exactly the program's own tables and indexes; every page readable. The connection is
// returned for reading the rows.
SourceDb OpenCheckedSource(const QString &path)
{
    CheckRegularFile(path, QStringLiteral("文件"));
    const auto notLedger = [&path](const QString &why) {
        return TError(QStringLiteral("“%1”不是有效的账本数据库：%2").arg(path, why));
    };
    // A file in that mode keeps part of its rows in a "-wal" file, which is never read.
    const QString wal = WalModeProblem(path);
    if (!wal.isEmpty())
        throw notLedger(wal);

    TDeadline deadline;
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    SourceDb db(handle, sqlite3_close);
    if (rc != SQLITE_OK)
        throw notLedger(QStringLiteral("无法打开（%1）").arg(ErrorText(db.get())));
    HardenConnection(db.get());
    // The check of a source stops when it takes far longer than any real ledger needs.
    deadline.Arm(60000);
    sqlite3_progress_handler(db.get(), 1000, StepPastDeadline, &deadline);

    int schemaRc = SQLITE_OK;
    const QString problem = LedgerSchemaProblem(db.get(), schemaRc);
    if (schemaRc != SQLITE_OK)
        throw notLedger(ReadFailure(db.get(), schemaRc));
    if (!problem.isEmpty())
        throw notLedger(problem);

    // A cut-off or damaged copy can still hold a readable schema; reading every page finds it.
    sqlite3_stmt *stmt = nullptr;
    QString verdict;
    int src = sqlite3_prepare_v2(db.get(), "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    if (src == SQLITE_OK) {
        src = sqlite3_step(stmt);
        if (src == SQLITE_ROW)
            verdict = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        else
            src = sqlite3_errcode(db.get());
    }
    sqlite3_finalize(stmt);
    if (src != SQLITE_ROW)
        throw notLedger(ReadFailure(db.get(), src));
    if (verdict != QLatin1String("ok"))
        throw notLedger(QStringLiteral("文件已损坏（%1）").arg(verdict.left(200)));
    sqlite3_progress_handler(db.get(), 0, nullptr, nullptr);
    return db;
}

// Names of the ordinary tables of db's main schema that the program itself creates.
QStringList OwnTables(sqlite3 *db)
{
    QStringList names;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select name from main.sqlite_schema where type='table' and name<>'sqlite_sequence'",
                           -1, &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return names;
}

QStringList Columns(sqlite3 *db, const QString &table)
{
    QStringList names;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select name from main.pragma_table_info(?) order by cid", -1, &stmt, nullptr) == SQLITE_OK) {
        const QByteArray t = table.toUtf8();
        sqlite3_bind_text(stmt, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names << QStringLiteral("[%1]").arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    }
    sqlite3_finalize(stmt);
    return names;
}

// Builds the program's schema in the empty database fresh and copies into it, in one
// transaction, every row of the checked source (with its row number) and the tables'
// automatic numbers. Only values travel; the source's own statements never run here.
void CopyRows(sqlite3 *source, sqlite3 *fresh, const QString &dbFile)
{
    const auto fail = [&](sqlite3 *db) {
        const int code = sqlite3_errcode(db);
        const QString why = (code & 0xff) == SQLITE_FULL ? QStringLiteral("磁盘已满") : ErrorText(db);
        sqlite3_exec(fresh, "ROLLBACK", nullptr, nullptr, nullptr);
        throw TError(QStringLiteral("无法写入恢复的数据文件“%1”：%2，原有的数据保持不变").arg(dbFile, why));
    };
    if (sqlite3_exec(fresh, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(fresh);
    for (const QString &sql : OwnSchemaStatements())
        if (sqlite3_exec(fresh, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(fresh);
    const QStringList wanted = OwnTables(fresh);
    for (const QString &table : OwnTables(source)) {
        if (!wanted.contains(table, Qt::CaseInsensitive))
            continue;
        const QStringList columns = Columns(fresh, table);
        const QString list = QStringLiteral("rowid,") + columns.join(QLatin1Char(','));
        const QByteArray read = QStringLiteral("select %1 from main.[%2]").arg(list, table).toUtf8();
        const QByteArray write = QStringLiteral("insert into main.[%1] (%2) values (?%3)")
                                     .arg(table, list, QStringLiteral(",?").repeated(columns.size()))
                                     .toUtf8();
        sqlite3_stmt *in = nullptr, *out = nullptr;
        if (sqlite3_prepare_v2(source, read.constData(), -1, &in, nullptr) != SQLITE_OK) {
            sqlite3_finalize(in);
            throw TError(QStringLiteral("无法读取备份中的数据表 %1（%2）").arg(table, ErrorText(source)));
        }
        if (sqlite3_prepare_v2(fresh, write.constData(), -1, &out, nullptr) != SQLITE_OK) {
            sqlite3_finalize(in);
            sqlite3_finalize(out);
            fail(fresh);
        }
        const int n = int(columns.size()) + 1;
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(in)) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i)
                sqlite3_bind_value(out, i + 1, sqlite3_column_value(in, i));
            if (sqlite3_step(out) != SQLITE_DONE) {
                sqlite3_finalize(in);
                sqlite3_finalize(out);
                fail(fresh);
            }
            sqlite3_reset(out);
        }
        sqlite3_finalize(in);
        sqlite3_finalize(out);
        if (rc != SQLITE_DONE) {
            sqlite3_exec(fresh, "ROLLBACK", nullptr, nullptr, nullptr);
            throw TError(QStringLiteral("无法读取备份中的数据表 %1（%2）").arg(table, ErrorText(source)));
        }
    }
    // The automatic numbers go on where the source's left off, so that the number of a
    // deleted record is never given to a new one.
    sqlite3_stmt *seq = nullptr, *put = nullptr;
    if (sqlite3_prepare_v2(source, "select name, seq from main.sqlite_sequence where typeof(seq)='integer'", -1,
                           &seq, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(fresh, "insert into main.sqlite_sequence (name, seq) values (?,?)", -1, &put, nullptr) ==
            SQLITE_OK &&
        sqlite3_exec(fresh, "delete from main.sqlite_sequence", nullptr, nullptr, nullptr) == SQLITE_OK) {
        while (sqlite3_step(seq) == SQLITE_ROW) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(seq, 0)));
            if (!wanted.contains(name, Qt::CaseInsensitive))
                continue;
            sqlite3_bind_value(put, 1, sqlite3_column_value(seq, 0));
            sqlite3_bind_value(put, 2, sqlite3_column_value(seq, 1));
            sqlite3_step(put);
            sqlite3_reset(put);
        }
    }
    sqlite3_finalize(seq);
    sqlite3_finalize(put);
    if (sqlite3_exec(fresh, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(fresh);
}

} // namespace

bool HasBackupExtension(const QString &path)
{
    return THi::AsciiLower(path).endsWith(QLatin1String(".zovalt"));
}

QString BackupFileName(const QString &chosen)
{
    return HasBackupExtension(chosen) ? chosen : chosen + QStringLiteral(".zovalt");
}

void CheckLedgerFile(const QString &path)
{
    OpenCheckedSource(path);
}

void CopyFileSafely(const QString &source, const QString &target)
{
    if (SameFile(source, target))
        return;
    CheckRegularFile(source, QStringLiteral("文件"));
    QFile in(source);
    OpenForReading(in);
    WriteReplacement(in, target);
}

void BackupLedger(const QString &dbFile, const QString &target)
{
    // Before the file is opened: opening a pipe for reading would wait for a writer forever.
    CheckRegularFile(dbFile, QStringLiteral("数据文件"));
    if (SameFile(dbFile, target))
        throw TError(QStringLiteral("不能把数据文件备份到它自己（“%1”）").arg(target));
    // Declared before the connection so that it is closed after it: closing another
    // descriptor of the ledger would drop the connection's locks on it.
    QFile in(dbFile);
    OpenForReading(in);
    // The read transaction rolls back a journal left by a writer that crashed, and holds a
    // shared lock that keeps every other instance from committing until the copy is done.
    TConnection conn;
    conn.Open(dbFile);
    conn.Execute(QStringLiteral("BEGIN"));
    {
        TStatement st(conn, QStringLiteral("select count(*) from sqlite_master"));
        st.Run();
    }
    // A copy of a damaged ledger would be refused by the restore; say so now, not then.
    CheckLedgerFile(dbFile);
    WriteReplacement(in, target);
    conn.Close();
}

void CopyLedgerAsIs(const QString &dbFile, const QString &target)
{
    if (SameFile(dbFile, target))
        throw TError(QStringLiteral("不能把数据文件复制到它自己（“%1”）").arg(target));
    QFile in(dbFile);
    OpenForReading(in);
    TConnection conn;
    try {
        conn.Open(dbFile);
        conn.Execute(QStringLiteral("BEGIN"));
        TStatement(conn, QStringLiteral("select count(*) from sqlite_master")).Run();
    } catch (const TError &) {
        // A ledger SQLite cannot read is kept all the same: it may be all the user has.
        conn.Close();
    }
    WriteReplacement(in, target);
    conn.Close();
}

void RestoreLedger(const QString &backup, const QString &dbFile)
{
    const SourceDb source = OpenCheckedSource(backup);
    if (SameFile(backup, dbFile))
        return;
    // The rows, never the bytes, of the source go into a ledger built from the program's
    // own statements in a temporary file beside the ledger, which then replaces it.
    TReplacementFile out(dbFile);
    const QString temp = out.TempPath();
    {
        sqlite3 *handle = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        const SourceDb fresh(handle, sqlite3_close);
        if (rc != SQLITE_OK)
            throw TError(QStringLiteral("无法建立新的数据文件“%1”（%2）").arg(temp, ErrorText(fresh.get())));
        HardenConnection(fresh.get());
        CopyRows(source.get(), fresh.get(), dbFile);
    }
    // A journal left beside the old ledger by a crashed writer would be played back into
    // the restored one and damage it.
    const QString journal = dbFile + QStringLiteral("-journal");
    if (QFileInfo::exists(journal) && !QFile::remove(journal))
        throw TError(QStringLiteral("无法删除旧的日志文件“%1”").arg(journal));
    out.Commit(TReplacementFile::TMode::Private);
}

void TidyLedgerFolder(const QString &dbFile)
{
    const QFileInfo ledger(dbFile);
    const QDir folder = ledger.absoluteDir();
    const QString prefix = QStringLiteral(".") + ledger.fileName() + QStringLiteral(".");
    const QDateTime quiet = QDateTime::currentDateTime().addSecs(-600);
    const QFileInfoList leftovers =
        folder.entryInfoList({prefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &f : leftovers) {
        QString rest = f.fileName().mid(prefix.size());
        if (rest.endsWith(QLatin1String("-journal")))
            rest.chop(int(qstrlen("-journal")));
        if (rest.size() == 6 && !f.isSymLink() && f.lastModified() < quiet)
            QFile::remove(f.absoluteFilePath());
    }
    // Only what this account owns is tightened, and never through a link.
    struct stat st {};
    const QByteArray dir = QFile::encodeName(folder.absolutePath());
    if (::lstat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0077))
        ::chmod(dir.constData(), 0700);
    const QByteArray file = QFile::encodeName(ledger.absoluteFilePath());
    const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0066))
            ::fchmod(fd, st.st_mode & 0700);
        ::close(fd);
    }
}
