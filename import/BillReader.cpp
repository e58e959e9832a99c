#include "import/BillReader.h"
#include "base/Errors.h"
#include "import/MappedReader.h"
#include "import/XlsxSheet.h"
#include "output/xls/Workbook.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>
#include <optional>

namespace {

constexpr qint64 kMaxFileBytes = 256 * 1024 * 1024;
// Far above any household amount, and far below where fen could overflow.
constexpr qint64 kMaxFen = 100000000000000LL;
// Preamble lines before the header row; every known form has a dozen or two.
constexpr int kMaxPreambleRows = 60;
// No cell of a bill comes near this; a longer one is refused before it costs memory.
constexpr int kMaxCellChars = 10000;

// One row of cells, with the line (or sheet row) it started on.
using TCells = TTableRow;

enum class TField { Time, Category, Counterpart, Goods, Direction, Amount, Status, OrderNo, Refund };

struct TFormColumn {
    TField field;
    const char16_t *name;
    bool required;
};

struct TForm {
    TBillSource source;
    const char16_t *marker;  // text the preamble carries, or nullptr
    QList<TFormColumn> columns;
};

const QList<TForm> &Forms()
{
    static const QList<TForm> forms = {
        {TBillSource::AlipayWeb, u"支付宝交易记录明细查询",
         {{TField::Time, u"交易创建时间", true}, {TField::Counterpart, u"交易对方", true},
          {TField::Goods, u"商品名称", false}, {TField::Amount, u"金额（元）", true},
          {TField::Direction, u"收/支", true}, {TField::Status, u"交易状态", true},
          {TField::OrderNo, u"交易号", false}, {TField::Refund, u"成功退款（元）", false}}},
        {TBillSource::WeChatCsv, u"微信支付账单明细",
         {{TField::Time, u"交易时间", true}, {TField::Counterpart, u"交易对方", true},
          {TField::Goods, u"商品", false}, {TField::Direction, u"收/支", true},
          {TField::Amount, u"金额(元)", true}, {TField::Status, u"当前状态", true},
          {TField::OrderNo, u"交易单号", false}}},
        {TBillSource::AlipayApp, nullptr,
         {{TField::Time, u"交易时间", true}, {TField::Category, u"交易分类", false},
          {TField::Counterpart, u"交易对方", true}, {TField::Goods, u"商品说明", false},
          {TField::Direction, u"收/支", true}, {TField::Amount, u"金额", true},
          {TField::Status, u"交易状态", true}, {TField::OrderNo, u"交易订单号", false}}},
    };
    return forms;
}

bool IsAlipay(TBillSource s) { return s == TBillSource::AlipayApp || s == TBillSource::AlipayWeb; }

QString Clean(const QString &cell)
{
    // Exports pad cells with blanks and tabs (a tab keeps long numbers as text in Excel).
    qsizetype b = 0, e = cell.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0x3000); };
    while (b < e && blank(cell.at(b)))
        ++b;
    while (e > b && blank(cell.at(e - 1)))
        --e;
    return cell.mid(b, e - b);
}

[[noreturn]] void CellTooLong(int line)
{
    throw TError(QStringLiteral("账单第 %1 行有一个超过 %2 个字符的单元格，不像是账单，没有导入任何记录")
                     .arg(line)
                     .arg(kMaxCellChars));
}

// Reads CSV text a row at a time: commas between cells, double quotes around cells that
// hold commas, quotes or line breaks. A quote opens a quoted cell only at the start of a
// cell; anywhere else it is a character of the cell. Only the current row is held, so a
// large bill costs its text and the rows taken from it.
class TCsvCursor {
public:
    explicit TCsvCursor(const QString &text) : m_text(text) {}

    // The next row; false at the end of the text.
    bool Next(TCells &row)
    {
        const qsizetype n = m_text.size();
        if (m_pos >= n)
            return false;
        row.line = m_line;
        row.cells.clear();
        QString cell;
        bool quoted = false;
        bool wasQuoted = false;  // the cell began with a quote
        int quoteLine = m_line;
        for (; m_pos < n; ++m_pos) {
            const QChar c = m_text.at(m_pos);
            if (quoted) {
                if (c == u'"') {
                    if (m_pos + 1 < n && m_text.at(m_pos + 1) == u'"') {
                        cell += u'"';
                        ++m_pos;
                    } else {
                        quoted = false;
                    }
                } else {
                    if (c == u'\n')
                        ++m_line;
                    cell += c;
                }
            } else if (c == u'"' && !wasQuoted && IsBlankOnly(cell)) {
                quoted = wasQuoted = true;
                quoteLine = m_line;
                cell.clear();
            } else if (c == u',') {
                row.cells << Clean(cell);
                cell.clear();
                wasQuoted = false;
            } else if (c == u'\n' || c == u'\r') {
                if (c == u'\r' && m_pos + 1 < n && m_text.at(m_pos + 1) == u'\n')
                    ++m_pos;
                ++m_pos;
                ++m_line;
                row.cells << Clean(cell);
                return true;
            } else {
                cell += c;
            }
            if (cell.size() > kMaxCellChars)
                CellTooLong(row.line);
        }
        if (quoted)
            throw TError(QStringLiteral("账单第 %1 行的引号没有配对（一个单元格以引号开始却没有结束），没有导入任何记录")
                             .arg(quoteLine));
        row.cells << Clean(cell);
        return true;
    }

    // How far the reading has come, in characters of the text.
    qsizetype Position() const { return m_pos; }
    qsizetype Size() const { return m_text.size(); }

private:
    static bool IsBlankOnly(const QString &cell)
    {
        for (QChar c : cell)
            if (c != u' ' && c != u'\t')
                return false;
        return true;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
};

bool IsEmptyRow(const TCells &row)
{
    for (const QString &c : row.cells)
        if (!c.isEmpty())
            return false;
    return true;
}

// A line of dashes ends the list of transactions (the web export's summary follows it).
bool IsDashLine(const TCells &row)
{
    return !row.cells.isEmpty() && row.cells.first().startsWith(QStringLiteral("----"));
}

struct THeader {
    const TForm *form = nullptr;
    int index = -1;  // row of the header
    QHash<TField, int> columns;
};

std::optional<THeader> FindHeader(const QList<TCells> &rows, bool preambleMarkers)
{
    QString preamble;
    const int limit = int(qMin<qsizetype>(rows.size(), kMaxPreambleRows));
    for (int r = 0; r < limit; ++r) {
        const QStringList &cells = rows.at(r).cells;
        for (const TForm &form : Forms()) {
            if (preambleMarkers && form.marker &&
                !preamble.contains(QString::fromUtf16(form.marker)))
                continue;
            THeader header{&form, r, {}};
            bool complete = true;
            for (const TFormColumn &col : form.columns) {
                const int at = int(cells.indexOf(QString::fromUtf16(col.name)));
                if (at >= 0)
                    header.columns.insert(col.field, at);
                else if (col.required)
                    complete = false;
            }
            if (complete)
                return header;
        }
        preamble += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return std::nullopt;
}

QString Field(const TCells &row, const THeader &header, TField field)
{
    const int at = header.columns.value(field, -1);
    return at >= 0 && at < row.cells.size() ? row.cells.at(at) : QString();
}

// Bill times are China time whatever the computer's zone is: they are kept as they are
// written, in a zone without daylight saving, so that no written time is skipped or moved.
QDateTime BillTime(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime ParseTime(const QString &text, bool date1904)
{
    // A workbook may hold the time as a day number counted from 1899-12-30, or from
    // 1904-01-01 in a workbook of the 1904 date system.
    bool isNumber = false;
    const double serial = text.toDouble(&isNumber);
    if (isNumber) {
        if (!(serial >= 1 && serial < 2958466))
            return {};
        const qint64 seconds = qint64(serial * 86400.0 + 0.5);
        const QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
        return BillTime(base.addDays(seconds / 86400), QTime(0, 0).addSecs(int(seconds % 86400)));
    }
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return BillTime(date, time);
}

TBillDirection ParseDirection(const QString &text)
{
    if (text == QStringLiteral("支出"))
        return TBillDirection::Out;
    if (text == QStringLiteral("收入"))
        return TBillDirection::In;
    // "不计收支", WeChat's "/", and an empty cell.
    return TBillDirection::Neither;
}

// The refund that a WeChat status names: "已退款(￥3.00)" or with full-width brackets.
qint64 RefundInStatus(const QString &status)
{
    static const QRegularExpression re(QStringLiteral(R"(退款\s*[(（]\s*([^)）]*)[)）])"));
    const QRegularExpressionMatch m = re.match(status);
    qint64 fen = 0;
    if (m.hasMatch() && ParseFen(m.captured(1), &fen))
        return fen;
    return 0;
}

[[noreturn]] void BadRow(const TCells &row, const QString &what, const QString &value)
{
    throw TError(QStringLiteral("账单第 %1 行的%2“%3”无法识别，没有导入任何记录")
                     .arg(row.line)
                     .arg(what, value.left(40)));
}

// A workbook may store an amount as a binary number ("12.300000000000001"); it is taken
// when it is a whole number of fen within rounding.
bool ParseSheetFen(const QString &text, qint64 *fen)
{
    if (ParseFen(text, fen))
        return true;
    bool ok = false;
    const double yuan = text.toDouble(&ok);
    if (!ok || !(yuan >= 0) || yuan * 100.0 > double(kMaxFen))
        return false;
    const double cents = std::round(yuan * 100.0);
    if (std::abs(yuan * 100.0 - cents) > 1e-6)
        return false;
    *fen = qint64(cents);
    return true;
}

TBillRow ReadRow(const TCells &cells, const THeader &header, bool sheet, bool date1904)
{
    TBillRow row;
    row.line = cells.line;
    const QString time = Field(cells, header, TField::Time);
    row.time = ParseTime(time, date1904);
    if (!row.time.isValid())
        BadRow(cells, QStringLiteral("交易时间"), time);
    const QString amount = Field(cells, header, TField::Amount);
    if (!(sheet ? ParseSheetFen(amount, &row.amountFen) : ParseFen(amount, &row.amountFen)))
        BadRow(cells, QStringLiteral("金额"), amount);
    row.direction = ParseDirection(Field(cells, header, TField::Direction));
    row.counterpart = Field(cells, header, TField::Counterpart);
    row.goods = Field(cells, header, TField::Goods);
    row.category = Field(cells, header, TField::Category);
    row.status = Field(cells, header, TField::Status);
    row.orderNo = Field(cells, header, TField::OrderNo);
    if (header.columns.contains(TField::Refund)) {
        const QString refund = Field(cells, header, TField::Refund);
        if (!refund.isEmpty() && !ParseFen(refund, &row.refundFen))
            BadRow(cells, QStringLiteral("退款金额"), refund);
    } else if (header.form->source == TBillSource::WeChatCsv) {
        row.refundFen = RefundInStatus(row.status);
    }
    row.refundFen = qMin(row.refundFen, row.amountFen);
    return row;
}

// Reports progress now and then; throws TReadCancelled when the user cancels.
class TProgressTick {
public:
    explicit TProgressTick(const TReadProgress &progress) : m_progress(progress) {}
    void operator()(qint64 done, qint64 total)
    {
        if (!m_progress || ++m_calls % 512 != 0 || total <= 0)
            return;
        if (!m_progress(int(qMin<qint64>(100, done * 100 / total))))
            throw TReadCancelled();
    }

private:
    const TReadProgress &m_progress;
    int m_calls = 0;
};

// The rows after the header: those already split (head) and then what next gives.
TBill ReadRows(const QList<TCells> &head, const THeader &header, TBillSource source,
               const std::function<bool(TCells &)> &next, bool date1904)
{
    TBill bill;
    bill.source = source;
    const bool sheet = source == TBillSource::WeChatXlsx;
    qsizetype r = header.index + 1;
    TCells cells;
    for (;;) {
        if (r < head.size())
            cells = head.at(r++);
        else if (!next(cells))
            break;
        if (IsDashLine(cells))
            break;
        if (IsEmptyRow(cells))
            continue;
        bill.rows << ReadRow(cells, header, sheet, date1904);
    }
    if (bill.rows.isEmpty())
        throw TError(QStringLiteral("%1中没有交易记录，没有可以导入的内容").arg(SourceText(source)));
    return bill;
}

// A table of no known form: the caller may offer to map its columns.
[[noreturn]] void UnrecognisedTable()
{
    throw TUnrecognisedTable(QStringLiteral("无法识别这个文件。可以导入的账单是：%1").arg(AcceptedBillForms()));
}

[[noreturn]] void Unrecognised()
{
    throw TError(QStringLiteral("无法识别这个文件。可以导入的账单是：%1").arg(AcceptedBillForms()));
}

[[noreturn]] void WrongEncoding(TBillSource found)
{
    if (IsAlipay(found))
        throw TError(QStringLiteral("这个支付宝账单不是 GB18030（GBK）编码的，可能被其他程序另存过。"
                                    "请导入支付宝导出的原始文件"));
    throw TError(QStringLiteral("这个微信支付账单不是 UTF-8 编码的，可能被其他程序另存过。"
                                "请导入微信支付导出的原始文件"));
}

std::optional<QString> DecodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString DecodeGb18030(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

// The bill in the text when its header is among the first rows.
std::optional<TBill> ReadCsvText(const QString &text, bool utf8, const TReadProgress &progress)
{
    TCsvCursor cursor(text);
    QList<TCells> head;
    TCells row;
    while (head.size() < kMaxPreambleRows && cursor.Next(row))
        head << row;
    const auto header = FindHeader(head, true);
    if (!header) {
        const auto known = FindKnownMapping(head);
        if (!known)
            return std::nullopt;
        TProgressTick tick(progress);
        return ReadMapped(head, known->second, known->first, [&](TCells &cells) {
            tick(cursor.Position(), cursor.Size());
            return cursor.Next(cells);
        }, false, false);
    }
    // WeChat writes UTF-8; Alipay writes GB18030. A file that reads right only in the other
    // encoding was saved again by some other program.
    if (IsAlipay(header->form->source) == utf8)
        WrongEncoding(header->form->source);
    TProgressTick tick(progress);
    return ReadRows(head, *header, header->form->source, [&](TCells &cells) {
        tick(cursor.Position(), cursor.Size());
        return cursor.Next(cells);
    }, false);
}

TBill ReadCsv(const QByteArray &bytes, const TReadProgress &progress)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (const std::optional<QString> utf8 = DecodeUtf8(bytes)) {
        if (auto bill = ReadCsvText(*utf8, true, progress))
            return std::move(*bill);
    }
    // A GB18030 bill that some program gave a UTF-8 byte-order mark is read without the mark.
    if (auto bill = ReadCsvText(DecodeGb18030(bom ? bytes.mid(3) : bytes), false, progress))
        return std::move(*bill);
    UnrecognisedTable();
}

TBill ReadXlsx(const QByteArray &bytes, const TReadProgress &progress)
{
    bool date1904 = false;
    bool cancelled = false;
    // Reading the sheet is the long part; the rows after it go fast.
    const QList<TSheetRow> sheet = ReadFirstSheet(bytes, &date1904, !progress ? TReadProgress() : [&](int percent) {
        cancelled = !progress(percent * 9 / 10);
        return !cancelled;
    });
    if (cancelled)
        throw TReadCancelled();
    auto cellsOf = [](const TSheetRow &r) {
        TCells cells{r.number, {}};
        cells.cells.reserve(r.cells.size());
        for (const QString &c : r.cells) {
            if (c.size() > kMaxCellChars)
                CellTooLong(r.number);
            cells.cells << Clean(c);
        }
        return cells;
    };
    QList<TCells> head;
    for (qsizetype i = 0; i < sheet.size() && i < kMaxPreambleRows; ++i)
        head << cellsOf(sheet.at(i));
    qsizetype next = head.size();
    auto more = [&](TCells &cells) {
        if (next >= sheet.size())
            return false;
        cells = cellsOf(sheet.at(next++));
        return true;
    };
    const auto header = FindHeader(head, true);
    if (header && header->form->source == TBillSource::WeChatCsv)
        return ReadRows(head, *header, TBillSource::WeChatXlsx, more, date1904);
    if (const auto known = FindKnownMapping(head))
        return ReadMapped(head, known->second, known->first, more, true, date1904);
    UnrecognisedTable();
}

// An Excel 97-2003 workbook: the statement of a bank or an app's web export.
TBill ReadXls(const QByteArray &bytes)
{
    QList<TCells> rows;
    bool date1904 = false;
    try {
        for (auto &[number, cells] : xls::TWorkbook::FromBytes(bytes).FirstSheetRows(&date1904)) {
            TCells row{number, {}};
            row.cells.reserve(cells.size());
            for (const QString &c : cells) {
                if (c.size() > kMaxCellChars)
                    CellTooLong(number);
                row.cells << Clean(c);
            }
            rows << row;
        }
    } catch (const TError &) {
        throw TError(QStringLiteral("这是加密的或已损坏的 Excel 文件，无法导入。可以导入的账单是：%1")
                         .arg(AcceptedBillForms()));
    }
    const auto known = FindKnownMapping(rows.mid(0, kMaxPreambleRows));
    if (!known)
        UnrecognisedTable();
    return ReadMapped(rows, known->second, known->first, [](TCells &) { return false; }, true, date1904);
}

} // namespace

QList<TTableRow> ReadTableRows(const QByteArray &bytes, TTextEncoding encoding, int limit, bool *sheet, bool *date1904)
{
    QList<TCells> rows;
    *sheet = false;
    *date1904 = false;
    auto add = [&](int line, const QStringList &cells) {
        TCells row{line, {}};
        row.cells.reserve(cells.size());
        for (const QString &c : cells) {
            if (c.size() > kMaxCellChars)
                CellTooLong(line);
            row.cells << Clean(c);
        }
        rows << row;
        return limit < 0 || rows.size() < limit;
    };
    if (bytes.startsWith("PK\x03\x04")) {
        *sheet = true;
        for (const TSheetRow &r : ReadFirstSheet(bytes, date1904))
            if (!add(r.number, r.cells))
                break;
    } else if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
        *sheet = true;
        for (const auto &[number, cells] : xls::TWorkbook::FromBytes(bytes).FirstSheetRows(date1904))
            if (!add(number, cells))
                break;
    } else {
        QString text;
        switch (encoding) {
        case TTextEncoding::Utf8:
            text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
            break;
        case TTextEncoding::Utf16:
            text = QStringDecoder(QStringDecoder::Utf16).decode(bytes);
            break;
        case TTextEncoding::Gb18030:
            text = DecodeGb18030(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
            break;
        }
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        TCsvCursor cursor(text);
        TCells row;
        while (cursor.Next(row))
            if (!add(row.line, row.cells))
                break;
    }
    return rows;
}

TTextEncoding GuessEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return TTextEncoding::Utf16;
    return DecodeUtf8(bytes) ? TTextEncoding::Utf8 : TTextEncoding::Gb18030;
}

TBill ReadWithMapping(const QByteArray &bytes, TTextEncoding encoding, int headerIndex, const TImportMapping &mapping)
{
    bool sheet = false, date1904 = false;
    const QList<TTableRow> rows = ReadTableRows(bytes, encoding, -1, &sheet, &date1904);
    if (headerIndex < 0 || headerIndex >= rows.size())
        throw TError(QStringLiteral("文件中没有第 %1 行，没有导入任何记录").arg(headerIndex + 1));
    TImportMapping m = mapping;
    m.source = TBillSource::Mapped;
    return ReadMapped(rows, headerIndex, m, [](TTableRow &) { return false; }, sheet, date1904);
}

QString AcceptedBillForms()
{
    return QStringLiteral("支付宝导出的交易明细（CSV，GB18030 编码）、支付宝网页版导出的交易记录明细（CSV），"
                          "微信支付导出的账单明细（XLSX，或 UTF-8 编码的 CSV），"
                          "随手记、钱迹、口袋记账导出的记录，工商银行、招商银行、建设银行的借记卡明细");
}

bool ParseFen(const QString &text, qint64 *fen)
{
    // A currency sign may stand before the number, blanks around it; commas only between
    // groups of three digits. Read by hand: a large file has hundreds of thousands.
    const QChar *p = text.constData();
    const QChar *end = p + text.size();
    auto blanks = [&] {
        while (p < end && (*p == u' ' || *p == u'\t'))
            ++p;
    };
    blanks();
    if (p < end && (*p == u'¥' || *p == u'￥')) {
        ++p;
        blanks();
    }
    qint64 yuan = 0;
    int digits = 0, group = 0;
    bool grouped = false;
    for (; p < end; ++p) {
        if (p->unicode() >= '0' && p->unicode() <= '9') {
            if (++digits > 15)
                return false;
            yuan = yuan * 10 + (p->unicode() - '0');
            ++group;
        } else if (*p == u',') {
            // The first group has one to three digits, every later one three.
            if (group == 0 || group > 3 || (grouped && group != 3))
                return false;
            grouped = true;
            group = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || (grouped && group != 3))
        return false;
    qint64 cents = 0;
    if (p < end && *p == u'.') {
        ++p;
        int decimals = 0;
        for (; p < end && p->unicode() >= '0' && p->unicode() <= '9'; ++p) {
            if (++decimals > 2)
                return false;
            cents = cents * 10 + (p->unicode() - '0');
        }
        if (decimals == 1)
            cents *= 10;
    }
    blanks();
    if (p != end)
        return false;
    const qint64 value = yuan * 100 + cents;
    if (yuan > kMaxFen / 100 || value > kMaxFen)
        return false;
    *fen = value;
    return true;
}

TBill ReadBill(const QByteArray &bytes, const TReadProgress &progress, const QString &zipPassword)
{
    if (bytes.isEmpty())
        throw TError(QStringLiteral("文件是空的。可以导入的账单是：%1").arg(AcceptedBillForms()));
    if (bytes.startsWith("PK\x03\x04")) {
        if (IsWorkbookZip(bytes))
            return ReadXlsx(bytes, progress);
        const QByteArray inner = ReadFileInZip(bytes, zipPassword);
        // A bill inside is read as it is; an archive inside an archive is not opened.
        if (inner.startsWith("PK\x03\x04") && !IsWorkbookZip(inner))
            Unrecognised();
        return ReadBill(inner, progress);
    }
    // An encrypted workbook is an OLE2 compound file, as is an old .xls.
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return ReadXls(bytes);
    return ReadCsv(bytes, progress);
}

TBill ReadBillFile(const QString &path, const TReadProgress &progress, const QString &zipPassword)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法打开文件“%1”：%2").arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        throw TError(QStringLiteral("文件“%1”太大，不像是账单").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    file.close();
    return ReadBill(bytes, progress, zipPassword);
}

QString DirectionText(TBillDirection direction)
{
    switch (direction) {
    case TBillDirection::Out:
        return QStringLiteral("支出");
    case TBillDirection::In:
        return QStringLiteral("收入");
    case TBillDirection::Neither:
        break;
    }
    return QStringLiteral("不计收支");
}

QString ReasonText(TUncheckedReason reason)
{
    switch (reason) {
    case TUncheckedReason::None:
        return QString();
    case TUncheckedReason::NotCounted:
        return QStringLiteral("不计收支");
    case TUncheckedReason::NotCompleted:
        return QStringLiteral("交易未成功");
    case TUncheckedReason::NotFinished:
        return QStringLiteral("交易未完成");
    case TUncheckedReason::FullRefund:
        return QStringLiteral("已全额退款");
    case TUncheckedReason::AlreadyImported:
        return QStringLiteral("已导入");
    case TUncheckedReason::Repeated:
        return QStringLiteral("账单内重复");
    case TUncheckedReason::Transfer:
        return QStringLiteral("转账");
    case TUncheckedReason::PossibleDuplicate:
        return QStringLiteral("可能重复");
    }
    return QString();
}

QString SourceText(TBillSource source)
{
    switch (source) {
    case TBillSource::AlipayApp:
        return QStringLiteral("支付宝账单");
    case TBillSource::AlipayWeb:
        return QStringLiteral("支付宝网页版账单");
    case TBillSource::WeChatCsv:
    case TBillSource::WeChatXlsx:
        break;
    case TBillSource::Suishouji:
        return QStringLiteral("随手记导出的记录");
    case TBillSource::Qianji:
        return QStringLiteral("钱迹导出的记录");
    case TBillSource::Koudai:
        return QStringLiteral("口袋记账导出的记录");
    case TBillSource::Icbc:
        return QStringLiteral("工商银行明细");
    case TBillSource::Cmb:
        return QStringLiteral("招商银行明细");
    case TBillSource::Ccb:
        return QStringLiteral("建设银行明细");
    case TBillSource::Mapped:
        return QStringLiteral("这个文件");
    }
    return QStringLiteral("微信支付账单");
}
