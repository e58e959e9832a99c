#include "import/MappedReader.h"
#include "base/Errors.h"
#include "import/BillReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kMaxFen = 100000000000000LL;

struct TKnownForm {
    QStringList required;  // header names that identify the form
    TImportMapping mapping;
};

QString S(const char16_t *text) { return QString::fromUtf16(text); }

const QList<TKnownForm> &KnownForms()
{
    static const QList<TKnownForm> forms = [] {
        QList<TKnownForm> f;
        // 随手记: the app's CSV and the web and iOS workbooks have the same columns.
        TImportMapping ssj;
        ssj.source = TBillSource::Suishouji;
        ssj.date = S(u"日期");
        ssj.direction = S(u"交易类型");
        ssj.amount = S(u"金额");
        ssj.item = {S(u"子类别"), S(u"类别")};
        ssj.notes = {S(u"备注")};
        f << TKnownForm{{S(u"日期"), S(u"交易类型"), S(u"类别"), S(u"金额")}, ssj};
        TImportMapping qj;
        qj.source = TBillSource::Qianji;
        qj.date = S(u"时间");
        qj.direction = S(u"类型");
        qj.amount = S(u"金额");
        qj.item = {S(u"分类")};
        qj.notes = {S(u"备注")};
        f << TKnownForm{{S(u"时间"), S(u"分类"), S(u"类型"), S(u"金额"), S(u"账户1")}, qj};
        TImportMapping kd;
        kd.source = TBillSource::Koudai;
        kd.date = S(u"时间");
        kd.direction = S(u"收支类型");
        kd.amount = S(u"金额");
        kd.item = {S(u"账目分类")};
        kd.notes = {S(u"备注")};
        f << TKnownForm{{S(u"时间"), S(u"收支类型"), S(u"账目分类"), S(u"金额")}, kd};
        TImportMapping icbc;
        icbc.source = TBillSource::Icbc;
        icbc.date = S(u"交易日期");
        icbc.income = S(u"记账金额(收入)");
        icbc.expense = S(u"记账金额(支出)");
        icbc.counterpart = S(u"对方户名");
        icbc.notes = {S(u"摘要"), S(u"交易详情")};
        icbc.bankTransfers = true;
        f << TKnownForm{{S(u"交易日期"), S(u"摘要"), S(u"记账金额(收入)"), S(u"记账金额(支出)")}, icbc};
        TImportMapping cmb;
        cmb.source = TBillSource::Cmb;
        cmb.date = S(u"记账日期");
        cmb.amount = S(u"交易金额");
        cmb.counterpart = S(u"对手信息");
        cmb.notes = {S(u"交易摘要"), S(u"客户摘要")};
        cmb.bankTransfers = true;
        f << TKnownForm{{S(u"记账日期"), S(u"交易金额"), S(u"交易摘要"), S(u"对手信息")}, cmb};
        TImportMapping ccb;
        ccb.source = TBillSource::Ccb;
        ccb.date = S(u"交易日期");
        ccb.amount = S(u"交易金额");
        ccb.counterpart = S(u"交易对方");
        ccb.notes = {S(u"交易类型")};
        ccb.status = S(u"交易状态");
        ccb.bankTransfers = true;
        f << TKnownForm{{S(u"记账日"), S(u"交易日期"), S(u"交易金额"), S(u"交易类型"), S(u"交易对方")}, ccb};
        return f;
    }();
    return forms;
}

// How an app names a record that is neither expense nor income: a transfer between the
// household's own accounts, a balance correction, a debt.
TBillDirection DirectionOf(const QString &text, bool *transfer)
{
    *transfer = false;
    if (text == QStringLiteral("支出"))
        return TBillDirection::Out;
    if (text == QStringLiteral("收入"))
        return TBillDirection::In;
    *transfer = true;
    return TBillDirection::Neither;
}

// A bank's own transfers and repayments: between the household's cards, to a credit card.
bool IsBankTransfer(const QString &text)
{
    for (const char16_t *word : {u"还款", u"信用卡", u"本人", u"同名", u"转存", u"自己"})
        if (text.contains(QString::fromUtf16(word)))
            return true;
    return false;
}

QString Cell(const TTableRow &row, int column)
{
    return column >= 0 && column < row.cells.size() ? row.cells.at(column) : QString();
}

bool Meaningful(const QString &text) { return !text.isEmpty() && text != QLatin1String("/") && text != QLatin1String("-"); }

// A workbook may hold an amount as a binary number ("-12.300000000000001").
bool ParseAmount(const QString &text, bool sheet, qint64 *fen)
{
    if (ParseSignedFen(text, fen))
        return true;
    if (!sheet)
        return false;
    bool ok = false;
    const double yuan = text.toDouble(&ok);
    if (!ok || !(std::abs(yuan) * 100.0 <= double(kMaxFen)))
        return false;
    const double cents = std::round(yuan * 100.0);
    if (std::abs(yuan * 100.0 - cents) > 1e-6)
        return false;
    *fen = qint64(cents);
    return true;
}

struct TColumns {
    int date = -1, direction = -1, amount = -1, income = -1, expense = -1, counterpart = -1, status = -1;
    QList<int> item, notes;
};

[[noreturn]] void BadCell(int line, const QString &what, const QString &value)
{
    throw TError(QStringLiteral("第 %1 行的%2“%3”无法识别，没有导入任何记录").arg(line).arg(what, value.left(40)));
}

} // namespace

int ColumnIndex(const QStringList &header, const QString &name)
{
    return name.isEmpty() ? -1 : int(header.indexOf(name));
}

bool ParseSignedFen(const QString &text, qint64 *fen)
{
    // The sign stands before the number, after a currency sign if there is one.
    qsizetype at = 0;
    auto blanks = [&] {
        while (at < text.size() && (text.at(at) == u' ' || text.at(at) == u'\t'))
            ++at;
    };
    blanks();
    const qsizetype currency = at;
    if (at < text.size() && (text.at(at) == u'¥' || text.at(at) == u'￥')) {
        ++at;
        blanks();
    }
    if (at >= text.size() || (text.at(at) != u'-' && text.at(at) != u'+'))
        return ParseFen(text, fen);
    const bool negative = text.at(at) == u'-';
    if (!ParseFen(text.mid(currency, at - currency) + text.mid(at + 1), fen))
        return false;
    if (negative)
        *fen = -*fen;
    return true;
}

QDateTime ParseRecordTime(const QString &text, const QString &pattern, bool sheet, bool date1904)
{
    // A workbook holds a date as a day number counted from 1899-12-30, or from 1904-01-01
    // in a workbook of the 1904 date system. Times are kept as written, in a zone without
    // daylight saving, so that the computer's zone moves no date.
    bool isNumber = false;
    const double serial = sheet ? text.toDouble(&isNumber) : 0.0;
    // 8-digit numbers such as 20240331 are dates written as numbers, not day numbers.
    if (isNumber && sheet && serial < 10000000) {
        if (!(serial >= 1 && serial < 2958466))
            return {};
        const qint64 seconds = qint64(serial * 86400.0 + 0.5);
        const QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
        return QDateTime(base.addDays(seconds / 86400), QTime(0, 0).addSecs(int(seconds % 86400)), Qt::UTC);
    }
    if (!pattern.isEmpty()) {
        const QDateTime t = QDateTime::fromString(text, pattern);
        if (t.isValid())
            return QDateTime(t.date(), t.time(), Qt::UTC);
        const QDate d = QDate::fromString(text, pattern);
        return d.isValid() ? QDateTime(d, QTime(0, 0), Qt::UTC) : QDateTime();
    }
    // The usual "yyyy-MM-dd HH:mm:ss" and its shorter forms, read by hand.
    if (text.size() >= 10 && text.at(4) == u'-' && text.at(7) == u'-') {
        auto number = [&](int from, int length, int *value) {
            if (from + length > text.size())
                return false;
            *value = 0;
            for (int i = from; i < from + length; ++i) {
                const char16_t c = text.at(i).unicode();
                if (c < '0' || c > '9')
                    return false;
                *value = *value * 10 + (c - '0');
            }
            return true;
        };
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        const qsizetype n = text.size();
        if (number(0, 4, &y) && number(5, 2, &mo) && number(8, 2, &d) &&
            (n == 10 || (n >= 16 && text.at(10) == u' ' && number(11, 2, &h) && text.at(13) == u':' &&
                         number(14, 2, &mi) && (n == 16 || (n == 19 && text.at(16) == u':' && number(17, 2, &sec)))))) {
            const QDate date(y, mo, d);
            const QTime time(h, mi, sec);
            return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
        }
    }
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{4})(?:[-/.年](\d{1,2})[-/.月](\d{1,2})日?|(\d{2})(\d{2}))(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    const bool compact = m.capturedLength(4) > 0;
    const QDate date(m.captured(1).toInt(), m.captured(compact ? 4 : 2).toInt(), m.captured(compact ? 5 : 3).toInt());
    const QTime time(m.captured(6).toInt(), m.captured(7).toInt(), m.captured(8).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

std::optional<std::pair<TImportMapping, int>> FindKnownMapping(const QList<TTableRow> &rows)
{
    for (int r = 0; r < rows.size(); ++r)
        for (const TKnownForm &form : KnownForms()) {
            bool all = true;
            for (const QString &name : form.required)
                all = all && rows.at(r).cells.contains(name);
            if (all)
                return std::make_pair(form.mapping, r);
        }
    return std::nullopt;
}

TBill ReadMapped(const QList<TTableRow> &rows, int headerIndex, const TImportMapping &mapping,
                 const std::function<bool(TTableRow &)> &next, bool sheet, bool date1904)
{
    const QStringList &header = rows.at(headerIndex).cells;
    TColumns c;
    c.date = ColumnIndex(header, mapping.date);
    c.direction = ColumnIndex(header, mapping.direction);
    c.amount = ColumnIndex(header, mapping.amount);
    c.income = ColumnIndex(header, mapping.income);
    c.expense = ColumnIndex(header, mapping.expense);
    c.counterpart = ColumnIndex(header, mapping.counterpart);
    c.status = ColumnIndex(header, mapping.status);
    for (const QString &name : mapping.item)
        if (ColumnIndex(header, name) >= 0)
            c.item << ColumnIndex(header, name);
    for (const QString &name : mapping.notes)
        if (ColumnIndex(header, name) >= 0)
            c.notes << ColumnIndex(header, name);
    if (c.date < 0 || (c.amount < 0 && (c.income < 0 || c.expense < 0)))
        throw TError(QStringLiteral("表头中找不到日期或金额所在的列，没有导入任何记录"));

    TBill bill;
    bill.source = mapping.source;
    std::optional<TTableRow> footer;  // a row without a date, kept until the table goes on
    qsizetype r = headerIndex + 1;
    TTableRow row;
    for (;;) {
        if (r < rows.size())
            row = rows.at(r++);
        else if (!next(row))
            break;
        if (std::all_of(row.cells.cbegin(), row.cells.cend(), [](const QString &t) { return t.isEmpty(); }))
            continue;
        const QString dateText = Cell(row, c.date);
        const QDateTime time = ParseRecordTime(dateText, mapping.datePattern, sheet, date1904);
        if (!time.isValid()) {
            if (!footer)
                footer = row;
            continue;
        }
        if (footer)
            BadCell(footer->line, QStringLiteral("日期"), Cell(*footer, c.date));
        TBillRow b;
        b.line = row.line;
        b.time = time;
        qint64 fen = 0;
        if (c.amount >= 0) {
            const QString amount = Cell(row, c.amount);
            if (!ParseAmount(amount, sheet, &fen))
                BadCell(row.line, QStringLiteral("金额"), amount);
            if (c.direction >= 0) {
                b.direction = DirectionOf(Cell(row, c.direction), &b.transfer);
                fen = qAbs(fen);
            } else {
                b.direction = fen < 0 ? TBillDirection::Out : TBillDirection::In;
            }
        } else {
            const QString in = Cell(row, c.income), out = Cell(row, c.expense);
            qint64 inFen = 0, outFen = 0;
            if (Meaningful(in) && !ParseAmount(in, sheet, &inFen))
                BadCell(row.line, QStringLiteral("收入金额"), in);
            if (Meaningful(out) && !ParseAmount(out, sheet, &outFen))
                BadCell(row.line, QStringLiteral("支出金额"), out);
            b.direction = outFen != 0 ? TBillDirection::Out : TBillDirection::In;
            fen = outFen != 0 ? outFen : inFen;
        }
        b.amountFen = qAbs(fen);
        for (int at : c.item)
            if (Meaningful(Cell(row, at))) {
                b.category = Cell(row, at);
                break;
            }
        b.counterpart = Cell(row, c.counterpart);
        QStringList notes;
        for (int at : c.notes)
            if (Meaningful(Cell(row, at)) && !notes.contains(Cell(row, at)))
                notes << Cell(row, at);
        b.goods = notes.join(QLatin1Char(' '));
        b.status = Cell(row, c.status);
        if (mapping.bankTransfers && IsBankTransfer(b.goods))
            b.transfer = true;
        bill.rows << b;
    }
    if (bill.rows.isEmpty())
        throw TError(QStringLiteral("%1中没有记录，没有可以导入的内容").arg(SourceText(mapping.source)));
    return bill;
}

QString MappingText(const TImportMapping &m)
{
    QJsonObject o;
    o[QStringLiteral("date")] = m.date;
    o[QStringLiteral("datePattern")] = m.datePattern;
    o[QStringLiteral("amount")] = m.amount;
    o[QStringLiteral("income")] = m.income;
    o[QStringLiteral("expense")] = m.expense;
    o[QStringLiteral("item")] = QJsonArray::fromStringList(m.item);
    o[QStringLiteral("notes")] = QJsonArray::fromStringList(m.notes);
    o[QStringLiteral("counterpart")] = m.counterpart;
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<TImportMapping> MappingFromText(const QString &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    auto list = [&](const char *key) {
        QStringList out;
        for (const QJsonValue &v : o.value(QLatin1String(key)).toArray())
            out << v.toString();
        return out;
    };
    TImportMapping m;
    m.date = o.value(QLatin1String("date")).toString();
    m.datePattern = o.value(QLatin1String("datePattern")).toString();
    m.amount = o.value(QLatin1String("amount")).toString();
    m.income = o.value(QLatin1String("income")).toString();
    m.expense = o.value(QLatin1String("expense")).toString();
    m.item = list("item");
    m.notes = list("notes");
    m.counterpart = o.value(QLatin1String("counterpart")).toString();
    if (m.date.isEmpty() || (m.amount.isEmpty() && (m.income.isEmpty() || m.expense.isEmpty())))
        return std::nullopt;
    return m;
}

QString HeaderKey(const QStringList &header)
{
    QStringList cells = header;
    while (!cells.isEmpty() && cells.last().isEmpty())
        cells.removeLast();
    return cells.join(QChar(0x1F));
}
