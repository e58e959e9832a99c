#include "output/xls/XlsTemplate.h"
#include "output/xls/Biff.h"
#include "output/xls/Bytes.h"
#include "output/xls/Cfb.h"
#include "output/xls/Workbook.h"

namespace xls {

namespace {

constexpr quint16 kHeaderXf = 16;
constexpr quint16 kRightXf = 17;

QByteArray Font(quint16 height, quint16 weight, const QString &name)
{
    QByteArray d;
    AddU16(d, height);
    AddU16(d, 0);          // flags
    AddU16(d, 0x7FFF);     // automatic colour
    AddU16(d, weight);
    AddU16(d, 0);          // escapement
    AddU8(d, 0);           // underline
    AddU8(d, 0);           // family
    AddU8(d, 0x86);        // GB2312 character set
    AddU8(d, 0);
    d.append(ShortUnicodeString(name));
    return d;
}

QByteArray Xf(quint16 font, bool style, quint8 align, quint8 used, quint32 border1, quint32 border2,
              quint16 colours)
{
    QByteArray d;
    AddU16(d, font);
    AddU16(d, 0);                                  // General number format
    AddU16(d, style ? 0xFFF5 : 0x0001);            // locked; style XFs have no parent
    AddU8(d, align);
    AddU8(d, 0);
    AddU8(d, 0);
    AddU8(d, used);
    AddU32(d, border1);
    AddU32(d, border2);
    AddU16(d, colours);
    return d;
}

QByteArray Bof(quint16 type)
{
    QByteArray d;
    AddU16(d, 0x0600);
    AddU16(d, type);
    AddU16(d, 0x0DBB);     // build
    AddU16(d, 0x07CC);     // year
    AddU32(d, 0);
    AddU32(d, 6);
    return d;
}

QByteArray U16Data(quint16 v)
{
    QByteArray d;
    AddU16(d, v);
    return d;
}

} // namespace

QByteArray BuildTemplateStream(const QString &sheetName, const QList<TTemplateColumn> &columns)
{
    const QString font = QStringLiteral("宋体");
    QByteArray g;
    AddRecord(g, kBof, Bof(0x0005));
    AddRecord(g, kCodePage, U16Data(1200));
    {
        QByteArray d;
        for (quint16 v : {quint16(0x0168), quint16(0x001E), quint16(0x4A38), quint16(0x2D00),
                          quint16(0x0038), quint16(0), quint16(0), quint16(1), quint16(600)})
            AddU16(d, v);
        AddRecord(g, kWindow1, d);
    }
    AddRecord(g, 0x0022, U16Data(0));   // DATEMODE: 1900 date system
    AddRecord(g, 0x000E, U16Data(1));   // PRECISION: as displayed
    // Fonts 0 to 3 and 5 (there is no font 4): the plain font, and a bold one for captions.
    for (int i = 0; i < 4; ++i)
        AddRecord(g, kFont, Font(220, 400, font));
    AddRecord(g, kFont, Font(220, 700, font));
    for (int i = 0; i < 15; ++i)
        AddRecord(g, kXf, Xf(0, true, 0x20, 0xF4, 0, 0, 0x20C0));
    AddRecord(g, kXf, Xf(0, false, 0x20, 0xF8, 0, 0, 0x20C0));   // 15: default cell
    // 16: caption cell, bold and centred on a solid silver band with a thin rule below.
    AddRecord(g, kXf, Xf(5, false, 0x22, 0xF8, 0x00001000, 0x04000400, quint16(22 | 0x41 << 7)));
    AddRecord(g, kXf, Xf(0, false, 0x23, 0xF8, 0, 0, 0x20C0));   // 17: right-aligned cell
    AddRecord(g, kStyle, QByteArray::fromHex("008000FF"));
    const qint64 boundSheet = g.size();
    {
        QByteArray d;
        AddU32(d, 0);   // position of the sheet, filled in below
        AddU8(d, 0);
        AddU8(d, 0);
        d.append(ShortUnicodeString(sheetName));
        AddRecord(g, kBoundSheet, d);
    }
    QList<TSstString> strings;
    for (const TTemplateColumn &c : columns)
        strings.append({c.caption, {}, {}});
    const TSstRecords sst = BuildSst(strings, quint32(strings.size()));
    const qint64 sstPos = g.size();
    for (int k = 0; k < sst.records.size(); ++k)
        AddRecord(g, k == 0 ? kSst : kContinue, sst.records[k]);
    AddRecord(g, kExtSst, BuildExtSst(sst, sstPos));
    AddRecord(g, kEof, {});
    PutU32(g, boundSheet + 4, quint32(g.size()));

    QByteArray s;
    AddRecord(s, kBof, Bof(0x0010));
    AddRecord(s, kDefRowHeight, QByteArray::fromHex("01002C01"));   // 15 points, set by hand
    AddRecord(s, kDefColWidth, U16Data(8));
    for (int c = 0; c < columns.size(); ++c) {
        QByteArray d;
        AddU16(d, quint16(c));
        AddU16(d, quint16(c));
        AddU16(d, quint16(columns[c].widthChars * 256));
        AddU16(d, columns[c].rightAligned ? kRightXf : quint16(kDefaultCellXf));
        AddU16(d, 0);
        AddU16(d, 0);
        AddRecord(s, kColInfo, d);
    }
    AddRecord(s, kWsBool, U16Data(0x04C1));
    {
        QByteArray d;
        AddU32(d, 0);
        AddU32(d, 1);
        AddU16(d, 0);
        AddU16(d, quint16(columns.size()));
        AddU16(d, 0);
        AddRecord(s, kDimensions, d);
    }
    {
        QByteArray d;
        AddU16(d, 0);
        AddU16(d, 0);
        AddU16(d, quint16(columns.size()));
        AddU16(d, 0x0168);    // 18 points, set by hand
        AddU16(d, 0);
        AddU16(d, 0);
        AddU32(d, 0x0140);    // custom height
        AddRecord(s, kRow, d);
    }
    for (int c = 0; c < columns.size(); ++c) {
        QByteArray d;
        AddU16(d, 0);
        AddU16(d, quint16(c));
        AddU16(d, kHeaderXf);
        AddU32(d, quint32(c));
        AddRecord(s, kLabelSst, d);
    }
    {
        // Frozen first row: gridlines, headers, frozen panes, first row below the split.
        QByteArray d;
        AddU16(d, 0x07BE);
        AddU16(d, 0);
        AddU16(d, 0);
        AddU32(d, 0x40);
        AddU16(d, 0);
        AddU16(d, 0);
        AddU32(d, 0);
        AddRecord(s, kWindow2, d);
        QByteArray pane;
        AddU16(pane, 0);      // no vertical split
        AddU16(pane, 1);      // split below row 0
        AddU16(pane, 1);      // top row of the lower pane
        AddU16(pane, 0);
        AddU16(pane, 2);      // active pane: lower left
        AddRecord(s, 0x0041, pane);
    }
    AddRecord(s, kEof, {});

    QByteArray stream = g + s;
    if (stream.size() < kMinWorkbookStream)
        stream.append(QByteArray(kMinWorkbookStream - stream.size(), '\0'));
    return stream;
}

QByteArray BuildTemplateWorkbook(const QString &sheetName, const QList<TTemplateColumn> &columns)
{
    return TCompoundFile::WithStream(QStringLiteral("Workbook"),
                                     BuildTemplateStream(sheetName, columns)).Serialize();
}

} // namespace xls
