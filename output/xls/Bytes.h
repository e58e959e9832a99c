#pragma once
#include "base/Errors.h"

#include <QByteArray>
#include <QString>

// Little-endian access to byte buffers. Every read is checked against the buffer, because
// the files read here come from anywhere.
namespace xls {

[[noreturn]] inline void ThrowDamaged(const QString &detail)
{
    throw TError(QStringLiteral("文件已损坏或不是受支持的Excel 97-2003工作簿（%1）").arg(detail));
}

inline bool InRange(const QByteArray &b, qint64 pos, qint64 len)
{
    return pos >= 0 && len >= 0 && pos <= b.size() && len <= b.size() - pos;
}

inline quint8 GetU8(const QByteArray &b, qint64 pos)
{
    if (!InRange(b, pos, 1))
        ThrowDamaged(QStringLiteral("读取越界"));
    return quint8(b[pos]);
}

inline quint16 GetU16(const QByteArray &b, qint64 pos)
{
    if (!InRange(b, pos, 2))
        ThrowDamaged(QStringLiteral("读取越界"));
    return quint16(quint8(b[pos]) | quint8(b[pos + 1]) << 8);
}

inline quint32 GetU32(const QByteArray &b, qint64 pos)
{
    if (!InRange(b, pos, 4))
        ThrowDamaged(QStringLiteral("读取越界"));
    return quint32(quint8(b[pos])) | quint32(quint8(b[pos + 1])) << 8 |
           quint32(quint8(b[pos + 2])) << 16 | quint32(quint8(b[pos + 3])) << 24;
}

inline void PutU16(QByteArray &b, qint64 pos, quint16 v)
{
    b[pos] = char(v & 0xFF);
    b[pos + 1] = char(v >> 8);
}

inline void PutU32(QByteArray &b, qint64 pos, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[pos + i] = char((v >> (8 * i)) & 0xFF);
}

inline void AddU8(QByteArray &b, quint8 v) { b.append(char(v)); }
inline void AddU16(QByteArray &b, quint16 v)
{
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    b.append(bytes, 2);
}
// Many 16-bit values at once; the hot path of writing cell records.
inline void AddU16s(QByteArray &b, const quint16 *values, int count)
{
    const qsizetype at = b.size();
    b.resize(at + 2 * count);
    char *p = b.data() + at;
    for (int i = 0; i < count; ++i) {
        *p++ = char(values[i] & 0xFF);
        *p++ = char(values[i] >> 8);
    }
}
inline void AddU32(QByteArray &b, quint32 v)
{
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    b.append(bytes, 4);
}

} // namespace xls
