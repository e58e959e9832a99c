#include "base/HiClass.h"
#include "base/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

QByteArray THi::ToLocalBytes(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString THi::FromLocalBytes(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

QString THi::EncodeText(const QString &text)
{
    if (text.isEmpty())
        return QString();
    // toBase64 writes one line; nothing to strip.
    return QString::fromLatin1(ToLocalBytes(text).toBase64());
}

QString THi::DecodeText(const QString &text)
{
    if (text.isEmpty())
        return QString();
    // fromBase64 skips characters outside the alphabet, which is what stored values with
    // line breaks or blanks between the groups need.
    const QByteArray bytes = QByteArray::fromBase64(text.toLatin1());
    return FromLocalBytes(bytes);
}

QDate THi::ParseDate(const QString &text, const QString &format, const QString &separator)
{
    const QChar sep = separator.isEmpty() ? QLatin1Char('-') : separator.front();
    const QStringList fmtParts = format.toLower().split(sep);
    const QStringList parts = text.trimmed().split(sep);
    int y = -1, m = -1, d = -1;
    if (fmtParts.size() == 3 && parts.size() == 3) {
        for (int i = 0; i < 3; ++i) {
            bool ok = false;
            const QString &p = parts[i];
            const int v = p.toInt(&ok);
            if (!ok || p.isEmpty() || p.size() > 4)
                throw TError(QStringLiteral("“%1”不是有效的日期").arg(text));
            const QChar kind = fmtParts[i].isEmpty() ? QChar() : fmtParts[i].front();
            if (kind == u'y')
                y = v;
            else if (kind == u'm' && p.size() <= 2)
                m = v;
            else if (kind == u'd' && p.size() <= 2)
                d = v;
        }
    }
    const QDate date(y, m, d);
    if (y < 0 || !date.isValid())
        throw TError(QStringLiteral("“%1”不是有效的日期").arg(text));
    return date;
}

QDate THi::ParseYmdDate(const QString &text)
{
    return ParseDate(text, QStringLiteral("yyyy-mm-dd"), QStringLiteral("-"));
}

QByteArray THi::ReadWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    return bytes;
}

void THi::WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
}

QString THi::ProgramDir()
{
    QString dir = QCoreApplication::applicationDirPath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

QString THi::ProgramPath()
{
    return ProgramDir() + QLatin1Char('/');
}

QString THi::DeliveredFile(const QString &name)
{
    const QString beside = ProgramPath() + name;
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(ProgramPath() + QStringLiteral("../share/tallyfern/") + name);
}

QByteArray THi::ReadResourceText(const QString &name)
{
    QFile file(name.startsWith(QLatin1Char(':')) ? name : QStringLiteral(":/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("找不到程序资源 %1").arg(name));
    return file.readAll();
}

QString THi::SpecialFolderPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString THi::AppDataDir(const QString &name)
{
    const QString base = SpecialFolderPath();
    if (base.isEmpty())
        return QString();
    const QString folder = name.isEmpty() ? QCoreApplication::applicationName() : name;
    const QString path = base + QLatin1Char('/') + folder;
    if (!QFileInfo(path).isDir()) {
        // Each missing folder on the way is made in turn, so that the message names the one
        // that could not be made and the real reason (not "no such file" for the last one).
        const QStringList parts = path.split(QLatin1Char('/'));
        QString made;
        for (int i = 0; i < parts.size(); ++i) {
            made += (i ? QStringLiteral("/") : QString()) + parts[i];
            if (made.isEmpty() || QFileInfo(made).isDir())
                continue;
            if (::mkdir(QFile::encodeName(made).constData(), i + 1 == parts.size() ? 0700 : 0777) == 0)
                continue;
            const int error = errno;
            QString why;
            if (error == EACCES || error == EPERM)
                why = QStringLiteral("没有在“%1”中创建文件夹的权限").arg(QFileInfo(made).absolutePath());
            else if (error == EROFS)
                why = QStringLiteral("“%1”所在的文件系统是只读的").arg(QFileInfo(made).absolutePath());
            else if (error == ENOSPC || error == EDQUOT)
                why = QStringLiteral("磁盘已满");
            else if (error == EEXIST || error == ENOTDIR)
                why = QStringLiteral("“%1”已存在，但不是文件夹").arg(made);
            else
                why = QString::fromLocal8Bit(strerror(error));
            throw TError(QStringLiteral("无法创建数据文件夹“%1”：%2").arg(path, why));
        }
    }
    return QFileInfo(path).isDir() ? path : QString();
}

bool THi::RunProgram(const QString &program, const QString &arguments, const QString &workDir)
{
    QString path = program;
    path.remove(QLatin1Char('"'));
    const QStringList args = QProcess::splitCommand(arguments);
    const QString dir = QFileInfo(workDir).isDir() ? workDir : QDir::currentPath();
    return QProcess::startDetached(path, args, dir);
}

bool THi::RunCalculator()
{
    static const char *const candidates[] = {"gnome-calculator", "kcalc", "qalculate-gtk",
                                             "galculator", "xcalc"};
    for (const char *name : candidates) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!exe.isEmpty())
            return QProcess::startDetached(exe, {});
    }
    return false;
}

QString THi::Trim(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString THi::AsciiLower(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return out;
}

QString THi::FormatAmount(double value)
{
    QString s = QString::asprintf("%0.2f", value);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

bool THi::IsAcceptedAmount(const QString &text, double *value)
{
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = Trim(text);
    if (t.isEmpty() || !number.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    // Ten digits or more before the point is no household amount, and beyond that a double
    // no longer holds every cent: the amount is judged as it will be shown back.
    if (FormatAmount(v).indexOf(QLatin1Char('.')) > 9)
        return false;
    if (value)
        *value = v;
    // The literal 0.01 parses to the same double as the constant, so the text 0.01 passes.
    return v >= 0.01;
}
