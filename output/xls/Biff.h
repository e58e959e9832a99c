#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Building blocks of BIFF8 workbook streams, shared by the appender and the template writer.
namespace xls {

enum RecordId : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kCodePage = 0x0042,
    kWindow1 = 0x003D,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kContinue = 0x003C,
    kIndex = 0x020B,
    kDbCell = 0x00D7,
    kDefColWidth = 0x0055,
    kDefRowHeight = 0x0225,
    kColInfo = 0x007D,
    kWsBool = 0x0081,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kLabelSst = 0x00FD,
    kLabel = 0x0204,
    kRString = 0x00D6,
    kNumber = 0x0203,
    kRk = 0x027E,
    kMulRk = 0x00BD,
    kBoolErr = 0x0205,
    kFormula = 0x0006,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kString = 0x0207,
    kArray = 0x0221,
    kShrFmla = 0x04BC,
    kTable = 0x0236,
    kWindow2 = 0x023E,
};

constexpr int kMaxRecordData = 8224;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr int kDefaultCellXf = 15;

// Appends one record (id, size, data) to a stream.
void AddRecord(QByteArray &stream, quint16 id, const QByteArray &data);
// XLUnicodeString (16-bit count) and ShortXLUnicodeString (8-bit count), compressed when
// every unit fits in one byte.
QByteArray UnicodeString(const QString &text);
QByteArray ShortUnicodeString(const QString &text);

// One entry of the shared string table with what it carries besides its text.
struct TSstString {
    QString text;
    QByteArray runs;   // formatting runs, 4 bytes each
    QByteArray ext;    // phonetic data
};

// The SST record and its CONTINUE records, split as readers expect: string headers and
// formatting runs are never split, characters are split on whole units (a surrogate pair
// stays together) and the part after a split starts with its own flags byte.
struct TSstRecords {
    QList<QByteArray> records;   // data of the SST record, then of each CONTINUE record
    // Per bucket of the EXTSST record: index of the record holding the bucket's first
    // string and that string's offset inside the record data.
    QList<QPair<int, int>> buckets;
    int stringsPerBucket = 8;
};
TSstRecords BuildSst(const QList<TSstString> &strings, quint32 totalRefs);
// EXTSST data for an SST written at absolute stream position sstPos.
QByteArray BuildExtSst(const TSstRecords &sst, qint64 sstPos);

} // namespace xls
