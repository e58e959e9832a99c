#include "import/ImportPlan.h"
#include "base/HiClass.h"

#include <algorithm>
#include <cstdio>

namespace {

QString RecordText(const TStoredRecord &r);

// WeChat writes "/" where a cell has nothing to say.
QString Meaningful(const QString &text)
{
    const QString t = THi::Trim(text);
    return t == QLatin1String("/") ? QString() : t;
}

bool IsNotCompleted(const QString &status)
{
    static const QString words[] = {QStringLiteral("关闭"), QStringLiteral("失败"), QStringLiteral("撤销"),
                                    QStringLiteral("取消")};
    return !status.isEmpty() && std::any_of(std::begin(words), std::end(words),
                                            [&](const QString &w) { return status.contains(w); });
}

// Alipay states of a payment that has not happened yet.
bool IsNotFinished(const QString &status)
{
    static const QString words[] = {QStringLiteral("等待付款"), QStringLiteral("等待买家付款"),
                                    QStringLiteral("处理中"), QStringLiteral("等待对方收款")};
    return !status.isEmpty() && std::any_of(std::begin(words), std::end(words),
                                            [&](const QString &w) { return status.contains(w); });
}

// text cut to limit characters, never in the middle of a character outside the basic plane.
QString CutText(const QString &text, int limit)
{
    if (text.size() <= limit)
        return text;
    QString cut = text.left(limit);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

bool IsFullRefund(const TBillRow &row)
{
    const QString &s = row.status;
    if (s == QStringLiteral("退款成功") || s == QStringLiteral("已全额退款") ||
        s == QStringLiteral("对方已退还") || s == QStringLiteral("已退款"))
        return true;
    return row.refundFen > 0 && row.refundFen >= row.amountFen;
}

TUncheckedReason Reason(const TBillRow &row)
{
    if (row.transfer)
        return TUncheckedReason::Transfer;
    if (row.direction == TBillDirection::Neither)
        return TUncheckedReason::NotCounted;
    if (IsNotCompleted(row.status))
        return TUncheckedReason::NotCompleted;
    if (IsNotFinished(row.status))
        return TUncheckedReason::NotFinished;
    if (IsFullRefund(row))
        return TUncheckedReason::FullRefund;
    if (row.paidFen() <= 0)
        return TUncheckedReason::NotCompleted;
    return TUncheckedReason::None;
}

bool HasOrderNumbers(TBillSource source)
{
    return source == TBillSource::AlipayApp || source == TBillSource::AlipayWeb || source == TBillSource::WeChatCsv ||
           source == TBillSource::WeChatXlsx;
}

QString Family(TBillSource source)
{
    switch (source) {
    case TBillSource::AlipayApp:
    case TBillSource::AlipayWeb:
        return QStringLiteral("alipay");
    case TBillSource::WeChatCsv:
    case TBillSource::WeChatXlsx:
        return QStringLiteral("wechat");
    case TBillSource::Suishouji:
        return QStringLiteral("suishouji");
    case TBillSource::Qianji:
        return QStringLiteral("qianji");
    case TBillSource::Koudai:
        return QStringLiteral("koudai");
    case TBillSource::Icbc:
        return QStringLiteral("icbc");
    case TBillSource::Cmb:
        return QStringLiteral("cmb");
    case TBillSource::Ccb:
        return QStringLiteral("ccb");
    case TBillSource::Mapped:
        break;
    }
    return QStringLiteral("table");
}

} // namespace

// "yyyy-MM-dd HH:mm:ss", written by hand: a large file has hundreds of thousands.
QString TimeText(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                  t.minute(), t.second());
    return QString::fromLatin1(text);
}

QString BillKey(TBillSource source, const TBillRow &row)
{
    const QString family = Family(source);
    if (!HasOrderNumbers(source)) {
        QString key = family;
        key += QLatin1Char(':') + TimeText(row.time) + QLatin1Char('|');
        if (row.direction == TBillDirection::Out)
            key += QLatin1Char('-');
        key += QString::number(row.amountFen) + QLatin1Char('|') + Meaningful(row.counterpart) + QLatin1Char('|') +
               Meaningful(row.goods);
        return key;
    }
    if (!Meaningful(row.orderNo).isEmpty())
        return family + QLatin1Char(':') + Meaningful(row.orderNo);
    return QStringLiteral("%1:%2|%3|%4")
        .arg(family, row.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(row.amountFen)
        .arg(Meaningful(row.counterpart));
}

QString ImportNotes(const TBillRow &row)
{
    QStringList parts;
    for (const QString &p : {Meaningful(row.counterpart), Meaningful(row.goods)})
        if (!p.isEmpty())
            parts << p;
    QString suffix;
    if (row.refundFen > 0 && row.refundFen < row.amountFen)
        suffix = QStringLiteral("（已退款 %1 元）").arg(THi::FormatAmount(double(row.refundFen) / 100.0));
    const QString text = CutText(parts.join(QLatin1Char(' ')), kImportNotesLimit - int(suffix.size()));
    return THi::Trim(text + suffix);
}

QString DefaultItem(const TBillRow &row, const QHash<QString, QString> &rules)
{
    const QString counterpart = Meaningful(row.counterpart);
    const QString learned = rules.value(counterpart);
    if (!counterpart.isEmpty() && !THi::Trim(learned).isEmpty())
        return THi::Trim(CutText(THi::Trim(learned), kImportItemLimit));
    for (const QString &candidate : {Meaningful(row.category), counterpart, Meaningful(row.goods)})
        if (!candidate.isEmpty())
            return THi::Trim(CutText(candidate, kImportItemLimit));
    return QStringLiteral("其他");
}

QList<TPlanRow> PlanImport(const TBill &bill, const TImportContext &context)
{
    QList<TPlanRow> plan;
    plan.reserve(bill.rows.size());
    QSet<QString> seen;
    // Without order numbers two equal records of one day (two bus rides) are told apart by
    // their count, so that the same file imported again finds each of them known.
    QHash<QString, int> occurrences;
    const bool counted = !HasOrderNumbers(bill.source);
    for (const TBillRow &row : bill.rows) {
        TPlanRow p;
        p.bill = row;
        p.key = BillKey(bill.source, row);
        if (counted)
            p.key += QLatin1Char('#') + QString::number(++occurrences[p.key]);
        p.amountFen = row.paidFen();
        p.notes = ImportNotes(row);
        if (row.direction == TBillDirection::Out) {
            p.type = kTypeOut;
            p.item = DefaultItem(row, context.outRules);
        } else if (row.direction == TBillDirection::In) {
            p.type = kTypeIn;
            p.item = DefaultItem(row, context.inRules);
        }
        if (context.importedKeys.contains(p.key))
            p.reason = TUncheckedReason::AlreadyImported;
        else if (seen.contains(p.key))
            p.reason = TUncheckedReason::Repeated;
        else
            p.reason = Reason(row);
        // Counted keys are unique already.
        if (!counted)
            seen.insert(p.key);
        if (p.reason == TUncheckedReason::None && !context.stored.isEmpty()) {
            // The same payment seen from another source: a card payment in the bank's
            // statement that is also in the payment app's bill.
            for (const TStoredRecord &r : context.stored)
                if (r.date == row.date() && r.type == p.type && r.amountFen == p.amountFen && ShareAName(row, r)) {
                    p.reason = TUncheckedReason::PossibleDuplicate;
                    p.duplicateOf = RecordText(r);
                    break;
                }
        }
        p.checked = p.reason == TUncheckedReason::None;
        plan << std::move(p);
    }
    return plan;
}

int AllImportedBefore(const QList<TPlanRow> &plan)
{
    QSet<QString> imported;
    for (const TPlanRow &row : plan) {
        switch (row.reason) {
        case TUncheckedReason::None:
        case TUncheckedReason::PossibleDuplicate:  // the user may still want these two
        case TUncheckedReason::Transfer:
            return 0;
        case TUncheckedReason::AlreadyImported:
            imported.insert(row.key);
            break;
        case TUncheckedReason::NotCounted:
        case TUncheckedReason::NotCompleted:
        case TUncheckedReason::NotFinished:
        case TUncheckedReason::FullRefund:
        case TUncheckedReason::Repeated:
            break;
        }
    }
    return int(imported.size());
}

TImportContext LoadImportContext(TImportStore &store, const QString &user, const TBill &bill)
{
    TImportContext context = LoadImportContext(store, user);
    QDate first, last;
    for (const TBillRow &row : bill.rows) {
        if (!first.isValid() || row.date() < first)
            first = row.date();
        if (!last.isValid() || row.date() > last)
            last = row.date();
    }
    if (first.isValid())
        context.stored = store.RecordsBetween(user, first, last);
    return context;
}

namespace {

// The words of a text: runs between blanks and punctuation, two characters or more.
QStringList Words(const QString &text)
{
    QStringList words;
    QString word;
    auto flush = [&] {
        if (word.size() >= 2 && word != QLatin1String("/"))
            words << word;
        word.clear();
    };
    for (QChar c : text) {
        if (c.isSpace() || c.isPunct() || c.isSymbol())
            flush();
        else
            word += c;
    }
    flush();
    return words;
}

bool AnyWordIn(const QStringList &words, const QString &text)
{
    return std::any_of(words.cbegin(), words.cend(), [&](const QString &w) { return text.contains(w); });
}

QString RecordText(const TStoredRecord &r)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(r.date.toString(Qt::ISODate), r.type, r.item,
             QStringLiteral("%1.%2").arg(r.amountFen / 100).arg(r.amountFen % 100, 2, 10, QLatin1Char('0')), r.notes)
        .trimmed();
}

} // namespace

bool ShareAName(const TBillRow &row, const TStoredRecord &record)
{
    const QString rowText = Meaningful(row.counterpart) + QLatin1Char(' ') + Meaningful(row.goods);
    const QString storedText = record.item + QLatin1Char(' ') + record.notes;
    return AnyWordIn(Words(rowText), storedText) || AnyWordIn(Words(record.notes), rowText);
}

TImportContext LoadImportContext(TImportStore &store, const QString &user)
{
    TImportContext context;
    context.importedKeys = store.ImportedKeys(user);
    context.outRules = store.ItemRules(user, kTypeOut);
    context.inRules = store.ItemRules(user, kTypeIn);
    return context;
}

TImportRecord ToRecord(const TPlanRow &row)
{
    return TImportRecord{row.key, row.bill.date(), row.type, row.item, row.amountFen, row.notes};
}
