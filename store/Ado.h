#pragma once
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <chrono>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The time limit of the step running now on a connection. A step is armed before it
// starts; the progress handler notes the time at its first call in that step and stops
// the step once the limit has passed since. A connection between steps has no limit.
struct TDeadline {
    using Clock = std::chrono::steady_clock;
    bool armed = false;
    int limitMs = 0;  // 0: the limit of every statement step
    quint64 step = 0;
    quint64 seenStep = ~quint64(0);
    Clock::time_point start;

    void Arm(int ms = 0)
    {
        armed = true;
        limitMs = ms;
        ++step;
    }
    void Disarm() { armed = false; }
};
// The progress handler of every connection, its context a TDeadline.
int StepPastDeadline(void *context);

// The longest value a ledger row may hold, in bytes: far beyond the Base64 form of the
// longest text the program writes, so that a note stored by other means is still read.
inline constexpr int kLongestStoredValue = 256 * 1024 * 1024;
// How long one step of a statement may run before it is stopped and rolled back.
inline constexpr int kStatementTimeLimitMs = 5000;

// The settings every connection to a ledger or a restore source gets before its first
// statement: the file's schema runs nothing, pages are read (never mapped) and checked,
// and values, statements and expressions are bounded by what the program needs.
void HardenConnection(sqlite3 *db);
// Changes the time limit of a statement step of every connection (tests shorten it).
void SetStatementTimeLimit(int milliseconds);

// A small connection/statement layer over the SQLite C API. Every failure throws TError
// with SQLite's message; after a failed statement the connection is closed, so the next
// operation finds it closed and can open it again.
class TConnection {
public:
    TConnection() = default;
    ~TConnection();
    TConnection(const TConnection &) = delete;
    TConnection &operator=(const TConnection &) = delete;

    // Opens an existing database file; never creates one. A file without write permission
    // is opened read-only.
    void Open(const QString &path);
    bool IsOpen() const { return m_db != nullptr; }
    bool IsReadOnly() const { return m_readOnly; }
    void Close();

    // Runs a statement without a result; values are bound to its "?" parameters.
    void Execute(const QString &sql, const QVariantList &params = {});

    void BeginTransaction();
    void Commit();
    void Rollback();  // never throws

    sqlite3 *Handle() const { return m_db; }
    TDeadline *Deadline() const { return m_deadline.get(); }
    const QString &Path() const { return m_path; }

    // Throws the connection's current error, closing the connection first.
    [[noreturn]] void Fail(const QString &what);

private:
    sqlite3 *m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    bool m_inTransaction = false;
    std::unique_ptr<TDeadline> m_deadline;
};

// Closes the connection at the end of every unit of work, whatever happens; a transaction
// still open at that point is rolled back.
struct TConnectionScope {
    TConnection &conn;
    ~TConnectionScope() { conn.Close(); }
};

// One prepared statement, stepped forward. It can be bound anew and run again, so that a
// batch reuses one prepared insert.
class TStatement {
public:
    TStatement(TConnection &conn, const QString &sql, const QVariantList &params = {});
    ~TStatement();
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;

    // Steps to the next row; false after the last one. A failed step throws.
    bool Next();
    // Steps to the end, for statements without a result.
    void Run();
    // Resets the statement and binds new values to its parameters.
    void Bind(const QVariantList &params);

    int ColumnCount() const;
    int ColumnIndex(const char *name) const;  // -1 when there is no such column (any case)
    bool IsNull(int col) const;

    // The typed forms of a column of the current row. Data written by the program never
    // holds a null, and a null has no value in these forms: they throw.
    // Bytes are the column's UTF-8 text, not copied: valid until the next step.
    QByteArrayView Bytes(int col) const;
    double Number(int col) const;
    qint64 Integer(int col) const;
    // Texts as they are, numbers as decimal text.
    QString Text(int col) const;
    QString Text(const char *name) const;
    // The column as SQLite typed it (a null gives an invalid QVariant).
    QVariant Value(int col) const;

private:
    void CheckNotNull(int col) const;

    TConnection &m_conn;
    sqlite3_stmt *m_stmt = nullptr;
};
