#include "output/xls/Workbook.h"
#include "base/AtomicFile.h"
#include "output/xls/Biff.h"
#include "output/xls/Bytes.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace xls {

namespace {

struct TRecord {
    quint16 id;
    quint16 size;
    qint64 pos;   // of the record header
    int depth;    // 1 for the substream's own records, 2 and more inside embedded ones
    qint64 Data() const { return pos + 4; }
    qint64 End() const { return pos + 4 + size; }
};

// The records of the substream starting at start, up to its matching EOF.
std::vector<TRecord> ReadSubstream(const QByteArray &s, qint64 start)
{
    std::vector<TRecord> recs;
    qint64 pos = start;
    int depth = 0;
    for (;;) {
        if (!InRange(s, pos, 4))
            ThrowDamaged(QStringLiteral("缺少结束记录"));
        const quint16 id = GetU16(s, pos);
        const quint16 size = GetU16(s, pos + 2);
        if (!InRange(s, pos + 4, size))
            ThrowDamaged(QStringLiteral("记录超出数据流"));
        if (recs.empty() && id != kBof)
            ThrowDamaged(QStringLiteral("子流不以BOF开始"));
        if (id == kBof)
            ++depth;
        recs.push_back({id, size, pos, std::max(depth, 1)});
        pos += 4 + size;
        if (id == kEof && --depth == 0)
            return recs;
    }
}

bool IsCellRecord(quint16 id)
{
    switch (id) {
    case kLabelSst: case kLabel: case kRString: case kNumber: case kRk: case kMulRk:
    case kBoolErr: case kFormula: case kBlank: case kMulBlank:
        return true;
    default:
        return false;
    }
}

bool IsCellTableRecord(quint16 id)
{
    switch (id) {
    case kRow: case kDbCell: case kString: case kArray: case kShrFmla: case kTable:
        return true;
    default:
        return IsCellRecord(id);
    }
}

// Reads an SST split over its SST and CONTINUE records, one record at a time.
class TSstReader {
public:
    TSstReader(const QByteArray &s, std::vector<std::pair<qint64, qint64>> segments)
        : m_s(s), m_segs(std::move(segments))
    {
    }

    quint8 Byte()
    {
        while (m_off >= m_segs[m_seg].second)
            NextSegment();
        return quint8(m_s[m_segs[m_seg].first + m_off++]);
    }
    quint16 U16()
    {
        const quint16 lo = Byte();
        return quint16(lo | Byte() << 8);
    }
    quint32 U32()
    {
        const quint32 lo = U16();
        return lo | quint32(U16()) << 16;
    }
    QByteArray Bytes(qint64 n)
    {
        QByteArray out;
        while (n > 0) {
            if (m_off >= m_segs[m_seg].second) {
                NextSegment();
                continue;
            }
            const qint64 take = std::min(n, m_segs[m_seg].second - m_off);
            out.append(m_s.constData() + m_segs[m_seg].first + m_off, take);
            m_off += take;
            n -= take;
        }
        return out;
    }

    TSstString String()
    {
        TSstString str;
        const quint16 count = U16();
        const quint8 flags = Byte();
        bool high = flags & 0x01;
        const quint16 runs = (flags & 0x08) ? U16() : 0;
        const quint32 ext = (flags & 0x04) ? U32() : 0;
        str.text.reserve(count);
        qint64 left = count;
        while (left > 0) {
            if (m_off >= m_segs[m_seg].second) {
                // Characters go on in the next record, which starts with its own flags.
                NextSegment();
                high = Byte() & 0x01;
                continue;
            }
            const qint64 avail = (m_segs[m_seg].second - m_off) / (high ? 2 : 1);
            if (avail == 0)
                ThrowDamaged(QStringLiteral("共享字符串被错误地分割"));
            const qint64 take = std::min(avail, left);
            const char *p = m_s.constData() + m_segs[m_seg].first + m_off;
            for (qint64 i = 0; i < take; ++i)
                str.text.append(high ? QChar(quint16(quint8(p[2 * i]) | quint8(p[2 * i + 1]) << 8))
                                     : QChar(quint8(p[i])));
            m_off += take * (high ? 2 : 1);
            left -= take;
        }
        str.runs = Bytes(qint64(runs) * 4);
        str.ext = Bytes(ext);
        return str;
    }

private:
    void NextSegment()
    {
        if (m_seg + 1 >= m_segs.size())
            ThrowDamaged(QStringLiteral("共享字符串表不完整"));
        ++m_seg;
        m_off = 0;
    }

    const QByteArray &m_s;
    std::vector<std::pair<qint64, qint64>> m_segs;
    size_t m_seg = 0;
    qint64 m_off = 0;
};

struct TSheetRef {
    size_t record;    // index of the BOUNDSHEET record among the globals
    qint64 offset;    // of the sheet's BOF
    quint8 type;
    QString name;
};

// What the appender needs to know of the workbook globals.
struct TGlobals {
    std::vector<TRecord> recs;
    qint64 end = 0;
    std::vector<TSheetRef> sheets;
    int sstRecord = -1;      // index of SST in recs
    int sstContinues = 0;    // CONTINUE records following it
    std::vector<bool> styleXf;
    std::vector<size_t> xfRecords;   // index in recs of each XF, in XF order
    QList<TSstString> strings;
    quint32 totalRefs = 0;
};

QString ReadShortString(const QByteArray &s, qint64 pos, qint64 end)
{
    const quint8 count = GetU8(s, pos);
    const bool high = GetU8(s, pos + 1) & 0x01;
    if (pos + 2 + qint64(count) * (high ? 2 : 1) > end)
        ThrowDamaged(QStringLiteral("工作表名称越界"));
    QString name;
    for (int i = 0; i < count; ++i)
        name.append(high ? QChar(GetU16(s, pos + 2 + 2 * i)) : QChar(GetU8(s, pos + 2 + i)));
    return name;
}

// An XLUnicodeString inside one record (cell texts of LABEL and RSTRING).
QString ReadUnicodeString(const QByteArray &s, qint64 pos, qint64 end)
{
    const quint16 count = GetU16(s, pos);
    const bool high = GetU8(s, pos + 2) & 0x01;
    if (pos + 3 + qint64(count) * (high ? 2 : 1) > end)
        ThrowDamaged(QStringLiteral("单元格文本越界"));
    QString text;
    text.reserve(count);
    for (int i = 0; i < count; ++i)
        text.append(high ? QChar(GetU16(s, pos + 3 + 2 * i)) : QChar(GetU8(s, pos + 3 + i)));
    return text;
}

TGlobals ReadGlobals(const QByteArray &s)
{
    TGlobals g;
    if (s.size() < 8 || GetU16(s, 0) != kBof)
        throw TError(QStringLiteral("不是Excel 97-2003工作簿（.xls）文件"));
    if (GetU16(s, 2) < 8 || GetU16(s, 4) != 0x0600 || GetU16(s, 6) != 0x0005)
        throw TError(QStringLiteral("只支持Excel 97-2003格式（BIFF8）的工作簿"));
    g.recs = ReadSubstream(s, 0);
    g.end = g.recs.back().End();
    for (size_t i = 0; i < g.recs.size(); ++i) {
        const TRecord &r = g.recs[i];
        if (r.depth != 1)
            continue;
        switch (r.id) {
        case kFilePass:
            throw TError(QStringLiteral("工作簿受密码保护，无法写入"));
        case kBoundSheet:
            if (r.size < 8)
                ThrowDamaged(QStringLiteral("工作表记录过短"));
            g.sheets.push_back({i, GetU32(s, r.Data()), GetU8(s, r.Data() + 5),
                                ReadShortString(s, r.Data() + 6, r.End())});
            break;
        case kXf:
            if (r.size < 20)
                ThrowDamaged(QStringLiteral("单元格格式记录过短"));
            g.styleXf.push_back(GetU16(s, r.Data() + 4) & 0x04);
            g.xfRecords.push_back(i);
            break;
        case kSst:
            if (g.sstRecord >= 0)
                ThrowDamaged(QStringLiteral("共享字符串表重复"));
            g.sstRecord = int(i);
            while (i + 1 < g.recs.size() && g.recs[i + 1].id == kContinue) {
                ++i;
                ++g.sstContinues;
            }
            break;
        default:
            break;
        }
    }
    if (g.sstRecord >= 0) {
        std::vector<std::pair<qint64, qint64>> segs;
        for (int k = 0; k <= g.sstContinues; ++k) {
            const TRecord &r = g.recs[g.sstRecord + k];
            segs.push_back({r.Data(), r.size});
        }
        TSstReader rd(s, segs);
        g.totalRefs = rd.U32();
        const quint32 unique = rd.U32();
        for (quint32 k = 0; k < unique; ++k)
            g.strings.append(rd.String());
    }
    return g;
}

const TSheetRef &FindSheet(const TGlobals &g, const QString &name)
{
    for (const TSheetRef &ref : g.sheets)
        if (ref.type == 0 && ref.name.compare(name, Qt::CaseInsensitive) == 0)
            return ref;
    throw TError(QStringLiteral("工作簿中没有工作表“%1”").arg(name));
}

std::vector<TRecord> ReadWorksheet(const QByteArray &s, const TGlobals &g, const TSheetRef &ref)
{
    if (ref.offset < g.end || ref.offset >= s.size())
        ThrowDamaged(QStringLiteral("工作表位置无效"));
    std::vector<TRecord> recs = ReadSubstream(s, ref.offset);
    if (recs.front().size < 4 || GetU16(s, recs.front().Data()) != 0x0600 ||
        GetU16(s, recs.front().Data() + 2) != 0x0010)
        ThrowDamaged(QStringLiteral("“%1”不是BIFF8工作表").arg(ref.name));
    return recs;
}

// The text of a string cell, or a null text for other cells.
QString CellText(const QByteArray &s, const TRecord &r, const TGlobals &g)
{
    if (r.id == kLabelSst) {
        const quint32 index = GetU32(s, r.Data() + 6);
        if (index >= quint32(g.strings.size()))
            ThrowDamaged(QStringLiteral("共享字符串编号越界"));
        return g.strings[index].text;
    }
    if (r.id == kLabel || r.id == kRString)
        return ReadUnicodeString(s, r.Data() + 6, r.End());
    return QString();
}

} // namespace

TWorkbook TWorkbook::FromBytes(const QByteArray &file)
{
    TWorkbook book;
    book.m_file = TCompoundFile::Parse(file);
    if (!book.m_file.HasStream(QStringLiteral("Workbook"))) {
        if (book.m_file.HasStream(QStringLiteral("Book")))
            throw TError(QStringLiteral("只支持Excel 97-2003格式（BIFF8）的工作簿"));
        throw TError(QStringLiteral("不是Excel 97-2003工作簿（.xls）文件"));
    }
    book.m_stream = book.m_file.Stream(QStringLiteral("Workbook"));
    // Reading the globals checks the stream once, so a damaged one is refused up front.
    ReadGlobals(book.m_stream);
    return book;
}

TWorkbook TWorkbook::Load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法读取工作簿“%1”：%2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("无法读取工作簿“%1”：%2").arg(path, file.errorString()));
    try {
        return FromBytes(bytes);
    } catch (const TError &e) {
        throw TError(QStringLiteral("“%1”：%2").arg(path, e.message()));
    }
}

QStringList TWorkbook::HeaderRow(const QString &sheet) const
{
    const TGlobals g = ReadGlobals(m_stream);
    const std::vector<TRecord> recs = ReadWorksheet(m_stream, g, FindSheet(g, sheet));
    std::map<int, QString> first;   // column -> text of the lowest row seen so far
    int firstRow = kMaxRows;
    for (const TRecord &r : recs) {
        if (r.depth != 1 || (r.id != kLabelSst && r.id != kLabel && r.id != kRString))
            continue;
        const int row = GetU16(m_stream, r.Data());
        if (row > firstRow)
            continue;
        if (row < firstRow) {
            first.clear();
            firstRow = row;
        }
        first[GetU16(m_stream, r.Data() + 2)] = CellText(m_stream, r, g);
    }
    QStringList header;
    for (const auto &[col, text] : first) {
        while (header.size() < col)
            header.append(QString());
        header.append(text);
    }
    return header;
}

namespace {

// A number of an RK cell: a 30-bit integer or the top of a double, possibly times 100.
double RkValue(quint32 rk)
{
    double value = 0;
    if (rk & 2) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100.0 : value;
}

double NumberAt(const QByteArray &s, qint64 pos)
{
    const quint64 bits = quint64(GetU32(s, pos)) | quint64(GetU32(s, pos + 4)) << 32;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

QList<QPair<int, QStringList>> TWorkbook::FirstSheetRows(bool *date1904) const
{
    constexpr qint64 kMaxCells = 4000000;
    const TGlobals g = ReadGlobals(m_stream);
    if (date1904) {
        *date1904 = false;
        for (const TRecord &r : g.recs)
            if (r.depth == 1 && r.id == 0x0022 && r.size >= 2)
                *date1904 = GetU16(m_stream, r.Data()) != 0;
    }
    const auto sheet = std::find_if(g.sheets.begin(), g.sheets.end(), [](const TSheetRef &ref) { return ref.type == 0; });
    if (sheet == g.sheets.end())
        ThrowDamaged(QStringLiteral("工作簿中没有工作表"));
    const std::vector<TRecord> recs = ReadWorksheet(m_stream, g, *sheet);
    std::map<int, QStringList> rows;
    qint64 cells = 0;
    auto put = [&](int row, int col, const QString &text) {
        if (col >= kMaxColumns || text.isEmpty())
            return;
        QStringList &cellsOfRow = rows[row];
        cells += std::max<qsizetype>(0, col + 1 - cellsOfRow.size());
        if (cells > kMaxCells)
            throw TError(QStringLiteral("这个工作表太大（超过 %1 个单元格），无法读取").arg(kMaxCells));
        while (cellsOfRow.size() <= col)
            cellsOfRow.append(QString());
        cellsOfRow[col] = text;
    };
    const QByteArray &s = m_stream;
    for (const TRecord &r : recs) {
        if (r.depth != 1 || r.size < 6)
            continue;
        const int row = GetU16(s, r.Data());
        const int col = GetU16(s, r.Data() + 2);
        switch (r.id) {
        case kLabelSst:
        case kLabel:
        case kRString:
            put(row, col, CellText(s, r, g));
            break;
        case kNumber:
            if (r.size >= 14)
                put(row, col, NumberText(NumberAt(s, r.Data() + 6)));
            break;
        case kRk:
            if (r.size >= 10)
                put(row, col, NumberText(RkValue(GetU32(s, r.Data() + 6))));
            break;
        case kMulRk:
            // row, first column, then xf and value of each cell, then the last column.
            for (qint64 at = r.Data() + 4, c = col; at + 6 <= r.End() - 2; at += 6, ++c)
                put(row, int(c), NumberText(RkValue(GetU32(s, at + 2))));
            break;
        default:
            break;
        }
    }
    QList<QPair<int, QStringList>> out;
    for (auto &[row, texts] : rows)
        out.append({row + 1, std::move(texts)});
    return out;
}

void TWorkbook::AppendRows(const QString &sheet, const QList<QStringList> &rows)
{
    QList<QList<TCell>> cells;
    cells.reserve(rows.size());
    for (const QStringList &row : rows)
        cells.append(QList<TCell>(row.begin(), row.end()));
    AppendCells(sheet, cells);
}

void TWorkbook::AppendCells(const QString &sheet, const QList<QList<TCell>> &rows)
{
    if (rows.isEmpty())
        return;
    const QByteArray &s = m_stream;
    TGlobals g = ReadGlobals(s);
    const TSheetRef &target = FindSheet(g, sheet);
    const std::vector<TRecord> recs = ReadWorksheet(s, g, target);
    const qint64 sheetStart = target.offset;
    const qint64 sheetEnd = recs.back().End();
    if (g.styleXf.size() <= size_t(kDefaultCellXf))
        ThrowDamaged(QStringLiteral("单元格格式记录不足"));

    // Where the sheet's content ends and where new rows go.
    int lastRow = -1;
    int insertAfter = -1, dimensions = -1, beforeWindow = -1;
    quint16 rowHeight = 0x00FF;
    std::vector<int> colXf(kMaxColumns, kDefaultCellXf);
    for (int i = 0; i < int(recs.size()); ++i) {
        const TRecord &r = recs[i];
        if (r.depth != 1)
            continue;
        if (IsCellRecord(r.id))
            lastRow = std::max<int>(lastRow, GetU16(s, r.Data()));
        if (IsCellTableRecord(r.id))
            insertAfter = i;
        else if (r.id == kDimensions)
            dimensions = i;
        else if (r.id == kDefRowHeight && r.size >= 4 && (GetU16(s, r.Data() + 2) & 0x7FFF) != 0)
            rowHeight = GetU16(s, r.Data() + 2) & 0x7FFF;
        else if (r.id == kColInfo && r.size >= 8) {
            const quint16 xf = GetU16(s, r.Data() + 6);
            const bool cellXf = xf > kDefaultCellXf && xf < g.styleXf.size() && !g.styleXf[xf];
            for (int c = GetU16(s, r.Data()); c <= std::min<int>(GetU16(s, r.Data() + 2), kMaxColumns - 1); ++c)
                colXf[c] = cellXf ? xf : kDefaultCellXf;
        } else if ((r.id == kWindow2 || r.id == kEof) && beforeWindow < 0)
            beforeWindow = i - 1;
    }
    if (insertAfter < 0)
        insertAfter = dimensions >= 0 ? dimensions : beforeWindow;
    const int firstNew = lastRow + 1;
    if (qint64(firstNew) + rows.size() > kMaxRows)
        throw TError(QStringLiteral("工作表“%1”最多只能容纳 %2 行").arg(target.name).arg(kMaxRows));

    // Strings of the new cells, sharing entries of the table where the text is the same.
    QHash<QString, quint32> index;
    index.reserve(g.strings.size());
    for (qsizetype k = g.strings.size() - 1; k >= 0; --k)
        if (g.strings[k].runs.isEmpty() && g.strings[k].ext.isEmpty())
            index.insert(g.strings[k].text, quint32(k));
    // Number cells: the column's cell format with the number format set. Equal formats
    // already in the workbook (from an earlier export, say) are reused.
    QList<QByteArray> newXfs;
    std::map<std::pair<int, quint16>, quint16> numberXf;
    auto numberXfOf = [&](int baseXf, quint16 format) -> quint16 {
        const auto key = std::make_pair(baseXf, format);
        if (auto it = numberXf.find(key); it != numberXf.end())
            return it->second;
        const TRecord &base = g.recs[g.xfRecords[baseXf]];
        QByteArray xf = s.mid(base.Data(), base.size);
        PutU16(xf, 2, format);
        xf[9] = char(quint8(xf[9]) | 0x04);   // the number format is this cell's own
        int found = -1;
        for (size_t k = kDefaultCellXf; k < g.xfRecords.size() && found < 0; ++k) {
            const TRecord &r = g.recs[g.xfRecords[k]];
            if (!g.styleXf[k] && r.size == xf.size() && memcmp(s.constData() + r.Data(), xf.constData(), xf.size()) == 0)
                found = int(k);
        }
        for (qsizetype k = 0; k < newXfs.size() && found < 0; ++k)
            if (newXfs[k] == xf)
                found = int(g.xfRecords.size() + k);
        if (found < 0) {
            // Excel keeps at most 4,050 cell formats in a workbook.
            if (g.xfRecords.size() + newXfs.size() >= 4050)
                throw TError(QStringLiteral("工作簿中的单元格格式已达上限，无法再添加数字格式"));
            found = int(g.xfRecords.size() + newXfs.size());
            newXfs.append(xf);
        }
        numberXf[key] = quint16(found);
        return quint16(found);
    };
    int lastNew = -1, minCol = kMaxColumns, maxCol = -1;
    // The new records' buffers are sized once: a ROW record of 20 bytes per row and a
    // LABELSST record of 14 bytes or a NUMBER record of 18 bytes per cell.
    qsizetype cellCount = 0, widest = 0;
    for (const QList<TCell> &row : rows) {
        cellCount += row.size();
        widest = std::max(widest, row.size());
    }
    QByteArray added;   // ROW and LABELSST records of the new rows
    added.reserve(rows.size() * 20 + cellCount * 18);
    QByteArray cells;   // the cell records of one block of 32 rows
    cells.reserve(32 * widest * 18);
    g.strings.reserve(g.strings.size() + cellCount);
    for (qsizetype b = 0; b < rows.size(); b += 32) {
        const qsizetype blockEnd = std::min(rows.size(), b + 32);
        cells.resize(0);
        for (qsizetype k = b; k < blockEnd; ++k) {
            const QList<TCell> &row = rows[k];
            if (row.size() > kMaxColumns)
                throw TError(QStringLiteral("一行最多只能有 %1 列").arg(kMaxColumns));
            const int rw = firstNew + int(k);
            int first = -1, last = -1;
            for (int c = 0; c < row.size(); ++c) {
                if (row[c].isNumber) {
                    if (first < 0)
                        first = c;
                    last = c;
                    QByteArray number;
                    AddU16(number, quint16(rw));
                    AddU16(number, quint16(c));
                    AddU16(number, numberXfOf(colXf[c], row[c].format));
                    const double v = row[c].number;
                    quint64 bits;
                    memcpy(&bits, &v, sizeof bits);
                    AddU32(number, quint32(bits));
                    AddU32(number, quint32(bits >> 32));
                    AddRecord(cells, kNumber, number);
                    continue;
                }
                const QString &text = row[c].text;
                if (text.isNull())
                    continue;
                if (text.size() > 32767)
                    throw TError(QStringLiteral("单元格文本过长（超过 32767 个字符）"));
                if (first < 0)
                    first = c;
                last = c;
                auto it = index.constFind(text);
                quint32 isst;
                if (it != index.constEnd()) {
                    isst = *it;
                } else {
                    isst = quint32(g.strings.size());
                    g.strings.append({text, {}, {}});
                    index.insert(text, isst);
                }
                ++g.totalRefs;
                const quint16 cell[7] = {kLabelSst, 10, quint16(rw), quint16(c), quint16(colXf[c]),
                                         quint16(isst & 0xFFFF), quint16(isst >> 16)};
                AddU16s(cells, cell, 7);
            }
            if (first < 0)
                continue;
            const quint16 rowRecord[10] = {kRow, 16, quint16(rw), quint16(first), quint16(last + 1),
                                           rowHeight, 0, 0, 0x100, 0};
            AddU16s(added, rowRecord, 10);
            lastNew = rw;
            minCol = std::min(minCol, first);
            maxCol = std::max(maxCol, last);
        }
        added.append(cells);
    }

    // The new sheet: INDEX and DBCELL go (their offsets would all be stale), ROW records of
    // empty rows at or below the first new row move behind the new rows.
    QByteArray sheetOut;
    sheetOut.reserve(sheetEnd - sheetStart + added.size() + 64);
    // All ROW records lie at or before insertAfter, so every moved one is known there.
    std::vector<std::pair<int, QByteArray>> movedRows;
    for (int i = 0; i < int(recs.size()); ++i) {
        const TRecord &r = recs[i];
        bool keep = true;
        if (r.depth == 1) {
            if (r.id == kIndex || r.id == kDbCell) {
                keep = false;
            } else if (r.id == kRow && GetU16(s, r.Data()) >= firstNew) {
                keep = false;
                if (GetU16(s, r.Data()) > lastNew)
                    movedRows.push_back({GetU16(s, r.Data()), s.mid(r.pos, 4 + r.size)});
            } else if (r.id == kDimensions && r.size >= 14 && lastNew >= 0) {
                QByteArray d = s.mid(r.Data(), r.size);
                const bool wasEmpty = GetU32(d, 4) <= GetU32(d, 0) || GetU16(d, 10) <= GetU16(d, 8);
                PutU32(d, 0, wasEmpty ? quint32(firstNew) : std::min<quint32>(GetU32(d, 0), firstNew));
                PutU32(d, 4, wasEmpty ? quint32(lastNew + 1) : std::max<quint32>(GetU32(d, 4), lastNew + 1));
                PutU16(d, 8, wasEmpty ? quint16(minCol) : std::min<quint16>(GetU16(d, 8), minCol));
                PutU16(d, 10, wasEmpty ? quint16(maxCol + 1) : std::max<quint16>(GetU16(d, 10), maxCol + 1));
                AddRecord(sheetOut, r.id, d);
                keep = false;
            }
        }
        if (keep)
            sheetOut.append(s.constData() + r.pos, 4 + r.size);
        if (i == insertAfter) {
            sheetOut.append(added);
            std::stable_sort(movedRows.begin(), movedRows.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            for (const auto &entry : movedRows)
                sheetOut.append(entry.second);
        }
    }

    // New globals: the string table rebuilt, everything else as it was.
    const TSstRecords sst = BuildSst(g.strings, g.totalRefs);
    qsizetype sstBytes = 4 + 2 + 8 * sst.buckets.size();
    for (const QByteArray &record : sst.records)
        sstBytes += 4 + record.size();
    QByteArray globalsOut;
    globalsOut.reserve(g.end + sstBytes);
    qint64 sstPos = -1, extSstPos = -1;
    auto addSst = [&] {
        sstPos = globalsOut.size();
        for (int k = 0; k < sst.records.size(); ++k)
            AddRecord(globalsOut, k == 0 ? kSst : kContinue, sst.records[k]);
        extSstPos = globalsOut.size();
        AddRecord(globalsOut, kExtSst, QByteArray(2 + 8 * sst.buckets.size(), '\0'));
    };
    std::vector<qint64> boundSheetPos(g.recs.size(), -1);
    for (int i = 0; i < int(g.recs.size()); ++i) {
        const TRecord &r = g.recs[i];
        if (r.depth == 1 && r.id == kSst) {
            addSst();
            i += g.sstContinues;
            continue;
        }
        if (r.depth == 1 && r.id == kExtSst)
            continue;
        if (r.depth == 1 && r.id == kEof && sstPos < 0)
            addSst();
        if (r.depth == 1 && r.id == kBoundSheet)
            boundSheetPos[i] = globalsOut.size();
        globalsOut.append(s.constData() + r.pos, 4 + r.size);
        if (!newXfs.isEmpty() && size_t(i) == g.xfRecords.back())
            for (const QByteArray &xf : newXfs)
                AddRecord(globalsOut, kXf, xf);
    }
    const QByteArray extSst = BuildExtSst(sst, sstPos);
    memcpy(globalsOut.data() + extSstPos + 4, extSst.constData(), extSst.size());

    // Everything behind the globals moves; behind the changed sheet by its growth too.
    const qint64 shiftAll = globalsOut.size() - g.end;
    const qint64 growth = sheetOut.size() - (sheetEnd - sheetStart);
    auto moved = [&](qint64 pos) { return pos + shiftAll + (pos >= sheetEnd ? growth : 0); };
    QByteArray out;
    out.reserve(std::max<qint64>(s.size() + shiftAll + growth, kMinWorkbookStream));
    out.append(globalsOut);
    out.append(QByteArrayView(s).sliced(g.end, sheetStart - g.end));
    out.append(sheetOut);
    out.append(QByteArrayView(s).sliced(sheetEnd));
    for (const TSheetRef &ref : g.sheets) {
        PutU32(out, boundSheetPos[ref.record] + 4, quint32(moved(ref.offset)));
        if (ref.offset == sheetStart || ref.type != 0)
            continue;
        // Other worksheets keep their INDEX, whose positions are absolute.
        for (const TRecord &r : ReadWorksheet(s, g, ref)) {
            if (r.depth != 1 || r.id != kIndex || r.size < 16)
                continue;
            const qint64 at = moved(r.Data());
            for (qint64 field = 12; field + 4 <= r.size; field += 4)
                if (const quint32 v = GetU32(out, at + field); v != 0)
                    PutU32(out, at + field, quint32(moved(v)));
        }
    }
    if (out.size() < kMinWorkbookStream)
        out.append(QByteArray(kMinWorkbookStream - out.size(), '\0'));
    m_stream = out;
    m_file.SetStream(QStringLiteral("Workbook"), m_stream);
}

QByteArray TWorkbook::ToBytes() const
{
    return m_file.Serialize();
}

void TWorkbook::Save(const QString &path) const
{
    WriteFileReplacing(path, ToBytes());
}

} // namespace xls
