#include "output/XlrdReader.h"
#include "base/Errors.h"
#include "output/xls/Biff.h"
#include "output/xls/Bytes.h"
#include "output/xls/Cfb.h"
#include "base/AtomicFile.h"
#include "output/xls/Workbook.h"
#include "output/xls/XlsTemplate.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace xls;

namespace {

const QList<TTemplateColumn> kTransColumns = {{QStringLiteral("日期"), 12, false},
                                              {QStringLiteral("项目"), 30, false},
                                              {QStringLiteral("收入"), 12, true},
                                              {QStringLiteral("支出"), 12, true},
                                              {QStringLiteral("备注"), 40, false}};

QString FixturePath()
{
    return QStringLiteral(TALLYFERN_TEST_DATA "/foreign-trans-3000.xls");
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// Writes bytes into dir and reads the file back with xlrd.
TXlrdBook SaveAndRead(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes,
                      const QString &sheet = QStringLiteral("Sheet1"))
{
    const QString path = dir.filePath(name);
    WriteFileReplacing(path, bytes);
    return ReadWithXlrd(path, sheet);
}

struct TRec {
    quint16 id;
    qint64 pos;
};

// The records of the substream starting at start, to its EOF.
std::vector<TRec> Records(const QByteArray &s, qint64 start)
{
    std::vector<TRec> recs;
    for (qint64 pos = start; pos + 4 <= s.size();) {
        const quint16 id = GetU16(s, pos);
        recs.push_back({id, pos});
        pos += 4 + GetU16(s, pos + 2);
        if (id == kEof)
            break;
    }
    return recs;
}

// Absolute position of each sheet's BOF as its BOUNDSHEET says.
std::vector<qint64> SheetOffsets(const QByteArray &s)
{
    std::vector<qint64> out;
    for (const TRec &r : Records(s, 0))
        if (r.id == kBoundSheet)
            out.push_back(GetU32(s, r.pos + 4));
    return out;
}

QByteArray U16s(std::initializer_list<quint16> values)
{
    QByteArray d;
    for (quint16 v : values)
        AddU16(d, v);
    return d;
}

// A workbook laid out the way Excel saves one: two worksheets, each with an INDEX and a
// DBCELL after every block of 32 rows. Sheet1 holds a caption row and `rows1` rows of
// inline LABEL cells; Sheet2 holds `rows2` rows of two LABELSST cells ("s2-<row>").
QByteArray ExcelStyleStream(int rows1, int rows2)
{
    QByteArray g;
    QByteArray bof = U16s({0x0600, 0x0005, 0x0DBB, 0x07CC});
    AddU32(bof, 0);
    AddU32(bof, 6);
    AddRecord(g, kBof, bof);
    AddRecord(g, kCodePage, U16s({1200}));
    AddRecord(g, kWindow1, U16s({0, 0, 0x4000, 0x2000, 0x38, 0, 0, 1, 600}));
    for (int i = 0; i < 4; ++i) {
        QByteArray font = U16s({200, 0, 0x7FFF, 400, 0});
        font.append(QByteArray::fromHex("00000000"));
        font.append(ShortUnicodeString(QStringLiteral("Arial")));
        AddRecord(g, kFont, font);
    }
    for (int i = 0; i < 16; ++i) {
        QByteArray xf = U16s({0, 0, quint16(i < 15 ? 0xFFF5 : 0x0001)});
        xf.append(char(0x20));
        xf.append(char(0));
        xf.append(char(0));
        xf.append(char(i < 15 ? 0xF4 : 0xF8));
        AddU32(xf, 0);
        AddU32(xf, 0);
        AddU16(xf, 0x20C0);
        AddRecord(g, kXf, xf);
    }
    AddRecord(g, kStyle, QByteArray::fromHex("008000FF"));
    const qint64 bound1 = g.size();
    for (const char *name : {"Sheet1", "Sheet2"}) {
        QByteArray d;
        AddU32(d, 0);
        AddU16(d, 0);
        d.append(ShortUnicodeString(QString::fromLatin1(name)));
        AddRecord(g, kBoundSheet, d);
    }
    const qint64 bound2 = bound1 + 4 + 14;
    QList<TSstString> strings;
    for (int r = 0; r < rows2; ++r)
        strings.append({QStringLiteral("s2-%1").arg(r), {}, {}});
    const TSstRecords sst = BuildSst(strings, quint32(2 * rows2));
    for (int k = 0; k < sst.records.size(); ++k)
        AddRecord(g, k == 0 ? kSst : kContinue, sst.records[k]);
    AddRecord(g, kEof, {});

    auto sheet = [](qint64 start, int rows, bool inlineText) {
        QByteArray s;
        QByteArray bof = U16s({0x0600, 0x0010, 0x0DBB, 0x07CC});
        AddU32(bof, 0);
        AddU32(bof, 6);
        AddRecord(s, kBof, bof);
        const int blocks = (rows + 31) / 32;
        const qint64 indexPos = s.size();
        AddRecord(s, kIndex, QByteArray(16 + 4 * blocks, '\0'));
        PutU32(s, indexPos + 4 + 8, quint32(rows));
        PutU32(s, indexPos + 4 + 12, quint32(start + s.size()));
        AddRecord(s, kDefColWidth, U16s({8}));
        QByteArray dim;
        AddU32(dim, 0);
        AddU32(dim, quint32(rows));
        AddU16(dim, 0);
        AddU16(dim, 2);
        AddU16(dim, 0);
        AddRecord(s, kDimensions, dim);
        for (int b = 0; b < blocks; ++b) {
            const qint64 firstRow = s.size();
            for (int r = b * 32; r < std::min(rows, b * 32 + 32); ++r) {
                QByteArray row = U16s({quint16(r), 0, 2, 255, 0, 0});
                AddU32(row, 0x100);
                AddRecord(s, kRow, row);
            }
            for (int r = b * 32; r < std::min(rows, b * 32 + 32); ++r) {
                for (quint16 c = 0; c < 2; ++c) {
                    QByteArray cell = U16s({quint16(r), c, 15});
                    if (inlineText) {
                        cell.append(UnicodeString(r == 0 ? (c == 0 ? QStringLiteral("日期") : QStringLiteral("项目"))
                                                         : QStringLiteral("行%1列%2").arg(r).arg(c)));
                        AddRecord(s, kLabel, cell);
                    } else {
                        AddU32(cell, quint32(r));
                        AddRecord(s, kLabelSst, cell);
                    }
                }
            }
            PutU32(s, indexPos + 4 + 16 + 4 * b, quint32(start + s.size()));
            QByteArray db;
            AddU32(db, quint32(s.size() - firstRow));
            AddRecord(s, kDbCell, db);
        }
        AddRecord(s, kWindow2, QByteArray::fromHex("B60600000000400000000000000000000000"));
        AddRecord(s, kEof, {});
        return s;
    };
    const QByteArray s1 = sheet(g.size(), rows1 + 1, true);
    const QByteArray s2 = sheet(g.size() + s1.size(), rows2, false);
    PutU32(g, bound1 + 4, quint32(g.size()));
    PutU32(g, bound2 + 4, quint32(g.size() + s1.size()));
    return g + s1 + s2;
}

QList<QStringList> NumberedRows(int from, int count)
{
    QList<QStringList> rows;
    for (int i = from; i < from + count; ++i)
        rows.append({QStringLiteral("2026-02-%1").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                     QStringLiteral("新项目%1").arg(i), QStringLiteral("%1.00").arg(i), QStringLiteral(" "),
                     QStringLiteral("备注%1").arg(i)});
    return rows;
}

} // namespace

TEST(XlsWorkbook, GivenTheTemplateWhenRowsAreAppendedThenXlrdReadsEveryTextExactly)
{
    QTemporaryDir dir;
    const QByteArray templ = BuildTemplateWorkbook(QStringLiteral("Sheet1"), kTransColumns);
    TWorkbook book = TWorkbook::FromBytes(templ);
    EXPECT_EQ(book.HeaderRow(QStringLiteral("sheet1")),
              (QStringList{"日期", "项目", "收入", "支出", "备注"}));

    // Characters outside GBK, quotes and markup reach their cells unchanged; a null text
    // leaves the cell out, an empty or blank text is still written.
    const QList<QStringList> rows = {
        {"2026-01-01", "宝宝奶粉钱 😀", "12.50", " ", "it's \"quoted\" <b>&"},
        {"2026-01-02", "𠀀𪚥 鿰", " ", "3.00", QString()},
        {QString(), "only the item", QString(), QString(), QString()},
        {"2026-01-03", "", "  two  ", "x", "'; drop table data; --"},
    };
    book.AppendRows(QStringLiteral("Sheet1"), rows);
    const TXlrdBook read = SaveAndRead(dir, QStringLiteral("a.xls"), book.ToBytes());
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_TRUE(read.CleanLog()) << read.log.toStdString();
    EXPECT_EQ(read.biffVersion, 80);
    EXPECT_EQ(read.codepage, 1200);
    ASSERT_EQ(read.rows.size(), 5);
    EXPECT_EQ(read.rows[0], (QStringList{"日期", "项目", "收入", "支出", "备注"}));
    EXPECT_EQ(read.rows[1], (QStringList{"2026-01-01", "宝宝奶粉钱 😀", "12.50", " ", "it's \"quoted\" <b>&"}));
    EXPECT_EQ(read.rows[2], (QStringList{"2026-01-02", "𠀀𪚥 鿰", " ", "3.00", ""}));
    EXPECT_EQ(read.rows[3], (QStringList{"", "only the item", "", "", ""}));
    EXPECT_EQ(read.rows[4], (QStringList{"2026-01-03", "", "  two  ", "x", "'; drop table data; --"}));
}

TEST(XlsWorkbook, GivenAWorkbookStreamInTheMiniStreamWhenAppendingTwiceThenRowsFollowEachOther)
{
    QTemporaryDir dir;
    // A Workbook stream under 4096 bytes lives in the container's mini stream.
    QByteArray stream = BuildTemplateStream(QStringLiteral("Sheet1"), kTransColumns);
    stream.truncate(Records(stream, SheetOffsets(stream).front()).back().pos + 4);
    ASSERT_LT(stream.size(), 4096);
    const QByteArray small = TCompoundFile::WithStream(QStringLiteral("Workbook"), stream).Serialize();
    const TXlrdBook before = SaveAndRead(dir, QStringLiteral("small.xls"), small);
    ASSERT_TRUE(before.opened) << before.error.toStdString();
    EXPECT_TRUE(before.CleanLog()) << before.log.toStdString();

    TWorkbook book = TWorkbook::FromBytes(small);
    book.AppendRows(QStringLiteral("Sheet1"), NumberedRows(0, 3));
    const QByteArray once = book.ToBytes();
    EXPECT_GE(TWorkbook::FromBytes(once).WorkbookStream().size(), 4096);

    // The second append reads what the first wrote, now a regular stream above 4096 bytes.
    TWorkbook again = TWorkbook::FromBytes(once);
    again.AppendRows(QStringLiteral("Sheet1"), NumberedRows(3, 200));
    EXPECT_GT(again.WorkbookStream().size(), 4096);
    const TXlrdBook read = SaveAndRead(dir, QStringLiteral("twice.xls"), again.ToBytes());
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_TRUE(read.CleanLog()) << read.log.toStdString();
    ASSERT_EQ(read.rows.size(), 1 + 203);
    const QList<QStringList> expected = NumberedRows(0, 203);
    for (int i = 0; i < 203; ++i)
        EXPECT_EQ(read.rows[1 + i], expected[i]) << i;
}

TEST(XlsWorkbook, GivenStringsBeyondOneRecordWhenWrittenAndReadBackThenNothingIsSplitWrongly)
{
    QTemporaryDir dir;
    // A string table far over 8224 bytes: many short strings, a long Chinese one, a long
    // run of surrogate pairs that must not be cut in half, and a long Latin-1 one (stored
    // one byte a character) between them, so the encoding switches at record boundaries.
    QList<QStringList> rows;
    for (int i = 0; i < 1500; ++i)
        rows.append({QStringLiteral("第%1条 宝宝奶粉钱").arg(i)});
    rows.append({QString(5000, QChar(0x94B1))});
    rows.append({QString(9001, QLatin1Char('a'))});
    QString emoji;
    for (int i = 0; i < 4500; ++i)
        emoji += QStringLiteral("😀");
    rows.append({emoji});
    rows.append({QStringLiteral("é") + QString(8300, QLatin1Char('z'))});

    TWorkbook book = TWorkbook::FromBytes(
        BuildTemplateWorkbook(QStringLiteral("Sheet1"), {{QStringLiteral("项目"), 30, false}}));
    book.AppendRows(QStringLiteral("Sheet1"), rows);
    // Read our own split table back and append once more: every earlier string survives.
    TWorkbook again = TWorkbook::FromBytes(book.ToBytes());
    again.AppendRows(QStringLiteral("Sheet1"), {{QStringLiteral("最后")}});
    const TXlrdBook read = SaveAndRead(dir, QStringLiteral("sst.xls"), again.ToBytes());
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_TRUE(read.CleanLog()) << read.log.toStdString();
    ASSERT_EQ(read.rows.size(), 1 + rows.size() + 1);
    for (int i = 0; i < rows.size(); ++i)
        ASSERT_EQ(read.rows[1 + i].front(), rows[i].front()) << i;
    EXPECT_EQ(read.rows.back().front(), QStringLiteral("最后"));
}

TEST(XlsWorkbook, GivenAWorkbookSavedByAnotherProgramWhenAppendingThenEveryEarlierRowIsKept)
{
    QTemporaryDir dir;
    const TXlrdBook original = ReadWithXlrd(FixturePath());
    ASSERT_TRUE(original.opened) << original.error.toStdString();
    ASSERT_EQ(original.rows.size(), 3001);

    const QByteArray bytes = ReadAll(FixturePath());
    TWorkbook book = TWorkbook::FromBytes(bytes);
    EXPECT_EQ(book.HeaderRow(QStringLiteral("Sheet1")), (QStringList{"日期", "项目", "收入", "支出", "备注"}));
    const QList<QStringList> added = NumberedRows(0, 40);
    book.AppendRows(QStringLiteral("Sheet1"), added);
    const QByteArray out = book.ToBytes();

    const TXlrdBook read = SaveAndRead(dir, QStringLiteral("foreign.xls"), out);
    ASSERT_TRUE(read.opened) << read.error.toStdString();
    EXPECT_TRUE(read.CleanLog()) << read.log.toStdString();
    ASSERT_EQ(read.rows.size(), 3001 + 40);
    for (int r = 0; r < 3001; ++r)
        ASSERT_EQ(read.rows[r], original.rows[r]) << r;
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(read.rows[3001 + i], added[i]) << i;

    // The container's other streams come through byte for byte.
    const TCompoundFile before = TCompoundFile::Parse(bytes);
    const TCompoundFile after = TCompoundFile::Parse(out);
    EXPECT_EQ(after.StreamNames().size(), 5);
    for (const QString &name : before.StreamNames()) {
        ASSERT_TRUE(after.HasStream(name)) << name.toStdString();
        if (name != QLatin1String("Workbook")) {
            EXPECT_EQ(after.Stream(name), before.Stream(name)) << name.toStdString();
        }
    }
}

TEST(XlsWorkbook, GivenIndexAndDbCellRecordsWhenAppendingThenTheOtherSheetsPositionsStayRight)
{
    QTemporaryDir dir;
    const QByteArray stream = ExcelStyleStream(70, 50);
    TWorkbook book = TWorkbook::FromBytes(TCompoundFile::WithStream(QStringLiteral("Workbook"), stream).Serialize());
    EXPECT_EQ(book.HeaderRow(QStringLiteral("Sheet1")), (QStringList{"日期", "项目"}));
    book.AppendRows(QStringLiteral("Sheet1"), {{"新", "行"}, {QString(), "末行"}});
    const QByteArray out = book.WorkbookStream();

    // Sheet1 lost its INDEX and DBCELLs; Sheet2 moved, and its INDEX moved with it.
    const std::vector<qint64> sheets = SheetOffsets(out);
    ASSERT_EQ(sheets.size(), 2u);
    for (const TRec &r : Records(out, sheets[0]))
        EXPECT_TRUE(r.id != kIndex && r.id != kDbCell);
    const std::vector<TRec> sheet2 = Records(out, sheets[1]);
    ASSERT_EQ(sheet2.front().id, kBof);
    ASSERT_EQ(sheet2[1].id, kIndex);
    const qint64 index = sheet2[1].pos + 4;
    EXPECT_EQ(GetU16(out, GetU32(out, index + 12)), kDefColWidth);
    for (int b = 0; b < 2; ++b)
        EXPECT_EQ(GetU16(out, GetU32(out, index + 16 + 4 * b)), kDbCell) << b;

    const QByteArray file = TCompoundFile::WithStream(QStringLiteral("Workbook"), out).Serialize();
    const TXlrdBook one = SaveAndRead(dir, QStringLiteral("excel.xls"), file);
    ASSERT_TRUE(one.opened) << one.error.toStdString();
    EXPECT_TRUE(one.CleanLog()) << one.log.toStdString();
    EXPECT_EQ(one.sheetNames, (QStringList{"Sheet1", "Sheet2"}));
    ASSERT_EQ(one.rows.size(), 71 + 2);
    EXPECT_EQ(one.rows[70], (QStringList{"行70列0", "行70列1"}));
    EXPECT_EQ(one.rows[71], (QStringList{"新", "行"}));
    EXPECT_EQ(one.rows[72], (QStringList{"", "末行"}));
    const TXlrdBook two = ReadWithXlrd(dir.filePath(QStringLiteral("excel.xls")), QStringLiteral("Sheet2"));
    ASSERT_EQ(two.rows.size(), 50);
    EXPECT_EQ(two.rows[49].front(), QStringLiteral("s2-49"));
}

TEST(XlsWorkbook, GivenFilesThatCannotTakeRowsThenAReadableErrorIsRaised)
{
    auto message = [](const QByteArray &bytes) {
        try {
            TWorkbook book = TWorkbook::FromBytes(bytes);
            book.AppendRows(QStringLiteral("Sheet1"), {{"x"}});
        } catch (const TError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(message("<html>not a workbook</html>").contains(QStringLiteral("不是Excel 97-2003工作簿")));
    EXPECT_TRUE(message(QByteArray()).contains(QStringLiteral("不是Excel 97-2003工作簿")));

    const QByteArray stream = BuildTemplateStream(QStringLiteral("Data"), kTransColumns);
    EXPECT_TRUE(message(TCompoundFile::WithStream(QStringLiteral("Workbook"), stream).Serialize())
                    .contains(QStringLiteral("没有工作表“Sheet1”")));
    EXPECT_TRUE(message(TCompoundFile::WithStream(QStringLiteral("Book"), stream).Serialize())
                    .contains(QStringLiteral("BIFF8")));

    // An encrypted workbook has FILEPASS right after the globals' BOF.
    QByteArray encrypted = BuildTemplateStream(QStringLiteral("Sheet1"), kTransColumns);
    const qint64 afterBof = 4 + 16;
    QByteArray filePass;
    AddRecord(filePass, kFilePass, QByteArray(6, '\0'));
    encrypted.insert(afterBof, filePass);
    EXPECT_TRUE(message(TCompoundFile::WithStream(QStringLiteral("Workbook"), encrypted).Serialize())
                    .contains(QStringLiteral("密码")));

    // A cut-off file is refused, not half read.
    const QByteArray fixture = ReadAll(FixturePath());
    for (qint64 size : {qint64(600), fixture.size() / 2, fixture.size() - 1536})
        EXPECT_FALSE(message(fixture.left(size)).isEmpty()) << size;
}

TEST(XlsWorkbook, GivenDamagedBytesAnywhereThenAppendingEndsInAnErrorOrAWorkbookNeverACrash)
{
    TWorkbook seed = TWorkbook::FromBytes(BuildTemplateWorkbook(QStringLiteral("Sheet1"), kTransColumns));
    seed.AppendRows(QStringLiteral("Sheet1"), NumberedRows(0, 60));
    const QByteArray good = seed.ToBytes();
    QRandomGenerator random(20260101);
    int refused = 0, accepted = 0;
    for (int run = 0; run < 400; ++run) {
        QByteArray bytes = good;
        const int flips = 1 + int(random.bounded(8));
        for (int k = 0; k < flips; ++k) {
            const qint64 at = random.bounded(bytes.size());
            bytes[at] = char(random.bounded(4) == 0 ? 0xFF : random.bounded(256));
        }
        try {
            TWorkbook book = TWorkbook::FromBytes(bytes);
            book.HeaderRow(QStringLiteral("Sheet1"));
            book.AppendRows(QStringLiteral("Sheet1"), NumberedRows(0, 3));
            TCompoundFile::Parse(book.ToBytes());
            ++accepted;
        } catch (const TError &) {
            ++refused;
        }
    }
    EXPECT_EQ(refused + accepted, 400);
    EXPECT_GT(refused, 0);

    // The foreign workbook's header, FAT and directory (its last sectors) damaged.
    const QByteArray fixture = ReadAll(FixturePath());
    for (int run = 0; run < 40; ++run) {
        QByteArray bytes = fixture;
        for (int k = 0; k < 4; ++k) {
            const qint64 at = run % 2 ? random.bounded(512) : bytes.size() - 1 - random.bounded(2048);
            bytes[at] = char(random.bounded(256));
        }
        try {
            TWorkbook book = TWorkbook::FromBytes(bytes);
            book.AppendRows(QStringLiteral("Sheet1"), NumberedRows(0, 1));
        } catch (const TError &) {
        }
    }
}
