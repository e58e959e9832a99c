#include "base/StartFolder.h"
#include "base/DeliveredFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString UserStartFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir() && !IsProtectedFolder(documents))
        return documents;
    return QDir::homePath();
}

QString TStartFolder::Folder() const
{
    if (!m_last.isEmpty() && QFileInfo(m_last).isDir() && !IsProtectedFolder(m_last))
        return m_last;
    return UserStartFolder();
}

void TStartFolder::Remember(const QString &chosenFile)
{
    if (!chosenFile.isEmpty())
        m_last = QFileInfo(chosenFile).absolutePath();
}

QString TStartFolder::Proposal(const QString &name) const
{
    if (name.isEmpty())
        return Folder();
    return QDir(Folder()).filePath(QFileInfo(name).fileName());
}
