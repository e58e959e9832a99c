#include "import/BillReader.h"
#include "base/Errors.h"
#include "import/XlsxSheet.h"

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

// One row of cells, with the line (or sheet row) it started on.
struct TCells {
    int line = 0;
    QStringList cells;
};

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

// Splits CSV text into rows: commas between cells, double quotes around cells that hold
// commas, quotes or line breaks.
QList<TCells> SplitCsv(const QString &text)
{
    QList<TCells> rows;
    TCells row{1, {}};
    QString cell;
    bool quoted = false;
    int line = 1;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                cell += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row.cells << Clean(cell);
            cell.clear();
        } else if (c == u'\n' || c == u'\r') {
            row.cells << Clean(cell);
            cell.clear();
            rows << row;
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            ++line;
            row = TCells{line, {}};
        } else {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !row.cells.isEmpty()) {
        row.cells << Clean(cell);
        rows << row;
    }
    return rows;
}

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

QDateTime ParseTime(const QString &text)
{
    // A workbook may hold the time as a day number counted from 1899-12-30.
    bool isNumber = false;
    const double serial = text.toDouble(&isNumber);
    if (isNumber) {
        if (!(serial >= 1 && serial < 2958466))
            return {};
        const qint64 seconds = qint64(serial * 86400.0 + 0.5);
        return QDateTime(QDate(1899, 12, 30).addDays(seconds / 86400), QTime(0, 0))
            .addSecs(seconds % 86400);
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
    return QDateTime(date, time);
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

TBillRow ReadRow(const TCells &cells, const THeader &header, bool sheet)
{
    TBillRow row;
    row.line = cells.line;
    const QString time = Field(cells, header, TField::Time);
    row.time = ParseTime(time);
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

TBill ReadRows(const QList<TCells> &rows, const THeader &header, TBillSource source)
{
    TBill bill;
    bill.source = source;
    for (qsizetype r = header.index + 1; r < rows.size(); ++r) {
        const TCells &cells = rows.at(r);
        if (IsDashLine(cells))
            break;
        if (IsEmptyRow(cells))
            continue;
        bill.rows << ReadRow(cells, header, source == TBillSource::WeChatXlsx);
    }
    if (bill.rows.isEmpty())
        throw TError(QStringLiteral("%1中没有交易记录，没有可以导入的内容").arg(SourceText(source)));
    return bill;
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

TBill ReadCsv(const QByteArray &bytes)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const std::optional<QString> utf8 = DecodeUtf8(bytes);
    // WeChat writes UTF-8 (with a byte-order mark); Alipay writes GB18030. A file that reads
    // right only in the other encoding was saved again by some other program.
    if (utf8) {
        const QList<TCells> rows = SplitCsv(*utf8);
        if (const auto header = FindHeader(rows, true)) {
            if (IsAlipay(header->form->source))
                WrongEncoding(header->form->source);
            return ReadRows(rows, *header, header->form->source);
        }
    }
    if (!bom) {
        const QList<TCells> rows = SplitCsv(DecodeGb18030(bytes));
        if (const auto header = FindHeader(rows, true)) {
            if (!IsAlipay(header->form->source))
                WrongEncoding(header->form->source);
            return ReadRows(rows, *header, header->form->source);
        }
    }
    Unrecognised();
}

TBill ReadXlsx(const QByteArray &bytes)
{
    const QList<TSheetRow> sheet = ReadFirstSheet(bytes);
    QList<TCells> rows;
    rows.reserve(sheet.size());
    for (const TSheetRow &r : sheet) {
        TCells cells{r.number, {}};
        for (const QString &c : r.cells)
            cells.cells << Clean(c);
        rows << cells;
    }
    const auto header = FindHeader(rows, true);
    if (!header || header->form->source != TBillSource::WeChatCsv)
        Unrecognised();
    return ReadRows(rows, *header, TBillSource::WeChatXlsx);
}

} // namespace

QString AcceptedBillForms()
{
    return QStringLiteral("支付宝导出的交易明细（CSV，GB18030 编码）、支付宝网页版导出的交易记录明细（CSV），"
                          "以及微信支付导出的账单明细（XLSX，或 UTF-8 编码的 CSV）");
}

bool ParseFen(const QString &text, qint64 *fen)
{
    QString t;
    t.reserve(text.size());
    for (QChar c : text)
        if (c != u'¥' && c != u'￥' && c != u',' && c != u' ' && c != u'\t')
            t += c;
    static const QRegularExpression re(QStringLiteral(R"(^(\d{1,15})(?:\.(\d{0,2}))?$)"));
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch())
        return false;
    const qint64 yuan = m.captured(1).toLongLong();
    const QString cents = m.captured(2).leftJustified(2, QLatin1Char('0'));
    const qint64 value = yuan * 100 + cents.toLongLong();
    if (yuan > kMaxFen / 100 || value > kMaxFen)
        return false;
    *fen = value;
    return true;
}

TBill ReadBill(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        throw TError(QStringLiteral("文件是空的。可以导入的账单是：%1").arg(AcceptedBillForms()));
    if (bytes.startsWith("PK\x03\x04"))
        return ReadXlsx(bytes);
    // An encrypted workbook is an OLE2 compound file, as is an old .xls.
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        throw TError(QStringLiteral("这是加密的或旧格式的 Excel 文件，无法导入。可以导入的账单是：%1")
                         .arg(AcceptedBillForms()));
    return ReadCsv(bytes);
}

TBill ReadBillFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TError(QStringLiteral("无法打开文件“%1”：%2").arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        throw TError(QStringLiteral("文件“%1”太大，不像是账单").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    return ReadBill(bytes);
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
    case TUncheckedReason::FullRefund:
        return QStringLiteral("已全额退款");
    case TUncheckedReason::AlreadyImported:
        return QStringLiteral("已导入");
    case TUncheckedReason::Repeated:
        return QStringLiteral("账单内重复");
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
    }
    return QStringLiteral("微信支付账单");
}
