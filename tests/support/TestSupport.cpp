#include "support/TestSupport.h"
#include "support/ScriptedDialogs.h"
#include "app/MainForm.h"
#include "store/DbClass.h"

#include <QFile>

#include <gtest/gtest.h>

TScriptedDialogs &Scripted()
{
    auto *d = dynamic_cast<TScriptedDialogs *>(&Dialogs());
    if (!d) {
        static TScriptedDialogs fallback;
        SetDialogs(&fallback);
        d = &fallback;
    }
    d->Reset();
    return *d;
}

QString TemplateLedgerPath()
{
    return QStringLiteral(TALLYFERN_BIN_DIR) + QStringLiteral("/db.zovalt");
}

TTempLedger::TTempLedger()
{
    m_path = m_dir.filePath(QStringLiteral("db.zovalt"));
    if (!QFile::copy(TemplateLedgerPath(), m_path))
        ADD_FAILURE() << "cannot copy the ledger template " << TemplateLedgerPath().toStdString();
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

std::unique_ptr<TfrmMain> SignedInMainWindow(const QString &dbPath, const QString &user)
{
    {
        TDbMan db(dbPath);
        if (!db.UserExists(user))
            db.AddUser(user, QStringLiteral("pw"));
    }
    auto window = std::make_unique<TfrmMain>();
    window->LoginRunner = [dbPath, user] { return TLoginResult{dbPath, user}; };
    window->SuccessorStarter = [](const QString &) { return true; };
    if (!window->FormCreate())
        ADD_FAILURE() << "the main window did not sign in";
    return window;
}

QList<TNewRecord> NewRecords(const QList<QStringList> &rows)
{
    QList<TNewRecord> records;
    for (const QStringList &r : rows)
        records.append({QDate::fromString(r.value(0), Qt::ISODate), r.value(1), r.value(2),
                        FenFromYuan(r.value(3).toDouble()), r.value(4)});
    return records;
}
