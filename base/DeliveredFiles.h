#pragma once
#include <QString>
#include <QStringList>

// The folders the program's own files live in: the program's folder and the folder of the
// delivered files (the empty ledger and the export templates), canonical and without
// duplicates. Nothing the user does may write there.
QStringList ProtectedFolders();

// True when path names a file inside one of those folders, whether it exists or not.
bool IsInProtectedFolder(const QString &path);
// True when folder is one of those folders.
bool IsProtectedFolder(const QString &folder);

// Throws TError with a plain message when target, a file the program is about to write,
// lies in one of those folders.
void CheckNotProtected(const QString &target);
// Throws TError with a plain message when the file name of target holds a wildcard ("*" or
// "?") or a control character: such a name is a slip of the keyboard, never a file the
// user can find again.
void CheckPlainFileName(const QString &target);
// Throws TError when target names the template file itself: an export never replaces the
// template it is made from.
void CheckNotTemplate(const QString &templatePath, const QString &target);
