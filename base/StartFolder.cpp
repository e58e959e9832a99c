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
    const auto within = [](const QString &path, const QString &root) {
        return !path.isEmpty() && !root.isEmpty() && (path == root || path.startsWith(root + QLatin1Char('/')));
    };
    const QString data = QDir::cleanPath(base + QStringLiteral("/Tallyfern"));
    const QString canonicalData = QFileInfo(data).canonicalFilePath();
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return within(path, data) || within(canonical, data) || within(canonical, canonicalData);
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
