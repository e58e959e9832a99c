#include "import/XlsxSheet.h"
#include "base/Errors.h"

#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// Bounds that keep a hostile workbook from taking the machine: no bill comes near them.
constexpr qint64 kMaxEntryBytes = 64 * 1024 * 1024;
constexpr int kMaxColumns = 256;
constexpr int kMaxRowNumber = 1048576;
// What the reader builds is bounded, not only what it unpacks: a small file can name a cell
// far to the right in every row or the same long shared text in every cell. Each stored
// cell (empty ones left of a used cell included) and each character counts.
constexpr qint64 kMaxCells = 4000000;
constexpr qint64 kMaxTextChars = 64 * 1024 * 1024;

[[noreturn]] void TooLarge()
{
    throw TError(QStringLiteral("这个工作表太大（超过 %1 个单元格或 %2 个字符），不像是账单，无法导入")
                     .arg(kMaxCells)
                     .arg(kMaxTextChars));
}

[[noreturn]] void Damaged(const QString &why)
{
    throw TError(QStringLiteral("XLSX 文件已损坏或不完整（%1）").arg(why));
}

// The traditional ZIP cipher (three keys stirred by every plain byte through CRC-32).
QByteArray ZipDecrypt(const QByteArray &cipher, const QByteArray &password)
{
    const z_crc_t *table = get_crc_table();
    quint32 keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    auto crc = [&](quint32 c, quint8 b) { return table[(c ^ b) & 0xff] ^ (c >> 8); };
    auto update = [&](quint8 b) {
        keys[0] = crc(keys[0], b);
        keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
        keys[2] = crc(keys[2], quint8(keys[1] >> 24));
    };
    for (char c : password)
        update(quint8(c));
    QByteArray plain(cipher.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < cipher.size(); ++i) {
        const quint16 temp = quint16(keys[2] | 2);
        // In unsigned arithmetic: the product of two 16-bit values overflows an int.
        const quint8 b = quint8(cipher.at(i)) ^ quint8((quint32(temp) * quint32(temp ^ 1u)) >> 8);
        update(b);
        plain[i] = char(b);
    }
    return plain;
}

// Raw deflate data inflated to at most size bytes; a null array when it does not inflate.
QByteArray Inflate(const QByteArray &deflated, quint64 size)
{
    if (size > quint64(kMaxEntryBytes) * 4)
        return {};
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(deflated.constData()));
    z.avail_in = uInt(deflated.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return whole ? out : QByteArray();
}

// The workbook's zip container, read from memory through minizip's own I/O hooks (the
// same zip library that writes the .xlsx exports).
class TZipReader {
public:
    explicit TZipReader(const QByteArray &bytes) : m_bytes(bytes)
    {
        zlib_filefunc64_def io{};
        io.zopen64_file = [](voidpf opaque, const void *, int) -> voidpf { return opaque; };
        io.zread_file = [](voidpf, voidpf stream, void *buf, uLong size) -> uLong {
            auto *self = static_cast<TZipReader *>(stream);
            const qint64 left = self->m_bytes.size() - self->m_pos;
            const qint64 n = std::max<qint64>(0, std::min<qint64>(qint64(size), left));
            memcpy(buf, self->m_bytes.constData() + self->m_pos, size_t(n));
            self->m_pos += n;
            return uLong(n);
        };
        io.zwrite_file = [](voidpf, voidpf, const void *, uLong) -> uLong { return 0; };
        io.ztell64_file = [](voidpf, voidpf stream) -> ZPOS64_T {
            return ZPOS64_T(static_cast<TZipReader *>(stream)->m_pos);
        };
        io.zseek64_file = [](voidpf, voidpf stream, ZPOS64_T offset, int origin) -> long {
            auto *self = static_cast<TZipReader *>(stream);
            qint64 base = 0;
            if (origin == ZLIB_FILEFUNC_SEEK_CUR)
                base = self->m_pos;
            else if (origin == ZLIB_FILEFUNC_SEEK_END)
                base = self->m_bytes.size();
            if (offset > ZPOS64_T(self->m_bytes.size()) || base + qint64(offset) > self->m_bytes.size())
                return -1;
            self->m_pos = base + qint64(offset);
            return 0;
        };
        io.zclose_file = [](voidpf, voidpf) -> int { return 0; };
        io.zerror_file = [](voidpf, voidpf) -> int { return 0; };
        io.opaque = this;
        m_zip = unzOpen2_64("", &io);
        if (!m_zip)
            Damaged(QStringLiteral("无法打开压缩包"));
    }
    ~TZipReader()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    TZipReader(const TZipReader &) = delete;
    TZipReader &operator=(const TZipReader &) = delete;

    bool Has(const QString &name) { return unzLocateFile(m_zip, name.toUtf8().constData(), 1) == UNZ_OK; }

    QByteArray Read(const QString &name)
    {
        if (!Has(name))
            Damaged(QStringLiteral("缺少 %1").arg(name));
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.uncompressed_size > quint64(kMaxEntryBytes))
            Damaged(QStringLiteral("%1 过大").arg(name));
        // An entry with a password cannot be read: the workbook is encrypted.
        if ((info.flag & 1) != 0 || unzOpenCurrentFile(m_zip) != UNZ_OK)
            Damaged(QStringLiteral("无法读取 %1").arg(name));
        QByteArray data;
        char chunk[65536];
        for (;;) {
            const int n = unzReadCurrentFile(m_zip, chunk, sizeof chunk);
            if (n < 0) {
                unzCloseCurrentFile(m_zip);
                Damaged(QStringLiteral("无法读取 %1").arg(name));
            }
            if (n == 0)
                break;
            if (data.size() + n > kMaxEntryBytes) {
                unzCloseCurrentFile(m_zip);
                Damaged(QStringLiteral("%1 过大").arg(name));
            }
            data.append(chunk, n);
        }
        // Closing checks the entry's checksum.
        if (unzCloseCurrentFile(m_zip) != UNZ_OK)
            Damaged(QStringLiteral("%1 校验失败").arg(name));
        return data;
    }

    // The names of the archive's entries, in order.
    QStringList Names()
    {
        QStringList names;
        for (int rc = unzGoToFirstFile(m_zip); rc == UNZ_OK && names.size() < 10000; rc = unzGoToNextFile(m_zip)) {
            char name[1024];
            unz_file_info64 info{};
            if (unzGetCurrentFileInfo64(m_zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
                break;
            names << QString::fromUtf8(name);
        }
        return names;
    }

    // One entry of an archive of files, decrypted with password when it is encrypted.
    QByteArray ReadEncrypted(const QString &name, const QString &password)
    {
        auto fail = [](const QString &why) { throw TError(QStringLiteral("压缩包已损坏或不完整（%1）").arg(why)); };
        if (!Has(name))
            fail(QStringLiteral("缺少 %1").arg(name));
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            fail(name);
        if (info.uncompressed_size > quint64(kMaxEntryBytes) * 4)
            throw TError(QStringLiteral("压缩包中的“%1”太大，不像是账单").arg(name));
        const bool encrypted = (info.flag & 1) != 0;
        // Method 99 marks AES encryption, which this reader does not know.
        if (info.compression_method == 99)
            throw TError(QStringLiteral("这个压缩包使用 AES 加密，无法直接打开。请先用解压软件解压，再导入其中的账单文件"));
        if (encrypted && password.isEmpty())
            throw TZipPasswordNeeded();
        if (!encrypted)
            return Read(name);
        // The zip library here reads no encrypted entries: the raw entry is read and
        // decrypted with the traditional ZIP cipher, then inflated.
        int method = 0, level = 0;
        if (unzOpenCurrentFile2(m_zip, &method, &level, 1) != UNZ_OK || (method != 0 && method != Z_DEFLATED))
            fail(name);
        QByteArray raw;
        char chunk[65536];
        for (;;) {
            const int n = unzReadCurrentFile(m_zip, chunk, sizeof chunk);
            if (n < 0 || raw.size() + n > kMaxEntryBytes * 4) {
                unzCloseCurrentFile(m_zip);
                fail(name);
            }
            if (n == 0)
                break;
            raw.append(chunk, n);
        }
        unzCloseCurrentFile(m_zip);
        // The last byte of the 12-byte header checks the password: the top byte of the CRC,
        // or of the time when the sizes follow the data.
        const quint8 check = (info.flag & 8) ? quint8(info.dosDate >> 8) : quint8(info.crc >> 24);
        const QByteArray plain = ZipDecrypt(raw, password.toUtf8());
        if (plain.size() < 12 || quint8(plain.at(11)) != check)
            throw TError(QStringLiteral("解压密码不正确"));
        QByteArray data = method == 0 ? plain.mid(12) : Inflate(plain.mid(12), info.uncompressed_size);
        if (data.isNull() || crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())) != info.crc)
            throw TError(QStringLiteral("解压密码不正确"));
        return data;
    }

private:
    QByteArray m_bytes;
    qint64 m_pos = 0;
    unzFile m_zip = nullptr;
};

void CheckXml(const QXmlStreamReader &xml, const QString &name)
{
    if (xml.hasError())
        Damaged(QStringLiteral("%1：%2").arg(name, xml.errorString()));
}

// The text of an element such as <si> or <is>: every <t> below it, phonetic runs left out.
QString InlineText(QXmlStreamReader &xml)
{
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

QStringList SharedStrings(TZipReader &zip)
{
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    QStringList strings;
    if (!zip.Has(name))
        return strings;
    QXmlStreamReader xml(zip.Read(name));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
            strings << InlineText(xml);
    }
    CheckXml(xml, name);
    return strings;
}

// A relationship's target inside the package: relative to xl/ unless it starts with "/".
QString PartPath(const QString &target)
{
    const QString path = QDir::cleanPath(target.startsWith(QLatin1Char('/')) ? target.mid(1)
                                                                            : QStringLiteral("xl/") + target);
    if (path.startsWith(QLatin1String("../")) || path == QLatin1String("..") || path.startsWith(QLatin1Char('/')))
        Damaged(QStringLiteral("工作表位置“%1”无效").arg(target));
    return path;
}

// Path of the first worksheet, by the workbook's first <sheet> and its relationship, and
// whether the workbook counts its dates from 1904.
QString FirstSheetPath(TZipReader &zip, bool *date1904)
{
    const QString fallback = QStringLiteral("xl/worksheets/sheet1.xml");
    const QString bookName = QStringLiteral("xl/workbook.xml");
    const QString relsName = QStringLiteral("xl/_rels/workbook.xml.rels");
    if (!zip.Has(bookName))
        Damaged(QStringLiteral("缺少 %1").arg(bookName));
    QString relId;
    {
        QXmlStreamReader xml(zip.Read(bookName));
        while (!xml.atEnd() && relId.isEmpty()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringView flag = xml.attributes().value(QLatin1String("date1904"));
                *date1904 = flag == QLatin1String("1") || flag == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                for (const QXmlStreamAttribute &a : xml.attributes())
                    if (a.name() == QLatin1String("id"))
                        relId = a.value().toString();
            }
        }
    }
    if (relId.isEmpty() || !zip.Has(relsName))
        return fallback;
    QXmlStreamReader xml(zip.Read(relsName));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attrs = xml.attributes();
        if (attrs.value(QLatin1String("Id")) != relId)
            continue;
        return PartPath(attrs.value(QLatin1String("Target")).toString());
    }
    return fallback;
}

// Column index of a reference such as "C12"; -1 when it has no letters.
int ColumnOf(QStringView ref)
{
    int column = 0;
    int letters = 0;
    for (QChar c : ref) {
        if (c < u'A' || c > u'Z')
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

QString CellText(QXmlStreamReader &xml, const QString &type, const QStringList &shared)
{
    QString value;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("v"))
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == QLatin1String("is"))
                value = InlineText(xml);
        } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
            break;
        }
    }
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= shared.size())
            Damaged(QStringLiteral("共享字符串编号“%1”无效").arg(value));
        return shared.at(index);
    }
    return value;
}

} // namespace

QList<TSheetRow> ReadFirstSheet(const QByteArray &bytes, bool *date1904, const std::function<bool(int)> &progress)
{
    TZipReader zip(bytes);
    const QStringList shared = SharedStrings(zip);
    bool in1904 = false;
    const QString sheetName = FirstSheetPath(zip, &in1904);
    if (date1904)
        *date1904 = in1904;
    const QByteArray sheetXml = zip.Read(sheetName);
    QXmlStreamReader xml(sheetXml);
    QList<TSheetRow> rows;
    TSheetRow *row = nullptr;
    int nextColumn = 0;
    qint64 cells = 0, chars = 0;
    int ticks = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (progress && ++ticks % 4096 == 0 &&
            !progress(int(xml.characterOffset() * 100 / qMax<qsizetype>(1, sheetXml.size()))))
            return {};
        if (xml.name() == QLatin1String("row")) {
            if (rows.size() >= kMaxRowNumber)
                TooLarge();
            bool ok = false;
            int number = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            if (!ok)
                number = rows.isEmpty() ? 1 : rows.last().number + 1;
            if (number < 1 || number > kMaxRowNumber)
                Damaged(QStringLiteral("行号 %1 无效").arg(number));
            rows.append(TSheetRow{number, {}});
            row = &rows.last();
            nextColumn = 0;
        } else if (xml.name() == QLatin1String("c")) {
            if (!row)
                Damaged(QStringLiteral("单元格不在行内"));
            const QXmlStreamAttributes attrs = xml.attributes();
            const QStringView ref = attrs.value(QLatin1String("r"));
            const int column = ref.isEmpty() ? nextColumn : ColumnOf(ref);
            const QString type = attrs.value(QLatin1String("t")).toString();
            const QString text = CellText(xml, type, shared);
            if (column < 0)
                Damaged(QStringLiteral("单元格位置“%1”无效").arg(ref.toString()));
            nextColumn = column + 1;
            if (column >= kMaxColumns || text.isEmpty())
                continue;
            cells += qMax<qsizetype>(0, column + 1 - row->cells.size());
            chars += text.size();
            if (cells > kMaxCells || chars > kMaxTextChars)
                TooLarge();
            while (row->cells.size() <= column)
                row->cells << QString();
            row->cells[column] = text;
        }
    }
    CheckXml(xml, sheetName);
    return rows;
}

bool IsWorkbookZip(const QByteArray &bytes)
{
    try {
        TZipReader zip(bytes);
        return zip.Has(QStringLiteral("xl/workbook.xml")) || zip.Has(QStringLiteral("[Content_Types].xml"));
    } catch (const TError &) {
        // A damaged archive is taken for a workbook, whose reader names the damage.
        return true;
    }
}

QByteArray ReadFileInZip(const QByteArray &bytes, const QString &password, QString *name)
{
    TZipReader zip(bytes);
    for (const QString &entry : zip.Names()) {
        const QString lower = entry.toLower();
        if (entry.endsWith(QLatin1Char('/')) || lower.contains(QLatin1String("__macosx/")) ||
            !(lower.endsWith(QLatin1String(".csv")) || lower.endsWith(QLatin1String(".xlsx")) ||
              lower.endsWith(QLatin1String(".xls"))))
            continue;
        if (name)
            *name = entry;
        return zip.ReadEncrypted(entry, password);
    }
    throw TError(QStringLiteral("压缩包中没有 CSV 或 Excel 账单文件"));
}
