#include "base/AtomicFile.h"
#include "base/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

QString FileErrorReason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘已满");
    case EFBIG:
        return QStringLiteral("文件超出了允许的大小");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入这个文件夹的权限");
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case EIO:
        return QStringLiteral("写入时出错");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一部分不是文件夹");
    case EEXIST:
        return QStringLiteral("同名的文件已存在");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

namespace {

QString TempPattern(const QString &target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX");
}

} // namespace

QString WriteFailure(const QString &path, int error)
{
    return QStringLiteral("无法写入文件“%1”：%2，原有的文件保持不变").arg(path, FileErrorReason(error));
}

TReplacementFile::TReplacementFile(const QString &target) : m_target(target), m_temp(TempPattern(target))
{
    if (QFileInfo(target).isDir())
        throw TError(WriteFailure(target, EISDIR));
    errno = 0;
    if (!m_temp.open())
        throw TError(WriteFailure(target, errno ? errno : EACCES));
}

void TReplacementFile::Write(const char *data, qsizetype size)
{
    // Unbuffered and checked write by write: a full disk must be met before the rename.
    const int fd = m_temp.handle();
    for (qsizetype done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw TError(WriteFailure(m_target, n < 0 ? errno : ENOSPC));
        done += n;
    }
}

void TReplacementFile::Fail() const
{
    struct statvfs room {};
    const bool full = ::fstatvfs(m_temp.handle(), &room) == 0 && room.f_bavail < 16;
    throw TError(WriteFailure(m_target, full ? ENOSPC : EIO));
}

void TReplacementFile::Commit(TMode mode)
{
    const int fd = m_temp.handle();
    mode_t bits = 0600;
    if (mode == TMode::LikeReplacedFile) {
        struct stat old {};
        if (::lstat(QFile::encodeName(m_target).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
            bits = old.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            bits = 0666 & ~mask;
        }
    }
    if (::fchmod(fd, bits) != 0 || ::fsync(fd) != 0)
        throw TError(WriteFailure(m_target, errno));
    if (::rename(QFile::encodeName(m_temp.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0)
        throw TError(WriteFailure(m_target, errno));
    m_temp.setAutoRemove(false);
    // Makes the rename survive a power cut.
    const int dir = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void WriteFileReplacing(const QString &path, const QByteArray &bytes, TReplacementFile::TMode mode)
{
    TReplacementFile file(path);
    file.Write(bytes);
    file.Commit(mode);
}
