#include "backup/AutoBackupScheduler.h"
#include "backup/AutoBackup.h"
#include "base/Errors.h"


QString AutoBackupFailedMessage(const QString &why)
{
    return QStringLiteral("自动备份没有成功，数据文件本身没有受到影响。\n%1").arg(why);
}

TAutoBackupScheduler::TAutoBackupScheduler(const QString &dbFile, TClock clock, QObject *parent)
    : QObject(parent), m_dbFile(dbFile), m_folder(AutoBackupFolder(dbFile)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTime(); };
}

TAutoBackupScheduler::~TAutoBackupScheduler()
{
    Wait();
}

void TAutoBackupScheduler::Wait()
{
    if (m_worker.joinable())
        m_worker.join();
}

void TAutoBackupScheduler::AfterSave()
{
    m_savedSinceCopy = true;
    // A copy still running copies this save too, unless the save came after its read.
    if (!m_enabled || m_running)
        return;
    const QDateTime now = m_clock();
    if (HasAutoBackupOf(m_folder, now.date()))
        return;
    Start(now);
}

void TAutoBackupScheduler::Start(const QDateTime &when)
{
    Wait();
    m_savedSinceCopy = false;
    const QString dbFile = m_dbFile, folder = m_folder;
    m_running = true;
    m_worker = std::thread([this, dbFile, folder, when] {
        QString why;
        try {
            MakeAutoBackup(dbFile, folder, when);
        } catch (const TError &e) {
            why = e.message();
        } catch (const std::exception &e) {
            why = QString::fromLocal8Bit(e.what());
        }
        if (!why.isEmpty())
            QMetaObject::invokeMethod(this, [this, why] { ReportFailure(why); }, Qt::QueuedConnection);
        m_running = false;
    });
}

void TAutoBackupScheduler::AtExit()
{
    Wait();
    if (!m_enabled || !m_savedSinceCopy)
        return;
    m_savedSinceCopy = false;
    try {
        MakeAutoBackup(m_dbFile, m_folder, m_clock());
    } catch (const TError &e) {
        ReportFailure(e.message());
    }
}

void TAutoBackupScheduler::ReportFailure(const QString &why)
{
    if (m_failureSaid)
        return;
    m_failureSaid = true;
    emit Failed(AutoBackupFailedMessage(why));
}
