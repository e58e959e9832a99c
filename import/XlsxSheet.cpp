#include "import/XlsxSheet.h"
#include "base/Errors.h"

#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <minizip/unzip.h>

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
