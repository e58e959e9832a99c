#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

// The one way the program replaces a file: the new content goes into a temporary file beside
// the target (so the rename stays on one file system), every write is checked, the file is
// synced, renamed over the target and the folder synced. Until Commit the target is
// untouched; a failure anywhere leaves it as it was and removes the temporary file. The
// rename replaces a link planted at the target, never the file the link points to.
class TReplacementFile {
public:
    enum class TMode {
        Private,           // 0600, for ledgers and their backups
        LikeReplacedFile,  // the replaced file's permissions, or those of any new file
    };

    explicit TReplacementFile(const QString &target);
    TReplacementFile(const TReplacementFile &) = delete;
    TReplacementFile &operator=(const TReplacementFile &) = delete;

    void Write(const char *data, qsizetype size);
    void Write(const QByteArray &bytes) { Write(bytes.constData(), bytes.size()); }
    void Commit(TMode mode);
    // For a writer that opens its file by name (a printer, the engine writing a fresh
    // ledger): the temporary file to write, whose content Commit then takes as it is.
    QString TempPath() const { return m_temp.fileName(); }
    // Throws the failure of such a writer, which could not say why itself: the disk is full
    // when no room is left on it, else a write error. The target stays as it was.
    [[noreturn]] void Fail() const;

private:
    QString m_target;
    QTemporaryFile m_temp;
};

// Replaces the file at path with bytes as TReplacementFile does.
void WriteFileReplacing(const QString &path, const QByteArray &bytes,
                        TReplacementFile::TMode mode = TReplacementFile::TMode::LikeReplacedFile);

// Why a file operation failed, in Chinese, for a system error number.
QString FileErrorReason(int error);

// "无法写入文件“path”：why，原有的文件保持不变" for a system error number.
QString WriteFailure(const QString &path, int error);
