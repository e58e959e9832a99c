#pragma once
#include <QString>
#include <QStringList>

// What the command line asks for, decided before Qt or a display is touched.
struct TCommandLine {
    enum class Action { Run, Version, Help, Misuse, BadFile };
    Action action = Action::Run;
    QString problem;      // for Misuse and BadFile: what was wrong, one line
    QString restoreFile;  // for Run: the backup to restore, an absolute path, or empty
};

// arguments excludes the program name. The program takes one optional backup file to
// restore (as the successor started by "restore from backup" does), resolved against the
// current folder at the time of the call; "none" (what switching users hands the
// successor) restores nothing. A file that is missing, unreadable, a folder or not named
// *.zovalt is BadFile; anything else that looks like an option is refused.
TCommandLine ParseCommandLine(const QStringList &arguments);

QString VersionText();  // "Tallyfern <version>"
QString UsageText();    // the Chinese usage, several lines

// Handles --help, --version, misuse and an unusable backup by printing and returning the
// exit status (2 for the last two, nothing changed); returns -1 when the program should
// start normally, with the backup to restore kept for CommandLineRestoreFile. Called
// before anything changes the current folder.
int AnswerCommandLine(int argc, char **argv);
// The absolute path of the backup the command line named, or empty.
QString CommandLineRestoreFile();
