#include "output/ListTexts.h"

TReportHeader TReportHeader::Of(const QString &userName, const TSearchResult &result)
{
    return {userName, result.fromDate, result.toDate, result.inTotal, result.outTotal};
}

QString TReportHeader::Period() const
{
    return QStringLiteral("(%1 至 %2)").arg(DateText(fromDate), DateText(toDate));
}

QString TReportHeader::Title() const
{
    return userName + QLatin1Char(' ') + Period();
}

QString DateText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString MonthText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM"));
}

TRecordTexts RecordTexts(const TRecord &record)
{
    const QString amount = FormatFen(record.amount);
    return {DateText(record.date), record.item, record.IsIncome() ? amount : QString(),
            record.IsExpense() ? amount : QString(), record.notes};
}

TRankTexts RankTexts(const TRankRow &row, TFen typeTotal)
{
    const QString sum = FormatFen(row.sum);
    const bool income = row.type == kTypeIn;
    return {row.type, row.item, QString::number(row.count), income ? sum : QString(),
            income ? QString() : sum, FormatShare(row.sum, typeTotal)};
}

QString ChartSliceText(const QString &item, TFen sum, TFen whole)
{
    return QStringLiteral("%1 %2").arg(item, FormatShare(sum, whole));
}

QString ChartSliceTip(const QString &item, TFen sum, TFen whole)
{
    return QStringLiteral("%1 %2 (%3)").arg(item, FormatFen(sum), FormatShare(sum, whole));
}

QString ChartMonthText(const QDate &month, bool oneYear)
{
    return oneYear ? QStringLiteral("%1月").arg(month.month()) : MonthText(month);
}
