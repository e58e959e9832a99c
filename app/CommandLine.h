#pragma once
#include <QString>
#include <QStringList>

// What the command line asks for, decided before Qt or a display is touched.
struct TCommandLine {
    enum class Action { Run, Version, Help, Misuse };
    Action action = Action::Run;
    QString problem;  // for Misuse: what was wrong, one line
};

// arguments excludes the program name. The program takes one optional backup file to
// restore (as the successor started by "restore from backup" does); anything else that
// looks like an option is refused.
TCommandLine ParseCommandLine(const QStringList &arguments);

QString VersionText();  // "Tallyfern <version>"
QString UsageText();    // the Chinese usage, several lines

// Handles --help, --version and misuse by printing and returning the exit status;
// returns -1 when the program should start normally.
int AnswerCommandLine(int argc, char **argv);
