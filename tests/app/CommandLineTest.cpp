#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

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
TRun RunProgram(const QStringList &arguments, const QString &folder = QString(),
               const QStringList &settings = {})
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    for (const QString &setting : settings)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    program.setProcessEnvironment(env);
    if (!folder.isEmpty())
        program.setWorkingDirectory(folder);
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
    QTemporaryDir dir;
    for (const char *name : {"一月 backup.zovalt", "-odd name.zovalt"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    const QString backup = dir.filePath(QStringLiteral("一月 backup.zovalt"));
    for (const QStringList &arguments :
         {QStringList{}, QStringList{"none"}, QStringList{backup}, QStringList{"--", backup}}) {
        EXPECT_EQ(ActionOf(arguments), Action::Run) << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(ParseCommandLine({"none"}).restoreFile, QString());
    EXPECT_EQ(ParseCommandLine({"--", backup}).restoreFile, backup);

    // A relative name is the file in the folder the program was started in.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const TCommandLine relative = ParseCommandLine({"--", "-odd name.zovalt"});
    const TCommandLine plain = ParseCommandLine({"一月 backup.zovalt"});
    QDir::setCurrent(before);
    EXPECT_EQ(relative.action, Action::Run);
    EXPECT_EQ(relative.restoreFile, dir.filePath(QStringLiteral("-odd name.zovalt")));
    EXPECT_EQ(plain.restoreFile, backup);
}

// A backup that cannot be restored from is said at once, in Chinese, with status 2, before
// a display is looked for or the data folder is touched.
TEST(CommandLine, AMissingOrUnusableBackupEndsWithStatusTwoAndChangesNothing)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder.zovalt"));
    QFile(dir.filePath(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
    const QString locked = dir.filePath(QStringLiteral("locked.zovalt"));
    QFile(locked).open(QIODevice::WriteOnly);
    QFile::setPermissions(locked, QFileDevice::Permissions());
    const struct {
        QStringList arguments;
        const char *says;
    } cases[] = {{{"missing.zovalt"}, "找不到备份文件"},
                 {{"--", "-missing.zovalt"}, "找不到备份文件"},
                 {{"folder.zovalt"}, "是一个文件夹"},
                 {{"notes.txt"}, "须以 .zovalt 结尾"},
                 {{"locked.zovalt"}, "无法读取备份文件"}};
    const QString data = dir.filePath(QStringLiteral("data"));
    for (const auto &c : cases) {
        if (QString::fromUtf8(c.says).contains(QStringLiteral("无法读取")) && ::geteuid() == 0)
            continue;   // root reads every file
        const TRun run = RunProgram(c.arguments, dir.path(), {QStringLiteral("XDG_DATA_HOME=") + data});
        EXPECT_EQ(run.status, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("tallyfern："))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(dir.path())) << run.err.toStdString();   // the full path
        EXPECT_FALSE(run.err.contains(QStringLiteral("graphical display")));
    }
    EXPECT_FALSE(QFileInfo::exists(data));
}

TEST(CommandLine, TheNoDisplayMessageIsChineseWhereTheConsoleShowsIt)
{
    const TRun utf8 = RunProgram({}, QString(), {QStringLiteral("LC_ALL=C.UTF-8")});
    EXPECT_EQ(utf8.status, 1);
    EXPECT_TRUE(utf8.err.startsWith(QStringLiteral("Tallyfern 需要图形界面"))) << utf8.err.toStdString();
    EXPECT_TRUE(utf8.err.contains(QStringLiteral("\nTallyfern needs a graphical display")));
    const TRun ascii = RunProgram({}, QString(), {QStringLiteral("LC_ALL=C")});
    EXPECT_EQ(ascii.status, 1);
    EXPECT_TRUE(ascii.err.startsWith(QStringLiteral("Tallyfern needs a graphical display"))) << ascii.err.toStdString();
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
