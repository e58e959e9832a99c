#pragma once
#include "store/SearchResult.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TConnection;

// The ledger database: the only code that talks to the data file. Every operation opens
// the connection, runs its statements and closes it again; nothing is cached. Texts typed
// by the user are stored in their EncodeText form, and lookups compare encoded forms.
class TDbMan {
public:
    explicit TDbMan(const QString &path);
    virtual ~TDbMan();
    TDbMan(const TDbMan &) = delete;
    TDbMan &operator=(const TDbMan &) = delete;

    const QString &FileName() const { return m_path; }

    // How long the read-through of a ledger's pages at its first open may take.
    static constexpr int kPageCheckLimitMs = 2000;
    // Forgets which ledgers were read through, so that the next open checks again.
    static void ForgetCheckedFiles();

    bool AddUser(const QString &name, const QString &password);
    bool DeleteUser(const QString &name);
    bool UserExists(const QString &name);
    bool CheckUser(const QString &name, const QString &password);
    // All user names, one per line, the most recently stored account first.
    QString GetUsers();
    // Stores the account row anew (delete and re-add) in one transaction, so that no
    // failure can leave the user without an account. The row becomes the newest one.
    void ReplaceUser(const QString &name, const QString &password);

    void AddRecord(const QString &user, const QString &date, const QString &type,
                   const QString &item, const QString &amount, const QString &notes);
    // All rows are stored, in list order, or none.
    void AddRecords(const QString &user, const QList<TNewRecord> &rows);
    void DeleteRecord(const QString &id);
    // Deletes record id and stores the changed record in one transaction; the changed
    // record gets a new id. An error leaves the old record in place.
    void ChangeRecord(const QString &id, const QString &user, const QString &date,
                      const QString &type, const QString &item, const QString &amount,
                      const QString &notes);

    QString GetCates(const QString &user, const QString &column);
    void SetCates(const QString &user, const QString &column, const QString &text);

    // The browsing queries, for one user and a range of days, both days included.
    TSearchResult Search(const QString &user, const QDate &fromDate, const QDate &toDate);
    // The dates of the user's first and last record; invalid dates when there is none.
    QPair<QDate, QDate> RecordSpan(const QString &user);
    // The records of one item of one type, in date order, then in the order of saving.
    QList<TRecord> GetCateRecords(const QString &user, const QDate &fromDate, const QDate &toDate,
                                  const QString &type, const QString &item);

protected:
    // Opens conn on the ledger file and checks that it holds the ledger's tables.
    void OpenLedger(TConnection &conn);

private:
    // Reads every page of the ledger at its first open in this process and refuses a
    // damaged ledger, naming the newest copy to restore from.
    void CheckPagesOnce(TConnection &conn);
    void AddRecordIndex(TConnection &conn);
    void InsertRecord(TConnection &conn, const QString &encodedUser, const QString &date,
                      const QString &type, const QString &item, const QString &amount,
                      const QString &notes);

    QString m_path;
};
