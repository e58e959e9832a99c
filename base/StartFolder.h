#pragma once
#include <QString>

// Where the file dialogs open: the folder used last in this run, else the user's documents
// folder when it exists, else the home folder. Never the program's own folder, never the
// program's data folder or a folder inside it.
class TStartFolder {
public:
    QString Folder() const;
    // The folder of a file the user chose; empty names and files in the data folder are
    // ignored (the folder used before stays).
    void Remember(const QString &chosenFile);
    // What a save dialog proposes: the file name of name (a bare name or a full path) in
    // the start folder, or the start folder alone for an empty name.
    QString Proposal(const QString &name) const;

private:
    QString m_last;
};

// The documents folder when it exists, else the home folder.
QString UserStartFolder();
