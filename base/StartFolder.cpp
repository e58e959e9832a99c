#include "base/StartFolder.h"
#include "base/DeliveredFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// The program's data folder (the ledger, its snapshots) or a folder inside it: hidden, and
// nothing the user should be led to by a file dialog.
bool IsInDataFolder(const QString &folder)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return false;
    const QString data = QDir::cleanPath(base + QStringLiteral("/Tallyfern"));
    for (const QString &path : {QDir::cleanPath(QFileInfo(folder).absoluteFilePath()),
                                QFileInfo(folder).canonicalFilePath()}) {
        const QString canonicalData = QFileInfo(data).canonicalFilePath();
        for (const QString &d : {data, canonicalData})
            if (!path.isEmpty() && !d.isEmpty() && (path == d || path.startsWith(d + QLatin1Char('/'))))
                return true;
    }
    return false;
}
} // namespace

QString UserStartFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir() && !IsProtectedFolder(documents))
        return documents;
    return QDir::homePath();
}

QString TStartFolder::Folder() const
{
    if (!m_last.isEmpty() && QFileInfo(m_last).isDir() && !IsProtectedFolder(m_last) && !IsInDataFolder(m_last))
        return m_last;
    return UserStartFolder();
}

void TStartFolder::Remember(const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (!IsInDataFolder(folder))
        m_last = folder;
}

QString TStartFolder::Proposal(const QString &name) const
{
    if (name.isEmpty())
        return Folder();
    return QDir(Folder()).filePath(QFileInfo(name).fileName());
}
