#pragma once
#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// Makes the automatic backups of one ledger: after the first save of a day and, when
// something was saved since the last copy, at exit. The copy after a save runs on a thread
// of its own, so the save returns at once; the copy holds the ledger's read lock only while
// it copies. Failure is reported once per scheduler through Failed.
class TAutoBackupScheduler : public QObject {
    Q_OBJECT
public:
    using TClock = std::function<QDateTime()>;

    // clock gives the time of day (tests put a simulated one here).
    TAutoBackupScheduler(const QString &dbFile, TClock clock = {}, QObject *parent = nullptr);
    ~TAutoBackupScheduler() override;

    // Whether copies are made at all (the ledger's setting).
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool Enabled() const { return m_enabled; }
    QString Folder() const { return m_folder; }

    // To be called after every successful save.
    void AfterSave();
    // To be called when the program ends: waits for a running copy, then makes one when
    // something was saved since the last copy. Never throws.
    void AtExit();
    // Waits for a running copy to end.
    void Wait();

signals:
    // The first failure, in a plain sentence.
    void Failed(const QString &message);

private:
    void Start(const QDateTime &when);
    void ReportFailure(const QString &why);

    QString m_dbFile;
    QString m_folder;
    TClock m_clock;
    bool m_enabled = true;
    bool m_savedSinceCopy = false;
    bool m_failureSaid = false;
    std::atomic<bool> m_running{false};
    std::thread m_worker;
};

// The failure message of an automatic backup.
QString AutoBackupFailedMessage(const QString &why);
