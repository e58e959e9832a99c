#include "output/xls/Biff.h"
#include "output/xls/Bytes.h"

#include <algorithm>

namespace xls {

namespace {

bool Compressible(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

void AddChars(QByteArray &out, const QString &text, qsizetype from, qsizetype n, bool compressed)
{
    const qsizetype at = out.size();
    out.resize(at + n * (compressed ? 1 : 2));
    char *p = out.data() + at;
    for (qsizetype i = from; i < from + n; ++i) {
        const quint16 u = text[i].unicode();
        *p++ = char(u & 0xFF);
        if (!compressed)
            *p++ = char(u >> 8);
    }
}

} // namespace

void AddRecord(QByteArray &stream, quint16 id, const QByteArray &data)
{
    AddU16(stream, id);
    AddU16(stream, quint16(data.size()));
    stream.append(data);
}

namespace {
// A string with its character count in one byte (short form) or two, then its flags and
// characters, compressed to one byte each when every character allows it.
QByteArray CountedString(const QString &text, bool shortCount)
{
    QByteArray out;
    const bool compressed = Compressible(text);
    if (shortCount)
        AddU8(out, quint8(text.size()));
    else
        AddU16(out, quint16(text.size()));
    AddU8(out, compressed ? 0 : 1);
    AddChars(out, text, 0, text.size(), compressed);
    return out;
}
} // namespace

QByteArray UnicodeString(const QString &text)
{
    return CountedString(text, false);
}

QByteArray ShortUnicodeString(const QString &text)
{
    return CountedString(text, true);
}

TSstRecords BuildSst(const QList<TSstString> &strings, quint32 totalRefs)
{
    TSstRecords sst;
    const qsizetype n = strings.size();
    sst.stringsPerBucket = int(std::max<qsizetype>(8, (n + 127) / 128));
    // Each record's buffer is allocated once, at the most a record can hold.
    QByteArray cur;
    cur.reserve(kMaxRecordData);
    AddU32(cur, totalRefs);
    AddU32(cur, quint32(n));
    auto next = [&] {
        sst.records.append(std::move(cur));
        cur = QByteArray();
        cur.reserve(kMaxRecordData);
    };
    auto space = [&] { return qsizetype(kMaxRecordData) - cur.size(); };

    for (qsizetype k = 0; k < n; ++k) {
        const TSstString &s = strings[k];
        const bool compressed = Compressible(s.text);
        const int unit = compressed ? 1 : 2;
        const qsizetype runCount = s.runs.size() / 4;
        quint8 flags = compressed ? 0 : 1;
        qsizetype header = 3;
        if (runCount > 0) {
            flags |= 0x08;
            header += 2;
        }
        if (!s.ext.isEmpty()) {
            flags |= 0x04;
            header += 4;
        }
        if (space() < header + (s.text.isEmpty() ? 0 : unit))
            next();
        if (k % sst.stringsPerBucket == 0)
            sst.buckets.append({int(sst.records.size()), int(cur.size())});
        AddU16(cur, quint16(s.text.size()));
        AddU8(cur, flags);
        if (runCount > 0)
            AddU16(cur, quint16(runCount));
        if (!s.ext.isEmpty())
            AddU32(cur, quint32(s.ext.size()));
        qsizetype i = 0;
        while (i < s.text.size()) {
            qsizetype take = std::min(space() / unit, s.text.size() - i);
            if (!compressed && take > 0 && i + take < s.text.size() && s.text[i + take - 1].isHighSurrogate())
                --take;
            if (take == 0) {
                next();
                AddU8(cur, compressed ? 0 : 1);
                continue;
            }
            AddChars(cur, s.text, i, take, compressed);
            i += take;
        }
        for (qsizetype r = 0; r < runCount; ++r) {
            if (space() < 4)
                next();
            cur.append(s.runs.mid(r * 4, 4));
        }
        for (qsizetype e = 0; e < s.ext.size();) {
            if (space() == 0)
                next();
            const qsizetype take = std::min(space(), s.ext.size() - e);
            cur.append(s.ext.mid(e, take));
            e += take;
        }
    }
    next();
    return sst;
}

QByteArray BuildExtSst(const TSstRecords &sst, qint64 sstPos)
{
    QList<qint64> recordPos;
    qint64 pos = sstPos;
    for (const QByteArray &r : sst.records) {
        recordPos.append(pos);
        pos += 4 + r.size();
    }
    QByteArray out;
    AddU16(out, quint16(sst.stringsPerBucket));
    for (const auto &[record, offset] : sst.buckets) {
        AddU32(out, quint32(recordPos[record] + 4 + offset));
        AddU16(out, quint16(4 + offset));
        AddU16(out, 0);
    }
    return out;
}

} // namespace xls
