#include "backup/EncryptedBackup.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "store/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sodium.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr char kMagic[4] = {'T', 'F', 'Z', 'V'};
constexpr unsigned char kVersion = 1;
constexpr int kFileHeaderBytes = 4 + 1 + 3 + 8 + 8 + crypto_pwhash_SALTBYTES;
constexpr qsizetype kChunk = 64 * 1024;
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_MODERATE;
constexpr size_t kMemLimit = crypto_pwhash_MEMLIMIT_MODERATE;
const QString kDecryptedPrefix = QStringLiteral("decrypted-restore-");

static_assert(kFileHeaderBytes == 40, "salt size changed");

void InitSodium()
{
    if (sodium_init() < 0)
        throw TError(QStringLiteral("无法初始化加密库"));
}

void PutLe64(unsigned char *p, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

quint64 GetLe64(const unsigned char *p)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The key, wiped when it goes out of scope.
struct TKey {
    std::array<unsigned char, crypto_secretstream_xchacha20poly1305_KEYBYTES> bytes{};
    ~TKey() { sodium_memzero(bytes.data(), bytes.size()); }
};

bool DeriveKey(TKey &key, const QByteArray &password, const unsigned char *salt,
               unsigned long long ops, size_t mem)
{
    return crypto_pwhash(key.bytes.data(), key.bytes.size(), password.constData(),
                         static_cast<unsigned long long>(password.size()), salt, ops, mem,
                         crypto_pwhash_ALG_ARGON2ID13) == 0;
}

qsizetype ReadFully(QFile &in, char *buffer, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        const qint64 n = in.read(buffer + got, size - got);
        if (n < 0)
            throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(in.fileName(), in.errorString()));
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

void OpenForReading(QFile &in)
{
    if (!QFileInfo(in.fileName()).isFile() || !in.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法打开文件“%1”：%2").arg(in.fileName(), in.errorString()));
}

} // namespace

bool HasEncryptedExtension(const QString &path)
{
    return path.endsWith(QStringLiteral(".zovault"), Qt::CaseInsensitive);
}

QString EncryptedFileName(const QString &chosen)
{
    return HasEncryptedExtension(chosen) ? chosen : chosen + QStringLiteral(".zovault");
}

QString WrongPasswordMessage()
{
    return QStringLiteral("密码不正确，或文件已损坏。");
}

void WipePassword(QByteArray &password)
{
    if (!password.isEmpty())
        sodium_memzero(password.data(), size_t(password.size()));
    password.clear();
}

void EncryptFile(const QString &source, const QString &target, const QByteArray &password)
{
    InitSodium();
    QFile in(source);
    OpenForReading(in);

    unsigned char header[kFileHeaderBytes] = {};
    std::memcpy(header, kMagic, 4);
    header[4] = kVersion;
    PutLe64(header + 8, kOpsLimit);
    PutLe64(header + 16, kMemLimit);
    unsigned char *salt = header + 24;
    randombytes_buf(salt, crypto_pwhash_SALTBYTES);

    TKey key;
    if (!DeriveKey(key, password, salt, kOpsLimit, kMemLimit))
        throw TError(QStringLiteral("内存不足，无法生成加密密钥"));

    crypto_secretstream_xchacha20poly1305_state state;
    unsigned char streamHeader[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    crypto_secretstream_xchacha20poly1305_init_push(&state, streamHeader, key.bytes.data());

    TReplacementFile out(target);
    out.Write(reinterpret_cast<const char *>(header), kFileHeaderBytes);
    out.Write(reinterpret_cast<const char *>(streamHeader), sizeof streamHeader);

    std::vector<char> plain(kChunk);
    std::vector<unsigned char> sealed(kChunk + crypto_secretstream_xchacha20poly1305_ABYTES);
    // One chunk is read ahead, so the last one is known when it is sealed; an empty file
    // gives one empty final chunk.
    qsizetype have = ReadFully(in, plain.data(), kChunk);
    std::vector<char> next(kChunk);
    for (;;) {
        const qsizetype more = have == kChunk ? ReadFully(in, next.data(), kChunk) : 0;
        const bool last = more == 0;
        unsigned long long sealedLen = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &state, sealed.data(), &sealedLen, reinterpret_cast<const unsigned char *>(plain.data()),
            static_cast<unsigned long long>(have), header, kFileHeaderBytes,
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        out.Write(reinterpret_cast<const char *>(sealed.data()), qsizetype(sealedLen));
        if (last)
            break;
        plain.swap(next);
        have = more;
    }
    sodium_memzero(plain.data(), plain.size());
    sodium_memzero(next.data(), next.size());
    sodium_memzero(&state, sizeof state);
    out.Commit(TReplacementFile::TMode::Private);
}

void DecryptFile(const QString &source, const QString &target, const QByteArray &password)
{
    InitSodium();
    QFile in(source);
    OpenForReading(in);
    const TError refused(WrongPasswordMessage());

    unsigned char header[kFileHeaderBytes];
    unsigned char streamHeader[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    if (ReadFully(in, reinterpret_cast<char *>(header), kFileHeaderBytes) != kFileHeaderBytes ||
        ReadFully(in, reinterpret_cast<char *>(streamHeader), sizeof streamHeader) != qsizetype(sizeof streamHeader))
        throw refused;
    // Only the limits this version writes are accepted: a changed header must not make the
    // program spend gigabytes or hours before it finds out.
    if (std::memcmp(header, kMagic, 4) != 0 || header[4] != kVersion || header[5] || header[6] || header[7] ||
        GetLe64(header + 8) != kOpsLimit || GetLe64(header + 16) != kMemLimit)
        throw refused;

    TKey key;
    if (!DeriveKey(key, password, header + 24, kOpsLimit, kMemLimit))
        throw TError(QStringLiteral("内存不足，无法生成加密密钥"));
    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, streamHeader, key.bytes.data()) != 0)
        throw refused;

    TReplacementFile out(target);
    const qsizetype sealedChunk = kChunk + crypto_secretstream_xchacha20poly1305_ABYTES;
    std::vector<unsigned char> sealed(size_t(sealedChunk) + 1);
    std::vector<unsigned char> plain(kChunk);
    bool final = false;
    while (!final) {
        const qsizetype got = ReadFully(in, reinterpret_cast<char *>(sealed.data()), sealedChunk);
        unsigned long long plainLen = 0;
        unsigned char tag = 0;
        if (got < qsizetype(crypto_secretstream_xchacha20poly1305_ABYTES) ||
            crypto_secretstream_xchacha20poly1305_pull(&state, plain.data(), &plainLen, &tag, sealed.data(),
                                                       static_cast<unsigned long long>(got), header,
                                                       kFileHeaderBytes) != 0)
            throw refused;
        final = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        // A full chunk without the final tag must be followed by more; a short one must be last.
        if (!final && got < sealedChunk)
            throw refused;
        out.Write(reinterpret_cast<const char *>(plain.data()), qsizetype(plainLen));
    }
    // Nothing may follow the final chunk.
    char extra = 0;
    if (ReadFully(in, &extra, 1) != 0)
        throw refused;
    sodium_memzero(plain.data(), plain.size());
    sodium_memzero(&state, sizeof state);
    out.Commit(TReplacementFile::TMode::Private);
}

void BackupLedgerEncrypted(const QString &dbFile, const QString &target, const QByteArray &password)
{
    QTemporaryFile plain(QFileInfo(dbFile).absolutePath() + QStringLiteral("/backup-plain-XXXXXX"));
    if (!plain.open())
        throw TError(QStringLiteral("无法创建临时文件：%1").arg(plain.errorString()));
    plain.close();
    BackupLedger(dbFile, plain.fileName());
    EncryptFile(plain.fileName(), target, password);
}

QString DecryptBackupBesideLedger(const QString &source, const QString &dbFile, const QByteArray &password)
{
    QTemporaryFile name(QFileInfo(dbFile).absolutePath() + QLatin1Char('/') + kDecryptedPrefix +
                        QStringLiteral("XXXXXX.zovalt"));
    if (!name.open())
        throw TError(QStringLiteral("无法创建临时文件：%1").arg(name.errorString()));
    const QString path = name.fileName();
    DecryptFile(source, path, password);
    name.setAutoRemove(false);
    return path;
}

bool IsDecryptedCopy(const QString &path)
{
    return QFileInfo(path).fileName().startsWith(kDecryptedPrefix);
}

void RemoveDecryptedCopies(const QString &dbFile)
{
    const QDir folder = QFileInfo(dbFile).absoluteDir();
    for (const QString &name : folder.entryList({kDecryptedPrefix + QStringLiteral("*.zovalt")}, QDir::Files))
        QFile::remove(folder.filePath(name));
}
