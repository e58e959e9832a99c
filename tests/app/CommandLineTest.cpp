#include "app/CommandLine.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {
using Action = TCommandLine::Action;

Action ActionOf(const QStringList &arguments)
{
    return ParseCommandLine(arguments).action;
}

struct TRun {
    int status = -1;
    QString out;
    QString err;
};

// The built program, started the way a terminal user would without any display.
TRun RunProgram(const QStringList &arguments)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TALLYFERN_BIN_DIR "/tallyfern"), arguments);
    TRun run;
    if (!program.waitForFinished(30000) || program.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = program.exitCode();
    run.out = QString::fromUtf8(program.readAllStandardOutput());
    run.err = QString::fromUtf8(program.readAllStandardError());
    return run;
}
} // namespace

TEST(CommandLine, StartsNormallyWithNothingOrOneFile)
{
    // "none" is what switching users hands the successor; a backup path is what restoring does.
    for (const QStringList &arguments :
         {QStringList{}, QStringList{"none"}, QStringList{"/home/u/一月 backup.zovalt"},
          QStringList{"-"}, QStringList{"--", "-odd name.zovalt"}}) {
        EXPECT_EQ(ActionOf(arguments), Action::Run) << arguments.join(' ').toStdString();
    }
}

TEST(CommandLine, AnswersHelpAndVersionAndRefusesTheRest)
{
    EXPECT_EQ(ActionOf({"--help"}), Action::Help);
    EXPECT_EQ(ActionOf({"-h"}), Action::Help);
    EXPECT_EQ(ActionOf({"--version"}), Action::Version);
    EXPECT_EQ(ActionOf({"-V"}), Action::Version);
    EXPECT_EQ(ActionOf({"a.zovalt", "--help"}), Action::Help);

    for (const QStringList &arguments :
         {QStringList{"--frob"}, QStringList{"-v"}, QStringList{"--version=2"}, QStringList{"--HELP"},
          QStringList{"a.zovalt", "b.zovalt"}, QStringList{"--", "a", "--help"}}) {
        const TCommandLine line = ParseCommandLine(arguments);
        EXPECT_EQ(line.action, Action::Misuse) << arguments.join(' ').toStdString();
        EXPECT_FALSE(line.problem.isEmpty());
    }
    // After "--" nothing is an option, so the second file is what is wrong.
    EXPECT_TRUE(ParseCommandLine({"--", "a", "--help"}).problem.contains(QStringLiteral("--help")));
    EXPECT_TRUE(ParseCommandLine({"--frob"}).problem.contains(QStringLiteral("--frob")));
}

TEST(CommandLine, TheProgramAnswersWithoutADisplay)
{
    const TRun version = RunProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, VersionText() + QLatin1Char('\n'));
    EXPECT_TRUE(version.out.contains(QRegularExpression(QStringLiteral("^Tallyfern \\d+\\.\\d+"))));
    EXPECT_TRUE(version.err.isEmpty());

    const TRun help = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("用法：tallyfern [备份文件.zovalt]"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("/Tallyfern/db.zovalt")));
    EXPECT_TRUE(help.err.isEmpty());

    const TRun misuse = RunProgram({QStringLiteral("--frob")});
    EXPECT_EQ(misuse.status, 2);
    EXPECT_TRUE(misuse.out.isEmpty());
    EXPECT_TRUE(misuse.err.startsWith(QStringLiteral("tallyfern：无法识别的选项“--frob”"))) << misuse.err.toStdString();
    EXPECT_TRUE(misuse.err.contains(help.out));

    // An ordinary start still goes on to look for a display.
    const TRun start = RunProgram({QStringLiteral("none")});
    EXPECT_EQ(start.status, 1);
    EXPECT_TRUE(start.err.contains(QStringLiteral("graphical display")));
}
