#pragma once
#include <QString>
#include <QTemporaryDir>

#include <memory>

class TfrmMain;

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
