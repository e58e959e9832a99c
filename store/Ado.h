#pragma once
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class TRecordset;

// A small connection/recordset layer over the SQLite C API. Every failure throws TError
// with SQLite's message; after a failed statement the connection is closed, so the next
// operation finds it closed and can open it again.
class TConnection {
public:
    TConnection() = default;
    ~TConnection();
    TConnection(const TConnection &) = delete;
    TConnection &operator=(const TConnection &) = delete;

    // Opens an existing database file for reading and writing; never creates one.
    void Open(const QString &path);
    bool IsOpen() const { return m_db != nullptr; }
    void Close();

    // Runs a statement without a result; values are bound to its "?" parameters.
    void Execute(const QString &sql, const QVariantList &params = {});

    void BeginTransaction();
    void Commit();
    void Rollback();  // never throws

    sqlite3 *Handle() const { return m_db; }
    const QString &Path() const { return m_path; }

    // Prepares a statement and binds its values (used by TRecordset and the store).
    sqlite3_stmt *Prepare(const QString &sql, const QVariantList &params);
    // Throws the connection's current error, closing the connection first.
    [[noreturn]] void Fail(const QString &what);

private:
    sqlite3 *m_db = nullptr;
    QString m_path;
    bool m_inTransaction = false;
};

// A recordset. Open() reads a static cursor (every row at once: exact record count,
// backward moves); OpenForward() steps through the result as it is read.
class TRecordset {
public:
    TRecordset() = default;
    ~TRecordset();
    TRecordset(const TRecordset &) = delete;
    TRecordset &operator=(const TRecordset &) = delete;

    void Open(const QString &sql, TConnection &conn, const QVariantList &params = {});
    void OpenForward(const QString &sql, TConnection &conn, const QVariantList &params = {});
    void Close();

    int RecordCount() const { return m_static ? int(m_rows.size()) : -1; }
    bool Eof() const;
    bool Bof() const;
    void MoveNext();
    void MoveLast();
    void MovePrevious();

    int FieldIndex(const char *name) const;  // -1 when there is no such column
    // The value of a column as text: numbers as decimal text, texts as they are.
    // A null has no text form and throws.
    QString Field(const char *name) const;
    QString FieldAt(int index) const;
    double FieldDoubleAt(int index) const;
    qint64 FieldIntAt(int index) const;

private:
    QVariant ValueAt(int index) const;
    void Step();

    TConnection *m_conn = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    bool m_static = true;
    bool m_eof = true;
    QStringList m_names;
    std::vector<QVariantList> m_rows;
    int m_pos = 0;  // static cursor: -1 before the first row, size() after the last
};
