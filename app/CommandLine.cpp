#include "app/CommandLine.h"

#include "store/LedgerFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#ifndef TALLYFERN_VERSION
#error "TALLYFERN_VERSION is set by the build"
#endif

namespace {

QString &RestoreFile()
{
    static QString file;
    return file;
}

// Why path cannot be restored from, or empty when it can be tried.
QString BackupProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("找不到备份文件“%1”，没有恢复任何数据").arg(path);
    if (info.isDir())
        return QStringLiteral("“%1”是一个文件夹，不是备份文件，没有恢复任何数据").arg(path);
    if (!HasBackupExtension(path))
        return QStringLiteral("备份文件“%1”的名字须以 .zovalt 结尾，没有恢复任何数据").arg(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const QString why = error == EACCES || error == EPERM ? QStringLiteral("没有读取这个文件的权限")
                                                              : QString::fromLocal8Bit(std::strerror(error));
        return QStringLiteral("无法读取备份文件“%1”：%2，没有恢复任何数据").arg(path, why);
    }
    ::close(fd);
    return QString();
}

} // namespace

TCommandLine ParseCommandLine(const QStringList &arguments)
{
    TCommandLine result;
    bool optionsEnded = false;
    int positional = 0;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
            if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
                result.action = TCommandLine::Action::Help;
                return result;
            }
            if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
                result.action = TCommandLine::Action::Version;
                return result;
            }
            result.action = TCommandLine::Action::Misuse;
            result.problem = QStringLiteral("无法识别的选项“%1”").arg(argument);
            return result;
        }
        if (++positional > 1) {
            result.action = TCommandLine::Action::Misuse;
            result.problem = QStringLiteral("多余的参数“%1”：只能给出一个备份文件").arg(argument);
            return result;
        }
        if (!optionsEnded && argument == QLatin1String("none"))
            continue;
        result.restoreFile = QFileInfo(argument).absoluteFilePath();
    }
    if (!result.restoreFile.isEmpty()) {
        result.problem = BackupProblem(result.restoreFile);
        if (!result.problem.isEmpty())
            result.action = TCommandLine::Action::BadFile;
    }
    return result;
}

QString CommandLineRestoreFile()
{
    return RestoreFile();
}

QString VersionText()
{
    return QStringLiteral("Tallyfern " TALLYFERN_VERSION);
}

QString UsageText()
{
    // Only reads the location; nothing is created here.
    const QString ledger = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/Tallyfern/db.zovalt");
    return QStringLiteral(
               "用法：tallyfern [备份文件.zovalt]\n"
               "      tallyfern --help | --version\n"
               "\n"
               "Tallyfern 家庭记账程序，需要图形界面。不带参数时打开登录窗口。\n"
               "\n"
               "参数：\n"
               "  备份文件.zovalt  先用这个备份替换当前用户的账本，再打开登录窗口。\n"
               "                   文件名须以 .zovalt 结尾；备份不是有效的账本时，\n"
               "                   原有的数据保持不变。文件不存在或无法读取时，\n"
               "                   程序说明原因后以状态 2 结束，什么也不改变。\n"
               "\n"
               "选项：\n"
               "  -h, --help       显示本说明后退出\n"
               "  -V, --version    显示程序名称和版本后退出\n"
               "  --               其后的参数即使以“-”开头也当作文件名\n"
               "\n"
               "账本文件：%1\n")
        .arg(ledger);
}

int AnswerCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TCommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case TCommandLine::Action::Run:
        RestoreFile() = line.restoreFile;
        return -1;
    case TCommandLine::Action::Version:
        std::fputs((VersionText() + QLatin1Char('\n')).toUtf8().constData(), stdout);
        return 0;
    case TCommandLine::Action::Help:
        std::fputs(UsageText().toUtf8().constData(), stdout);
        return 0;
    case TCommandLine::Action::Misuse:
        std::fputs(QStringLiteral("tallyfern：%1\n\n%2").arg(line.problem, UsageText()).toUtf8().constData(),
                   stderr);
        return 2;
    case TCommandLine::Action::BadFile:
        std::fputs(QStringLiteral("tallyfern：%1\n").arg(line.problem).toUtf8().constData(), stderr);
        return 2;
    }
    return -1;
}
