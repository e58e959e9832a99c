#include "store/LedgerFile.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/LedgerSchema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
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
    CheckRegularFile(path, QStringLiteral("文件"));
    const auto notLedger = [&path](const QString &why) {
        return TError(QStringLiteral("“%1”不是有效的账本数据库：%2").arg(path, why));
    };
    // Checked before the engine opens it: a read of such a file would see the rows of the
    // "-wal" file beside it, which the copy would leave behind.
    const QString wal = WalModeProblem(path);
    if (!wal.isEmpty())
        throw notLedger(wal);

    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(handle, sqlite3_close);
    const auto lastError = [&db] {
        return db ? QString::fromUtf8(sqlite3_errmsg(db.get())) : QStringLiteral("out of memory");
    };
    if (rc != SQLITE_OK)
        throw notLedger(QStringLiteral("无法打开（%1）").arg(lastError()));
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);

    // Every column the program reads or writes must be there.
    static const char *const probes[] = {
        "select name, pwd from users limit 0",
        "select id, user, date, type, cate, amount, notes from data limit 0",
        "select user, out, [in] from cates limit 0",
    };
    for (const char *probe : probes) {
        sqlite3_stmt *stmt = nullptr;
        const int prc = sqlite3_prepare_v2(db.get(), probe, -1, &stmt, nullptr);
        sqlite3_finalize(stmt);
        switch (prc & 0xff) {
        case SQLITE_OK:
            break;
        case SQLITE_NOTADB:
            throw notLedger(QStringLiteral("这不是一个数据库文件"));
        case SQLITE_CORRUPT:
            throw notLedger(QStringLiteral("文件已损坏（%1）").arg(lastError()));
        case SQLITE_ERROR:
            throw notLedger(QStringLiteral("缺少账本的数据表或字段（%1）").arg(lastError()));
        default:
            throw notLedger(QStringLiteral("无法读取（%1）").arg(lastError()));
        }
    }

    int schemaRc = SQLITE_OK;
    const QString problem = LedgerSchemaProblem(db.get(), schemaRc);
    if (schemaRc != SQLITE_OK)
        throw notLedger(QStringLiteral("无法读取（%1）").arg(lastError()));
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
    }
    sqlite3_finalize(stmt);
    if (src != SQLITE_ROW)
        throw notLedger(QStringLiteral("文件已损坏（%1）").arg(lastError()));
    if (verdict != QLatin1String("ok"))
        throw notLedger(QStringLiteral("文件已损坏（%1）").arg(verdict));
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
    CheckLedgerFile(backup);
    if (SameFile(backup, dbFile))
        return;
    QFile in(backup);
    OpenForReading(in);
    const QString journal = dbFile + QStringLiteral("-journal");
    WriteReplacement(in, dbFile, [&journal] {
        // A journal left beside the old ledger by a crashed writer would be played back into
        // the restored one and damage it.
        if (QFileInfo::exists(journal) && !QFile::remove(journal))
            throw TError(QStringLiteral("无法删除旧的日志文件“%1”").arg(journal));
    });
}
