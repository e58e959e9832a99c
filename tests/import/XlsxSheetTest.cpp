#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/XlsxSheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <minizip/zip.h>

#include <gtest/gtest.h>

namespace {

// A zip archive of the given entries, written by the same library the reader uses.
QByteArray Zip(const QList<QPair<QString, QByteArray>> &entries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.zip"));
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    EXPECT_NE(zip, nullptr);
    for (const auto &[name, data] : entries) {
        EXPECT_EQ(zipOpenNewFileInZip64(zip, name.toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0,
                                        nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0),
                  ZIP_OK);
        zipWriteInFileInZip(zip, data.constData(), unsigned(data.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kBook =
    R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
    R"(<sheet name="账单" sheetId="7" r:id="rId3"/><sheet name="other" sheetId="1" r:id="rId1"/></sheets></workbook>)";
const QByteArray kRels =
    R"(<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId3" Target="/xl/worksheets/bill.xml"/></Relationships>)";

} // namespace

TEST(XlsxSheet, FirstSheetByRelationshipWithInlineAndSharedTexts)
{
    const QByteArray sheet =
        R"(<worksheet><sheetData>)"
        R"(<row r="2"><c r="B2" t="inlineStr"><is><r><t>微信</t></r><r><t>账单</t></r></is></c></row>)"
        R"(<row r="5"><c r="A5" t="s"><v>1</v></c><c t="s"><v>0</v></c><c r="D5"><v>12.5</v></c>)"
        R"(<c r="AA5" t="str"><v>远</v></c></row>)"
        R"(</sheetData></worksheet>)";
    const QByteArray shared =
        R"(<sst><si><t>甲</t></si><si><r><t>乙</t></r><rPh><t>yi</t></rPh></si></sst>)";
    const QList<TSheetRow> rows = ReadFirstSheet(Zip({{"xl/workbook.xml", kBook},
                                                      {"xl/_rels/workbook.xml.rels", kRels},
                                                      {"xl/sharedStrings.xml", shared},
                                                      {"xl/worksheets/sheet1.xml", "<worksheet/>"},
                                                      {"xl/worksheets/bill.xml", sheet}}));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).number, 2);
    EXPECT_EQ(rows.at(0).cells, (QStringList{"", "微信账单"}));
    EXPECT_EQ(rows.at(1).number, 5);
    // A cell without a reference follows the one before it; gaps stay empty.
    ASSERT_EQ(rows.at(1).cells.size(), 27);
    EXPECT_EQ(rows.at(1).cells.mid(0, 4), (QStringList{"乙", "甲", "", "12.5"}));
    EXPECT_EQ(rows.at(1).cells.at(26), QStringLiteral("远"));
}

TEST(XlsxSheet, DamagedWorkbooksAreRefused)
{
    const QByteArray goodSheet = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData></worksheet>";
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"no workbook part", Zip({{"xl/worksheets/sheet1.xml", goodSheet}})},
        {"shared text out of range", Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/worksheets/sheet1.xml", goodSheet}})},
        {"broken XML", Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/worksheets/sheet1.xml", "<worksheet><row>"}})},
        {"missing sheet", Zip({{"xl/workbook.xml", kBook}, {"xl/_rels/workbook.xml.rels", kRels}})},
        {"not a zip", QByteArray("PK\x03\x04 and then nothing")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ReadFirstSheet(c.bytes);
            ADD_FAILURE() << "read";
        } catch (const TError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("XLSX 文件已损坏或不完整"))) << e.message().toStdString();
        }
    }
    // A readable workbook without the bill's header is no bill.
    EXPECT_THROW(ReadBill(Zip({{"xl/workbook.xml", "<workbook/>"},
                               {"xl/sharedStrings.xml", "<sst><si><t>x</t></si></sst>"},
                               {"xl/worksheets/sheet1.xml", goodSheet}})),
                 TError);
}

TEST(XlsxSheet, AmountsStoredAsBinaryNumbersAreTakenToTheFen)
{
    auto bill = [](const char *amount) {
        QByteArray sheet = "<worksheet><sheetData>"
                           "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>微信支付账单明细</t></is></c></row><row r=\"2\">";
        const char *header[] = {"交易时间", "交易对方", "收/支", "金额(元)", "当前状态"};
        for (const char *h : header)
            sheet += QByteArray("<c t=\"inlineStr\"><is><t>") + h + "</t></is></c>";
        sheet += QByteArray("</row><row r=\"3\"><c t=\"inlineStr\"><is><t>2026-11-04 12:30:00</t></is></c>"
                            "<c t=\"inlineStr\"><is><t>店</t></is></c><c t=\"inlineStr\"><is><t>支出</t></is></c>"
                            "<c><v>") + amount + "</v></c><c t=\"inlineStr\"><is><t>支付成功</t></is></c></row>"
                                                 "</sheetData></worksheet>";
        return ReadBill(Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/worksheets/sheet1.xml", sheet}}));
    };
    EXPECT_EQ(bill("12.300000000000001").rows.at(0).amountFen, 1230);
    EXPECT_EQ(bill("25").rows.at(0).amountFen, 2500);
    EXPECT_THROW(bill("1.234"), TError);
    EXPECT_THROW(bill("-3"), TError);
}

TEST(XlsxSheet, DateCellsInBothDateSystemsAndAnyZone)
{
    // 2024-03-31 23:30 is 45382.979166… days after 1899-12-30 and 1462 days fewer after 1904-01-01.
    auto dateOf = [](const char *workbook, const char *serial) {
        QByteArray sheet = "<worksheet><sheetData>"
                           "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>微信支付账单明细</t></is></c></row><row r=\"2\">";
        for (const char *h : {"交易时间", "交易对方", "收/支", "金额(元)", "当前状态"})
            sheet += QByteArray("<c t=\"inlineStr\"><is><t>") + h + "</t></is></c>";
        sheet += QByteArray("</row><row r=\"3\"><c><v>") + serial +
                 "</v></c><c t=\"inlineStr\"><is><t>店</t></is></c><c t=\"inlineStr\"><is><t>支出</t></is></c>"
                 "<c><v>5</v></c><c t=\"inlineStr\"><is><t>支付成功</t></is></c></row></sheetData></worksheet>";
        return ReadBill(Zip({{"xl/workbook.xml", workbook}, {"xl/worksheets/sheet1.xml", sheet}})).rows.at(0).time;
    };
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Europe/London");
    tzset();
    const QDateTime in1900 = dateOf("<workbook/>", "45382.979166666664");
    const QDateTime in1904 = dateOf("<workbook><workbookPr date1904=\"1\"/></workbook>", "43920.979166666664");
    qputenv("TZ", old);
    tzset();
    EXPECT_EQ(in1900.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QStringLiteral("2024-03-31 23:30"));
    EXPECT_EQ(in1904.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QStringLiteral("2024-03-31 23:30"));
}

TEST(XlsxSheet, SheetPathsRelativeToTheWorkbookFolder)
{
    const QByteArray book = R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
                            R"(<sheets><sheet r:id="rId1"/></sheets></workbook>)";
    const QByteArray sheet = R"(<worksheet><sheetData><row r="1"><c r="B1" t="str"><v>到了</v></c></row></sheetData></worksheet>)";
    auto rels = [](const char *target) {
        return QByteArray(R"(<Relationships><Relationship Id="rId1" Target=")") + target + R"("/></Relationships>)";
    };
    const QList<TSheetRow> rows = ReadFirstSheet(Zip({{"xl/workbook.xml", book},
                                                      {"xl/_rels/workbook.xml.rels", rels("../xl/worksheets/s.xml")},
                                                      {"xl/worksheets/s.xml", sheet}}));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).cells.value(1), QStringLiteral("到了"));
    // A path that climbs out of the package is refused.
    EXPECT_THROW(ReadFirstSheet(Zip({{"xl/workbook.xml", book},
                                     {"xl/_rels/workbook.xml.rels", rels("../../s.xml")},
                                     {"xl/worksheets/s.xml", sheet}})),
                 TError);
}

TEST(XlsxSheet, WhatTheReaderBuildsIsBounded)
{
    // A few kilobytes of zip that name the 256th column in every row, or repeat one long
    // shared text in every cell, would once have built gigabytes.
    QByteArray far = "<worksheet><sheetData>";
    for (int r = 1; r <= 20000; ++r)
        far += "<row><c r=\"IV" + QByteArray::number(r) + "\"><v>1</v></c></row>";
    far += "</sheetData></worksheet>";
    QByteArray repeated = "<worksheet><sheetData>";
    for (int r = 1; r <= 20000; ++r)
        repeated += "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>0</v></c></row>";
    repeated += "</sheetData></worksheet>";
    const QByteArray longShared = "<sst><si><t>" + QByteArray(2000, 'x') + "</t></si></sst>";
    for (const QByteArray &bytes : {Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/worksheets/sheet1.xml", far}}),
                                    Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/sharedStrings.xml", longShared},
                                         {"xl/worksheets/sheet1.xml", repeated}})}) {
        try {
            ReadFirstSheet(bytes);
            ADD_FAILURE() << "read";
        } catch (const TError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("这个工作表太大"))) << e.message().toStdString();
        }
    }
}
