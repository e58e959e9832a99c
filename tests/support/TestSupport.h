#pragma once
#include "output/ListTexts.h"
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>

class TfrmMain;

// The one descendant of parent of type T with that object name. Forms keep their controls
// to themselves; tests reach them by name. Throws (the test fails) when there is none or
// more than one, so a renamed control is reported, not dereferenced as null.
template <class T>
T *Child(const QObject *parent, const QString &name)
{
    const QList<T *> found = parent->findChildren<T *>(name);
    if (found.size() != 1)
        throw std::logic_error(QStringLiteral("%1 controls named \"%2\" under \"%3\"")
                                   .arg(found.size()).arg(name, parent->objectName()).toStdString());
    return found.first();
}

template <class T>
T *Child(const QObject *parent, const char *name)
{
    return Child<T>(parent, QString::fromLatin1(name));
}

// A fresh copy of the delivered empty ledger in its own temporary folder.
class TTempLedger {
public:
    TTempLedger();
    QString Path() const { return m_path; }
    QString Dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Path of the empty ledger template that the build places beside the program.
QString TemplateLedgerPath();

// A main window signed in as user on the ledger at dbPath (the user is created when new).
std::unique_ptr<TfrmMain> SignedInMainWindow(const QString &dbPath, const QString &user);

// Records to store, written as the five texts of an entry list row: date (yyyy-mm-dd; an
// impossible date gives an invalid one), type, item, amount in yuan, notes.
QList<TNewRecord> NewRecords(const QList<QStringList> &rows);

// Typed rows of a search, as the store returns them (dates as yyyy-mm-dd).
inline TRecord Rec(qint64 id, const char *date, const QString &type, const QString &item, TFen amount,
                   const QString &notes = QString())
{
    return {id, QDate::fromString(QString::fromLatin1(date), Qt::ISODate), type, item, amount, notes};
}

inline TRankRow Rank(const QString &type, const QString &item, qint64 count, TFen sum)
{
    return {type, item, count, sum};
}

// The header of the exports and reports of the tests: 宝贝's January 2026.
inline TReportHeader Header(TFen in, TFen out)
{
    return {QStringLiteral("宝贝"), QDate(2026, 1, 1), QDate(2026, 1, 31), in, out};
}

