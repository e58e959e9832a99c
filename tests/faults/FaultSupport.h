#pragma once
// Helpers of the fault tests: reading a ledger behind the program's back, and children of
// this test binary that hold a lock or run without the administrator's rights.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace faults {

// Rows of data (-1 when the file cannot be read) and the integrity verdict, read through
// SQLite directly.
qint64 StoredRecords(const QString &path);
bool LedgerIntact(const QString &path);
QByteArray FileBytes(const QString &path);
void PutFileBytes(const QString &path, const QByteArray &bytes);
// An SQLite file of one unrelated table.
QByteArray ForeignDatabaseBytes();

// Another process that holds a write transaction on a ledger until it is released.
class TLockHolder {
public:
    explicit TLockHolder(const QString &path);
    ~TLockHolder() { Release(); }
    bool Holding() const { return m_holding; }
    void Release();

private:
    std::unique_ptr<QProcess> m_child;
    bool m_holding = false;
};

// Runs the named test of this binary in a child process with the given environment
// additions; returns its exit code (-1 when it did not start or finish) and its output.
int RunChildTest(const QString &filter, const QStringList &env, QByteArray *output = nullptr);

// The uid and gid of an unprivileged account, or false when there is none (or when the
// tests do not run as root, where permission bits already apply).
bool UnprivilegedIds(unsigned &uid, unsigned &gid);

// Runs sql on the file at path straight through SQLite, as a hostile writer would.
void Exec(const QString &path, const char *sql);
// The message of the TError that body throws; empty when it throws none.
QString Failure(const std::function<void()> &body);

} // namespace faults
