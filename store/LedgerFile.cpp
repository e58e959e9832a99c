#include "store/LedgerFile.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "store/Ado.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

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

// Makes the rename of an entry of folder survive a power cut.
void SyncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes the rest of source to a temporary file beside target, syncs it and renames it over
// target. beforeRename runs once the copy is complete and may still refuse by throwing.
void WriteReplacement(QFile &source, const QString &target,
                      const std::function<void()> &beforeRename = {})
{
    const QFileInfo info(target);
    if (info.isDir())
        throw TError(QStringLiteral("无法写入文件“%1”：这是一个文件夹").arg(target));
    QTemporaryFile out(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                       QStringLiteral(".XXXXXX"));
    if (!out.open())
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(target, out.errorString()));

    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(source.fileName(), source.errorString()));
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(target, out.errorString()));
    }
    if (!out.flush())
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(target, out.errorString()));
    if (::fsync(out.handle()) != 0)
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(target, SystemError()));

    if (beforeRename)
        beforeRename();
    if (::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(target, SystemError()));
    out.setAutoRemove(false);
    SyncFolder(info.absolutePath());
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
    if (!QFileInfo(path).isFile())
        throw TError(QStringLiteral("找不到文件“%1”").arg(path));
    const auto notLedger = [&path](const QString &why) {
        return TError(QStringLiteral("“%1”不是有效的账本数据库：%2").arg(path, why));
    };

    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(handle, sqlite3_close);
    const auto lastError = [&db] {
        return db ? QString::fromUtf8(sqlite3_errmsg(db.get())) : QStringLiteral("out of memory");
    };
    if (rc != SQLITE_OK)
        throw notLedger(QStringLiteral("无法打开（%1）").arg(lastError()));

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
    QFile in(source);
    OpenForReading(in);
    WriteReplacement(in, target);
}

void BackupLedger(const QString &dbFile, const QString &target)
{
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
