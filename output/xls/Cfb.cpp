#include "output/xls/Cfb.h"
#include "output/xls/Bytes.h"

#include <QSet>

#include <algorithm>
#include <cstring>
#include <vector>

namespace xls {

namespace {

constexpr quint32 kFreeSect = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr qint64 kMiniCutoff = 4096;
constexpr qint64 kMiniSector = 64;
constexpr qint64 kSector = 512;  // what we write
constexpr int kEntrySize = 128;
constexpr int kHeaderDifat = 109;

const char kSignature[8] = {char(0xD0), char(0xCF), char(0x11), char(0xE0),
                            char(0xA1), char(0xB1), char(0x1A), char(0xE1)};

enum EntryType : quint8 { kEmpty = 0, kStorage = 1, kStreamType = 2, kRoot = 5 };

quint8 Type(const QByteArray &raw) { return quint8(raw[66]); }
quint32 Left(const QByteArray &raw) { return GetU32(raw, 68); }
quint32 Right(const QByteArray &raw) { return GetU32(raw, 72); }
quint32 Child(const QByteArray &raw) { return GetU32(raw, 76); }

QByteArray MakeEntry(const QString &name, quint8 type, quint32 child)
{
    QByteArray raw(kEntrySize, '\0');
    const QString n = name.left(31);
    for (int i = 0; i < n.size(); ++i)
        PutU16(raw, 2 * i, n[i].unicode());
    PutU16(raw, 64, quint16((n.size() + 1) * 2));
    raw[66] = char(type);
    raw[67] = 1;  // black
    PutU32(raw, 68, kNoStream);
    PutU32(raw, 72, kNoStream);
    PutU32(raw, 76, child);
    return raw;
}

QByteArray FreeEntry()
{
    QByteArray raw(kEntrySize, '\0');
    PutU32(raw, 68, kNoStream);
    PutU32(raw, 72, kNoStream);
    PutU32(raw, 76, kNoStream);
    return raw;
}

qint64 Ceil(qint64 a, qint64 b) { return (a + b - 1) / b; }

// Reads sectors and chains of one file, checking every index.
class TSectorReader {
public:
    TSectorReader(const QByteArray &file, qint64 sectorSize)
        : m_file(file), m_size(sectorSize), m_count(Ceil(file.size() - sectorSize, sectorSize))
    {
    }
    qint64 Count() const { return m_count; }
    qint64 Size() const { return m_size; }

    // A sector's bytes; a last sector cut short by the end of the file reads as zeros.
    void AppendSector(quint32 s, QByteArray &out) const
    {
        if (qint64(s) >= m_count)
            ThrowDamaged(QStringLiteral("扇区编号越界"));
        const qint64 off = (qint64(s) + 1) * m_size;
        const qint64 avail = std::min(m_size, m_file.size() - off);
        out.append(m_file.constData() + off, avail);
        if (avail < m_size)
            out.append(QByteArray(m_size - avail, '\0'));
    }

    std::vector<quint32> fat;

    // The sectors of a chain; at most limit of them are followed (a negative limit follows
    // the whole chain). A chain longer than the file has sectors holds a loop.
    std::vector<quint32> Chain(quint32 start, qint64 limit) const
    {
        std::vector<quint32> out;
        quint32 s = start;
        while (s != kEndOfChain && (limit < 0 || qint64(out.size()) < limit)) {
            if (qint64(s) >= m_count || s >= fat.size())
                ThrowDamaged(QStringLiteral("扇区链越界"));
            if (qint64(out.size()) >= m_count)
                ThrowDamaged(QStringLiteral("扇区链成环"));
            out.push_back(s);
            s = fat[s];
        }
        return out;
    }

    QByteArray ReadChain(quint32 start, qint64 bytes) const
    {
        if (bytes <= 0)
            return QByteArray();
        if (bytes > m_count * m_size)
            ThrowDamaged(QStringLiteral("流长度超出文件"));
        const qint64 need = Ceil(bytes, m_size);
        const std::vector<quint32> chain = Chain(start, need);
        if (qint64(chain.size()) < need)
            ThrowDamaged(QStringLiteral("流的扇区链过短"));
        QByteArray out;
        out.reserve(need * m_size);
        for (quint32 s : chain)
            AppendSector(s, out);
        out.truncate(bytes);
        return out;
    }

private:
    const QByteArray &m_file;
    qint64 m_size;
    qint64 m_count;
};

} // namespace

QString TCompoundFile::EntryName(const QByteArray &raw)
{
    const int bytes = std::min<int>(GetU16(raw, 64), 64);
    QString name;
    for (int i = 0; i + 1 < bytes; i += 2) {
        const quint16 c = GetU16(raw, i);
        if (c == 0)
            break;
        name.append(QChar(c));
    }
    return name;
}

TCompoundFile TCompoundFile::Parse(const QByteArray &file)
{
    if (file.size() < 512 || !file.startsWith(QByteArray::fromRawData(kSignature, 8)))
        throw TError(QStringLiteral("不是Excel 97-2003工作簿（.xls）文件"));
    const quint16 major = GetU16(file, 0x1A);
    const quint16 shift = GetU16(file, 0x1E);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)) || GetU16(file, 0x20) != 6)
        ThrowDamaged(QStringLiteral("复合文档的扇区大小无效"));
    if (GetU32(file, 0x38) != kMiniCutoff)
        ThrowDamaged(QStringLiteral("复合文档的小流界限无效"));
    const qint64 ss = qint64(1) << shift;
    if (file.size() <= ss)
        ThrowDamaged(QStringLiteral("复合文档没有扇区"));
    TSectorReader rd(file, ss);

    // The FAT's own sectors: 109 listed in the header, the rest in the DIFAT chain.
    const quint32 numFat = GetU32(file, 0x2C);
    if (numFat == 0 || numFat > rd.Count())
        ThrowDamaged(QStringLiteral("FAT扇区数无效"));
    std::vector<quint32> fatSectors;
    for (int i = 0; i < kHeaderDifat && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(GetU32(file, 0x4C + 4 * i));
    quint32 difat = GetU32(file, 0x44);
    const quint32 numDifat = GetU32(file, 0x48);
    const qint64 perDifat = ss / 4 - 1;
    for (quint32 n = 0; fatSectors.size() < numFat; ++n) {
        if (n >= numDifat || n >= rd.Count())
            ThrowDamaged(QStringLiteral("DIFAT不完整"));
        QByteArray sec;
        rd.AppendSector(difat, sec);
        for (qint64 i = 0; i < perDifat && fatSectors.size() < numFat; ++i)
            fatSectors.push_back(GetU32(sec, 4 * i));
        difat = GetU32(sec, 4 * perDifat);
    }
    QByteArray fatBytes;
    fatBytes.reserve(qint64(numFat) * ss);
    for (quint32 s : fatSectors)
        rd.AppendSector(s, fatBytes);
    rd.fat.resize(fatBytes.size() / 4);
    for (size_t i = 0; i < rd.fat.size(); ++i)
        rd.fat[i] = GetU32(fatBytes, qint64(i) * 4);

    // Directory.
    QByteArray dir;
    for (quint32 s : rd.Chain(GetU32(file, 0x30), -1))
        rd.AppendSector(s, dir);
    const qint64 count = dir.size() / kEntrySize;
    if (count == 0)
        ThrowDamaged(QStringLiteral("目录为空"));
    TCompoundFile cf;
    cf.m_entries.resize(count);
    for (qint64 i = 0; i < count; ++i)
        cf.m_entries[i].raw = dir.mid(i * kEntrySize, kEntrySize);
    const QByteArray &root = cf.m_entries[0].raw;
    if (Type(root) != kRoot)
        ThrowDamaged(QStringLiteral("缺少根目录项"));

    auto entrySize = [&](const QByteArray &raw) -> qint64 {
        const qint64 low = GetU32(raw, 120);
        const qint64 high = GetU32(raw, 124);
        // Version 3 files may leave garbage in the high half.
        if (major == 3 || high == 0)
            return low;
        ThrowDamaged(QStringLiteral("流过大"));
    };

    // Mini stream and its allocation table.
    const QByteArray miniStream = rd.ReadChain(GetU32(root, 116), entrySize(root));
    std::vector<quint32> miniFat;
    {
        const quint32 firstMiniFat = GetU32(file, 0x3C);
        if (firstMiniFat != kEndOfChain && GetU32(file, 0x40) != 0) {
            QByteArray bytes;
            for (quint32 s : rd.Chain(firstMiniFat, GetU32(file, 0x40)))
                rd.AppendSector(s, bytes);
            miniFat.resize(bytes.size() / 4);
            for (size_t i = 0; i < miniFat.size(); ++i)
                miniFat[i] = GetU32(bytes, qint64(i) * 4);
        }
    }
    auto readMini = [&](quint32 start, qint64 bytes) -> QByteArray {
        QByteArray out;
        if (bytes <= 0)
            return out;
        const qint64 need = Ceil(bytes, kMiniSector);
        const qint64 available = miniStream.size() / kMiniSector;
        quint32 s = start;
        for (qint64 n = 0; n < need; ++n) {
            if (s >= miniFat.size() || qint64(s) >= available)
                ThrowDamaged(QStringLiteral("小流扇区链越界"));
            out.append(miniStream.constData() + qint64(s) * kMiniSector, kMiniSector);
            s = miniFat[s];
        }
        out.truncate(bytes);
        return out;
    };

    // Walk the tree from the root; only reachable entries are kept.
    cf.m_entries[0].used = true;
    std::vector<quint32> stack{Child(root)};
    QSet<quint32> seen{0};
    while (!stack.empty()) {
        const quint32 id = stack.back();
        stack.pop_back();
        if (id == kNoStream)
            continue;
        if (qint64(id) >= count || seen.contains(id))
            ThrowDamaged(QStringLiteral("目录树无效"));
        seen.insert(id);
        TEntry &e = cf.m_entries[id];
        const quint8 type = Type(e.raw);
        if (type != kStorage && type != kStreamType)
            ThrowDamaged(QStringLiteral("目录树无效"));
        e.used = true;
        stack.push_back(Left(e.raw));
        stack.push_back(Right(e.raw));
        if (type == kStorage) {
            stack.push_back(Child(e.raw));
        } else {
            const qint64 size = entrySize(e.raw);
            const quint32 start = GetU32(e.raw, 116);
            e.data = size < kMiniCutoff ? readMini(start, size) : rd.ReadChain(start, size);
        }
    }
    return cf;
}

TCompoundFile TCompoundFile::WithStream(const QString &name, const QByteArray &data)
{
    TCompoundFile cf;
    cf.m_entries.resize(2);
    cf.m_entries[0].raw = MakeEntry(QStringLiteral("Root Entry"), kRoot, 1);
    cf.m_entries[0].used = true;
    cf.m_entries[1].raw = MakeEntry(name, kStreamType, kNoStream);
    cf.m_entries[1].data = data;
    cf.m_entries[1].used = true;
    return cf;
}

int TCompoundFile::FindTopLevel(const QString &name) const
{
    if (m_entries.isEmpty())
        return -1;
    std::vector<quint32> stack{Child(m_entries[0].raw)};
    QSet<quint32> seen;
    while (!stack.empty()) {
        const quint32 id = stack.back();
        stack.pop_back();
        if (id == kNoStream || id >= quint32(m_entries.size()) || seen.contains(id))
            continue;
        seen.insert(id);
        const TEntry &e = m_entries[id];
        if (Type(e.raw) == kStreamType && EntryName(e.raw).compare(name, Qt::CaseInsensitive) == 0)
            return int(id);
        stack.push_back(Left(e.raw));
        stack.push_back(Right(e.raw));
    }
    return -1;
}

bool TCompoundFile::HasStream(const QString &name) const
{
    return FindTopLevel(name) >= 0;
}

QByteArray TCompoundFile::Stream(const QString &name) const
{
    const int i = FindTopLevel(name);
    if (i < 0)
        throw TError(QStringLiteral("复合文档中没有“%1”流").arg(name));
    return m_entries[i].data;
}

void TCompoundFile::SetStream(const QString &name, const QByteArray &data)
{
    const int i = FindTopLevel(name);
    if (i < 0)
        throw TError(QStringLiteral("复合文档中没有“%1”流").arg(name));
    m_entries[i].data = data;
}

QStringList TCompoundFile::StreamNames() const
{
    QStringList names;
    for (const TEntry &e : m_entries)
        if (e.used && Type(e.raw) == kStreamType)
            names << EntryName(e.raw);
    return names;
}

QByteArray TCompoundFile::Serialize() const
{
    const qint64 count = m_entries.size();
    const qint64 perSector = kSector / 4;

    // Sector counts of every part, in the order they are laid out.
    qint64 bigSectors = 0, miniSectors = 0;
    for (const TEntry &e : m_entries) {
        if (!e.used || Type(e.raw) != kStreamType)
            continue;
        if (e.data.size() >= kMiniCutoff)
            bigSectors += Ceil(e.data.size(), kSector);
        else
            miniSectors += Ceil(e.data.size(), kMiniSector);
    }
    const qint64 miniContainer = Ceil(miniSectors * kMiniSector, kSector);
    const qint64 miniFatSectors = Ceil(miniSectors * 4, kSector);
    const qint64 dirSectors = Ceil(count * kEntrySize, kSector);
    const qint64 base = bigSectors + miniContainer + miniFatSectors + dirSectors;
    qint64 fatCount = 1, difatCount = 0;
    for (;;) {
        const qint64 f = Ceil(base + fatCount + difatCount, perSector);
        const qint64 d = f > kHeaderDifat ? Ceil(f - kHeaderDifat, perSector - 1) : 0;
        if (f == fatCount && d == difatCount)
            break;
        fatCount = f;
        difatCount = d;
    }
    const qint64 total = base + fatCount + difatCount;
    const quint32 miniStart = quint32(bigSectors);
    const quint32 miniFatStart = quint32(miniStart + miniContainer);
    const quint32 dirStart = quint32(miniFatStart + miniFatSectors);
    const quint32 fatStart = quint32(dirStart + dirSectors);
    const quint32 difatStart = quint32(fatStart + fatCount);

    std::vector<quint32> fat(fatCount * perSector, kFreeSect);
    auto chain = [](std::vector<quint32> &table, quint32 first, qint64 n) {
        for (qint64 i = 0; i < n; ++i)
            table[first + i] = i + 1 < n ? quint32(first + i + 1) : kEndOfChain;
    };
    std::vector<quint32> miniFat(miniFatSectors * perSector, kFreeSect);
    QByteArray body(total * kSector, '\0');
    QByteArray dir;
    dir.reserve(dirSectors * kSector);

    quint32 nextBig = 0, nextMini = 0;
    for (const TEntry &e : m_entries) {
        if (!e.used) {
            dir.append(FreeEntry());
            continue;
        }
        QByteArray raw = e.raw;
        PutU32(raw, 124, 0);
        if (Type(raw) == kStreamType) {
            const qint64 size = e.data.size();
            quint32 start = kEndOfChain;
            if (size >= kMiniCutoff) {
                const qint64 n = Ceil(size, kSector);
                start = nextBig;
                chain(fat, start, n);
                memcpy(body.data() + qint64(start) * kSector, e.data.constData(), size);
                nextBig += quint32(n);
            } else if (size > 0) {
                const qint64 n = Ceil(size, kMiniSector);
                start = nextMini;
                chain(miniFat, start, n);
                memcpy(body.data() + qint64(miniStart) * kSector + qint64(start) * kMiniSector,
                       e.data.constData(), size);
                nextMini += quint32(n);
            }
            PutU32(raw, 116, start);
            PutU32(raw, 120, quint32(size));
        } else if (Type(raw) == kRoot) {
            PutU32(raw, 116, miniSectors > 0 ? miniStart : kEndOfChain);
            PutU32(raw, 120, quint32(miniSectors * kMiniSector));
        } else {
            PutU32(raw, 116, 0);
            PutU32(raw, 120, 0);
        }
        dir.append(raw);
    }
    while (dir.size() < dirSectors * kSector)
        dir.append(FreeEntry());

    chain(fat, miniStart, miniContainer);
    chain(fat, miniFatStart, miniFatSectors);
    chain(fat, dirStart, dirSectors);
    for (qint64 i = 0; i < fatCount; ++i)
        fat[fatStart + i] = kFatSect;
    for (qint64 i = 0; i < difatCount; ++i)
        fat[difatStart + i] = kDifSect;

    memcpy(body.data() + qint64(dirStart) * kSector, dir.constData(), dir.size());
    for (size_t i = 0; i < miniFat.size(); ++i)
        PutU32(body, qint64(miniFatStart) * kSector + qint64(i) * 4, miniFat[i]);
    for (size_t i = 0; i < fat.size(); ++i)
        PutU32(body, qint64(fatStart) * kSector + qint64(i) * 4, fat[i]);
    // FAT sectors past the first 109 are listed in the DIFAT sectors, 127 to a sector.
    for (qint64 d = 0; d < difatCount; ++d) {
        const qint64 off = (qint64(difatStart) + d) * kSector;
        for (qint64 i = 0; i < perSector - 1; ++i) {
            const qint64 k = kHeaderDifat + d * (perSector - 1) + i;
            PutU32(body, off + 4 * i, k < fatCount ? quint32(fatStart + k) : kFreeSect);
        }
        PutU32(body, off + 4 * (perSector - 1), d + 1 < difatCount ? quint32(difatStart + d + 1) : kEndOfChain);
    }

    QByteArray header(kSector, '\0');
    memcpy(header.data(), kSignature, 8);
    PutU16(header, 0x18, 0x003E);
    PutU16(header, 0x1A, 3);
    PutU16(header, 0x1C, 0xFFFE);
    PutU16(header, 0x1E, 9);
    PutU16(header, 0x20, 6);
    PutU32(header, 0x2C, quint32(fatCount));
    PutU32(header, 0x30, dirStart);
    PutU32(header, 0x38, quint32(kMiniCutoff));
    PutU32(header, 0x3C, miniFatSectors > 0 ? miniFatStart : kEndOfChain);
    PutU32(header, 0x40, quint32(miniFatSectors));
    PutU32(header, 0x44, difatCount > 0 ? difatStart : kEndOfChain);
    PutU32(header, 0x48, quint32(difatCount));
    for (int i = 0; i < kHeaderDifat; ++i)
        PutU32(header, 0x4C + 4 * i, i < fatCount ? quint32(fatStart + i) : kFreeSect);
    return header + body;
}

} // namespace xls
