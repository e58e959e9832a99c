#include "output/FamilySheets.h"

namespace {

const QString kIn = QStringLiteral("收入");
const QString kOut = QStringLiteral("支出");
const QString kBalance = QStringLiteral("结余");

TSheetRows MemberRows(const TFamilySummary &s)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("成员"), kIn, kOut, kBalance, QStringLiteral("支出占比")};
    sheet.widths = {16, 14, 14, 14, 10};
    for (const TFamilyMember &m : s.members)
        sheet.rows.append({m.name, TSheetCell::Amount(m.in), TSheetCell::Amount(m.out),
                           TSheetCell::Amount(m.Balance()), TSheetCell::Share(m.out, s.outTotal)});
    for (const QString &name : s.notJoined)
        sheet.rows.append({name, kNotJoined, QString(), QString(), QString()});
    sheet.rows.append({kFamilyTotal, TSheetCell::Amount(s.inTotal), TSheetCell::Amount(s.outTotal),
                       TSheetCell::Amount(s.Balance()), TSheetCell::Share(s.outTotal, s.outTotal)});
    return sheet;
}

TSheetRows ItemRows(const TFamilySummary &s)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("类别"), QStringLiteral("项目"), QStringLiteral("数量"),
                     QStringLiteral("金额"), QStringLiteral("比例")};
    sheet.widths = {8, 32, 8, 14, 10};
    for (const TFamilyMember &m : s.members) {
        sheet.columns << m.name;
        sheet.widths << 14;
    }
    for (const QList<TFamilyItem> *items : {&s.outItems, &s.inItems})
        for (const TFamilyItem &item : *items) {
            QList<TSheetCell> row{item.type, item.item, QString::number(item.count),
                                  TSheetCell::Amount(item.sum),
                                  TSheetCell::Share(item.sum, s.TypeTotal(item.type))};
            for (TFen sum : item.byMember)
                row << TSheetCell::Amount(sum);
            sheet.rows.append(row);
        }
    return sheet;
}

TSheetRows MonthRows(const TFamilySummary &s)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("月份")};
    sheet.widths = {10};
    for (const TFamilyMember &m : s.members) {
        sheet.columns << m.name + kOut;
        sheet.widths << 14;
    }
    sheet.columns << QStringLiteral("家庭收入") << QStringLiteral("家庭支出") << QStringLiteral("家庭结余");
    sheet.widths << 14 << 14 << 14;
    for (const TFamilyMonth &month : s.months) {
        QList<TSheetCell> row{MonthText(month.month)};
        for (TFen out : month.outByMember)
            row << TSheetCell::Amount(out);
        row << TSheetCell::Amount(month.in) << TSheetCell::Amount(month.out)
            << TSheetCell::Amount(month.Balance());
        sheet.rows.append(row);
    }
    return sheet;
}

} // namespace

TReportHeader FamilyHeader(const TFamilySummary &summary)
{
    return {kFamilyTitle, summary.fromDate, summary.toDate, summary.inTotal, summary.outTotal};
}

TSheetRows FamilyRows(const TFamilySummary &summary, TFamilyView view)
{
    if (!summary.viewerAgreed)
        return {};
    switch (view) {
    case TFamilyView::Members:
        return MemberRows(summary);
    case TFamilyView::Items:
        return ItemRows(summary);
    case TFamilyView::Months:
        break;
    }
    return MonthRows(summary);
}

TSheetRows FamilyExportRows(const TFamilySummary &summary, TFamilyView view)
{
    TSheetRows sheet = FamilyRows(summary, view);
    const TReportHeader header = FamilyHeader(summary);
    for (const QString &text :
         {header.Title(), QStringLiteral("收入合计：%1").arg(FormatFen(header.inTotal)),
          QStringLiteral("支出合计：%1").arg(FormatFen(header.outTotal)),
          QStringLiteral("结余合计：%1").arg(FormatFen(header.Balance()))}) {
        QList<TSheetCell> row(qMax<qsizetype>(1, sheet.columns.size()));
        row[0] = text;
        sheet.rows.append(row);
    }
    return sheet;
}
