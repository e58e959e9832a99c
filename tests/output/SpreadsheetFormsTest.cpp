#include "output/XlrdReader.h"
#include "base/Errors.h"
#include "output/SheetExport.h"
#include "store/TextLimits.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QString Delivered(const char *name)
{
    return QStringLiteral(TALLYFERN_BIN_DIR "/") + QString::fromLatin1(name);
}

// Runs a python3 script on path and returns what it printed as JSON.
QJsonObject RunPython(const char *script, const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!python.waitForFinished(180000))
        return {{QStringLiteral("error"), QStringLiteral("python3 did not finish")}};
    const QByteArray out = python.readAllStandardOutput();
    const QJsonObject o = QJsonDocument::fromJson(out).object();
    if (o.isEmpty())
        return {{QStringLiteral("error"), QString::fromUtf8(python.readAllStandardError() + out)}};
    return o;
}

// Every cell of Sheet1 as openpyxl reads it: value, and the number format of numbers.
const char *const kOpenpyxl = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
ws = wb["Sheet1"]
rows = []
for row in ws.iter_rows():
    cells = []
    for c in row:
        if isinstance(c.value, (int, float)):
            cells.append({"n": c.value, "f": c.number_format})
        else:
            cells.append({"s": c.value})
    rows.append(cells)
sys.stdout.write(json.dumps({"sheets": wb.sheetnames, "rows": rows}, ensure_ascii=False))
)";

// The file as Python's own csv module reads it after decoding UTF-8 with its mark.
const char *const kCsv = R"(
import csv, io, json, sys
raw = open(sys.argv[1], "rb").read()
text = raw.decode("utf-8-sig")
rows = list(csv.reader(io.StringIO(text, newline="")))
sys.stdout.write(json.dumps({"bom": raw.startswith(b"\xef\xbb\xbf"), "rows": rows}, ensure_ascii=False))
)";

// Every cell of Sheet1 as openpyxl reads it, with its data type ("s" text, "n" number, "f"
// formula) and None for a cell that holds nothing. Texts are unescaped as Excel does
// ("_x000D_" is a carriage return), which openpyxl leaves to its caller.
const char *const kOpenpyxlTypes = R"(
import json, sys, openpyxl
from openpyxl.utils.escape import unescape
ws = openpyxl.load_workbook(sys.argv[1])["Sheet1"]
rows = [[[c.data_type, unescape(c.value) if isinstance(c.value, str) else c.value] for c in row]
        for row in ws.iter_rows()]
sys.stdout.write(json.dumps({"rows": rows}, ensure_ascii=False))
)";

struct TCellRead {
    bool number = false;
    double value = 0;
    QString text, format;
};

QList<QList<TCellRead>> Cells(const QJsonObject &o)
{
    QList<QList<TCellRead>> rows;
    for (const QJsonValue &r : o.value(QLatin1String("rows")).toArray()) {
        QList<TCellRead> row;
        for (const QJsonValue &c : r.toArray()) {
            const QJsonObject cell = c.toObject();
            TCellRead read;
            read.number = cell.contains(QLatin1String("n"));
            read.value = cell.value(QLatin1String("n")).toDouble();
            read.text = cell.value(QLatin1String("s")).toString();
            read.format = cell.value(QLatin1String("f")).toString();
            row.append(read);
        }
        rows.append(row);
    }
    return rows;
}

QList<QStringList> CsvRows(const QString &path, QJsonObject *error)
{
    const QJsonObject o = RunPython(kCsv, path);
    *error = o;
    QList<QStringList> rows;
    for (const QJsonValue &r : o.value(QLatin1String("rows")).toArray())
        rows << r.toVariant().toStringList();
    return rows;
}

TSheetRows ManyRecords(int count)
{
    QList<TRecord> records;
    records.reserve(count);
    TFen in = 0, out = 0;
    for (int i = 0; i < count; ++i) {
        const bool income = i % 5 == 0;
        const TFen amount = 1 + (i * 7919) % 100000;
        (income ? in : out) += amount;
        records.append({i + 1, QDate(2020, 1, 1).addDays(i / 40), income ? kTypeIn : kTypeOut,
                        QStringLiteral("项目%1").arg(i % 37), amount, i % 3 ? QString() : QStringLiteral("备注")});
    }
    return TransSheetRows(records, Header(in, out));
}

} // namespace

TEST(SheetNumbers, XlsAmountsAndSharesReadBackAsNumbersThatAddUpToTheTotals)
{
    QTemporaryDir dir;
    const QList<TRecord> records = {Rec(1, "2026-01-02", kTypeIn, "工资", 10000),
                                    Rec(2, "2026-01-03", kTypeOut, "奶粉", 25050, "两罐"),
                                    Rec(3, "2026-01-04", kTypeOut, "尿布", 1, "")};
    const QString trans = dir.filePath(QStringLiteral("trans.xls"));
    WriteSheetExport(Delivered("trans.xls"), trans, TransSheetRows(records, Header(10000, 25051)));
    const TXlrdBook t = ReadWithXlrd(trans);
    ASSERT_TRUE(t.opened) << t.error.toStdString();
    EXPECT_TRUE(t.CleanLog()) << t.log.toStdString();
    ASSERT_EQ(t.numbers.size(), 1 + 3 + 4);
    EXPECT_EQ(t.numbers[1][2], 100.0);
    EXPECT_EQ(t.numbers[2][3], 250.5);
    EXPECT_EQ(t.numbers[3][3], 0.01);
    // The other amount cell, dates, items and the totals rows stay texts.
    EXPECT_TRUE(std::isnan(t.numbers[1][3]) && std::isnan(t.numbers[1][0]) && std::isnan(t.numbers[5][1]));
    EXPECT_EQ(t.rows[3], (QStringList{"2026-01-04", "尿布", "", "0.01", ""}));
    double expense = 0;
    for (int r = 1; r <= 3; ++r)
        expense += std::isnan(t.numbers[r][3]) ? 0 : t.numbers[r][3];
    EXPECT_DOUBLE_EQ(expense, 250.51);

    const QString cates = dir.filePath(QStringLiteral("cates.xls"));
    WriteSheetExport(Delivered("cates.xls"), cates,
                     CatesSheetRows({Rank(kTypeIn, "工资", 1, 10000)},
                                    {Rank(kTypeOut, "奶粉", 3, 20000), Rank(kTypeOut, "怪", 1, 5050)},
                                    Header(10000, 25050)));
    const TXlrdBook c = ReadWithXlrd(cates);
    ASSERT_TRUE(c.opened) << c.error.toStdString();
    EXPECT_TRUE(c.CleanLog()) << c.log.toStdString();
    EXPECT_EQ(c.rows[2], (QStringList{"支出", "奶粉", "3", "", "200.00", "79.84%"}));
    EXPECT_DOUBLE_EQ(c.numbers[2][5], 20000.0 / 25050.0);
    EXPECT_DOUBLE_EQ(c.numbers[1][5] , 1.0);
    EXPECT_EQ(c.numbers[2][2], 3.0);   // the count is a number
}

TEST(SheetNumbers, AppendingNumbersToAForeignWorkbookKeepsItsRowsAndAddsOneFormatOnly)
{
    QTemporaryDir dir;
    const QString foreign = QStringLiteral(TALLYFERN_TEST_DATA "/foreign-trans-3000.xls");
    const QString once = dir.filePath(QStringLiteral("once.xls"));
    const QString twice = dir.filePath(QStringLiteral("twice.xls"));
    const QList<TRecord> records = {Rec(1, "2026-02-01", kTypeIn, "工资", 123456),
                                    Rec(2, "2026-02-02", kTypeOut, "奶粉", 5)};
    WriteSheetExport(foreign, once, TransSheetRows(records, Header(123456, 5)));
    WriteSheetExport(once, twice, TransSheetRows(records, Header(123456, 5)));
    const TXlrdBook before = ReadWithXlrd(foreign);
    const TXlrdBook after = ReadWithXlrd(twice);
    ASSERT_TRUE(after.opened) << after.error.toStdString();
    EXPECT_TRUE(after.CleanLog()) << after.log.toStdString();
    ASSERT_EQ(after.rows.size(), before.rows.size() + 2 * 6);
    EXPECT_EQ(after.rows.mid(0, before.rows.size()), before.rows);
    for (int base : {int(before.rows.size()), int(before.rows.size()) + 6}) {
        EXPECT_EQ(after.numbers[base][2], 1234.56);
        EXPECT_EQ(after.numbers[base + 1][3], 0.05);
        EXPECT_EQ(after.rows[base + 1][3], QStringLiteral("0.05"));
    }
    // The second export found the number format the first one added.
    QFile a(once), b(twice);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const auto xfCount = [](const QByteArray &bytes) { return bytes.count(QByteArray::fromHex("e0001400")); };
    EXPECT_EQ(xfCount(a.readAll()), xfCount(b.readAll()));
}

TEST(SheetNumbers, XlsxHoldsTheSameSheetWithNumbersForAReaderWrittenElsewhere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cates.xlsx"));
    QFile::copy(QStringLiteral(TALLYFERN_TEST_DATA "/foreign-trans-3000.xls"), path);   // replaced
    WriteXlsxExport(path, CatesSheetRows({Rank(kTypeIn, "工资 😀", 1, 10000)},
                                         {Rank(kTypeOut, "奶粉, \"大罐\"", 3, 20000), Rank(kTypeOut, "怪", 1, 5050)},
                                         Header(10000, 25050)));
    const QJsonObject o = RunPython(kOpenpyxl, path);
    ASSERT_FALSE(o.contains(QLatin1String("error"))) << o.value(QLatin1String("error")).toString().toStdString();
    EXPECT_EQ(o.value(QLatin1String("sheets")).toArray().size(), 1);
    const QList<QList<TCellRead>> rows = Cells(o);
    ASSERT_EQ(rows.size(), 1 + 3 + 4);
    QStringList captions;
    for (const TCellRead &c : rows[0])
        captions << c.text;
    EXPECT_EQ(captions, (QStringList{"类别", "项目", "数量", "收入", "支出", "比例"}));
    EXPECT_EQ(rows[1][1].text, QStringLiteral("工资 😀"));
    EXPECT_TRUE(rows[1][3].number);
    EXPECT_EQ(rows[1][3].value, 100.0);
    EXPECT_EQ(rows[1][3].format, QStringLiteral("0.00"));
    EXPECT_EQ(rows[2][1].text, QStringLiteral("奶粉, \"大罐\""));
    EXPECT_EQ(rows[2][4].value, 200.0);
    EXPECT_DOUBLE_EQ(rows[2][5].value, 20000.0 / 25050.0);
    EXPECT_EQ(rows[2][5].format, QStringLiteral("0.00%"));
    EXPECT_TRUE(rows[2][2].number);   // the count is a number, as in the .xls
    EXPECT_EQ(rows[2][2].value, 3.0);
    EXPECT_EQ(rows[4][1].text, QStringLiteral("宝贝 (2026-01-01 至 2026-01-31)"));
    EXPECT_EQ(rows[7][1].text, QStringLiteral("结余合计：-150.50"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"cates.xlsx"});   // no temporary left
}

TEST(SheetNumbers, XlsxTakesMoreRowsThanAnXlsSheetHolds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.xlsx"));
    const TSheetRows sheet = ManyRecords(70000);
    ASSERT_GT(sheet.rows.size(), SheetExportRowLimit());
    WriteXlsxExport(path, sheet);
    const QJsonObject o = RunPython(kOpenpyxl, path);
    ASSERT_FALSE(o.contains(QLatin1String("error"))) << o.value(QLatin1String("error")).toString().toStdString();
    const QList<QList<TCellRead>> rows = Cells(o);
    ASSERT_EQ(rows.size(), 1 + 70000 + 4);
    double in = 0;
    for (int r = 1; r <= 70000; ++r)
        if (rows[r][2].number)
            in += rows[r][2].value;
    EXPECT_EQ(QStringLiteral("收入合计：%1").arg(in, 0, 'f', 2), rows[70002][1].text);
    EXPECT_EQ(rows[70000][1].text, QStringLiteral("项目%1").arg(69999 % 37));

    // An .xls of the same rows is refused with the limit named, writing nothing.
    const QString xls = dir.filePath(QStringLiteral("big.xls"));
    try {
        WriteSheetExport(Delivered("trans.xls"), xls, sheet);
        ADD_FAILURE() << "no error";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("65536"))) << e.message().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(xls));
}

TEST(SheetNumbers, CsvIsUtf8WithItsMarkAndQuotesWhatNeedsQuoting)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trans.csv"));
    const QString awkward = QStringLiteral("买了 \"大罐\", 两罐\n第二行 😀");
    WriteCsvExport(path, TransSheetRows({Rec(1, "2026-01-02", kTypeIn, "工资,奖金", 10000),
                                         Rec(2, "2026-01-03", kTypeOut, "奶粉", 25050, awkward)},
                                        Header(10000, 25050)));
    const QJsonObject o = RunPython(kCsv, path);
    ASSERT_FALSE(o.contains(QLatin1String("error"))) << o.value(QLatin1String("error")).toString().toStdString();
    EXPECT_TRUE(o.value(QLatin1String("bom")).toBool());
    QList<QStringList> rows;
    for (const QJsonValue &r : o.value(QLatin1String("rows")).toArray())
        rows << r.toVariant().toStringList();
    EXPECT_EQ(rows, (QList<QStringList>{{"日期", "项目", "收入", "支出", "备注"},
                                        {"2026-01-02", "工资,奖金", "100.00", "", ""},
                                        {"2026-01-03", "奶粉", "", "250.50", awkward},
                                        {"", "宝贝 (2026-01-01 至 2026-01-31)", "", "", ""},
                                        {"", "收入合计：100.00", "", "", ""},
                                        {"", "支出合计：250.50", "", "", ""},
                                        {"", "结余合计：-150.50", "", "", ""}}));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("\r\n"));
}

// Notes from bills written by others may begin like a formula: a spreadsheet opening the CSV
// must see the text, not compute it, and the workbooks keep them as texts. Amounts stay
// numbers, and an amount under the other type is an empty cell in all three forms (so that
// "=C2+D2" adds up).
TEST(SheetNumbers, FormulaLikeNotesStayTextsAndEmptyAmountsStayEmptyInAllThreeForms)
{
    QTemporaryDir dir;
    const QStringList notes = {"=1+1", "=HYPERLINK(\"http://example.org\",\"点我\")", "+86 138", "-5",
                               "@SUM(A1)", "\tTab", "\rCR", "普通备注 =1"};
    QList<TRecord> records;
    for (int i = 0; i < notes.size(); ++i)
        records.append(Rec(i + 1, "2026-01-02", i % 2 ? kTypeIn : kTypeOut, "杂项", 100 + i, notes[i]));
    const TSheetRows sheet = TransSheetRows(records, Header(0, 0));

    const QString csv = dir.filePath(QStringLiteral("t.csv"));
    WriteCsvExport(csv, sheet);
    QJsonObject o;
    const QList<QStringList> rows = CsvRows(csv, &o);
    ASSERT_FALSE(o.contains(QLatin1String("error"))) << o.value(QLatin1String("error")).toString().toStdString();
    ASSERT_EQ(rows.size(), 1 + notes.size() + 4);
    for (int i = 0; i < notes.size(); ++i) {
        const QString expected = i == notes.size() - 1 ? notes[i] : QLatin1Char('\'') + notes[i];
        EXPECT_EQ(rows[i + 1][4], expected) << i;
        const QString amount = QStringLiteral("%1.%2").arg((100 + i) / 100).arg((100 + i) % 100, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(rows[i + 1][i % 2 ? 2 : 3], amount) << i;   // a plain number, no apostrophe
        EXPECT_EQ(rows[i + 1][i % 2 ? 3 : 2], QString()) << i;
    }

    const QString xlsx = dir.filePath(QStringLiteral("t.xlsx"));
    WriteXlsxExport(xlsx, sheet);
    o = RunPython(kOpenpyxlTypes, xlsx);
    ASSERT_FALSE(o.contains(QLatin1String("error"))) << o.value(QLatin1String("error")).toString().toStdString();
    const QJsonArray x = o.value(QLatin1String("rows")).toArray();
    ASSERT_EQ(x.size(), 1 + notes.size() + 4);
    for (int i = 0; i < notes.size(); ++i) {
        const QJsonArray row = x[i + 1].toArray();
        EXPECT_EQ(row[4].toArray()[0].toString(), QStringLiteral("s")) << i;
        EXPECT_EQ(row[4].toArray()[1].toString(), notes[i]) << i;
        EXPECT_EQ(row[i % 2 ? 2 : 3].toArray()[0].toString(), QStringLiteral("n")) << i;
        EXPECT_TRUE(row[i % 2 ? 3 : 2].toArray()[1].isNull()) << i;
    }

    const QString xls = dir.filePath(QStringLiteral("t.xls"));
    WriteSheetExport(Delivered("trans.xls"), xls, sheet);
    const TXlrdBook b = ReadWithXlrd(xls);
    ASSERT_TRUE(b.opened) << b.error.toStdString();
    for (int i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(b.rows[i + 1][4], notes[i]) << i;
        EXPECT_FALSE(std::isnan(b.numbers[i + 1][i % 2 ? 2 : 3])) << i;
        EXPECT_EQ(b.rows[i + 1][i % 2 ? 3 : 2], QString()) << i;
    }
}

// The store hands over a note it shortened at its limit (the limit and a mark); both
// workbooks take it at the most a cell holds, 32,767 characters, ending with the mark.
TEST(SheetNumbers, ANoteLongerThanACellHoldsIsShortenedToTheLimitAndExported)
{
    QTemporaryDir dir;
    const QString note = ShownText(QStringLiteral("长") + QString(40000, QLatin1Char('x')));
    ASSERT_EQ(note.size(), 32768);
    const TSheetRows sheet = TransSheetRows({Rec(1, "2026-01-02", kTypeOut, "杂项", 100, note)}, Header(0, 100));

    const QString xls = dir.filePath(QStringLiteral("long.xls"));
    WriteSheetExport(Delivered("trans.xls"), xls, sheet);
    const TXlrdBook b = ReadWithXlrd(xls);
    ASSERT_TRUE(b.opened) << b.error.toStdString();
    EXPECT_EQ(b.rows[1][4].size(), 32767);
    EXPECT_TRUE(b.rows[1][4].startsWith(QStringLiteral("长xxx")) && b.rows[1][4].endsWith(QChar(u'…')));

    const QString xlsx = dir.filePath(QStringLiteral("long.xlsx"));
    WriteXlsxExport(xlsx, sheet);
    const QList<QList<TCellRead>> rows = Cells(RunPython(kOpenpyxl, xlsx));
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[1][4].text.size(), 32767);
    EXPECT_TRUE(rows[1][4].text.endsWith(QChar(u'…')));
}
