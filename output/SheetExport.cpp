#include "output/SheetExport.h"
#include "app/Errors.h"
#include "app/HiClass.h"
#include "desktop/DeliveredFiles.h"
#include "output/xls/Workbook.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kSheet = QStringLiteral("Sheet1");
const QString kIn = QStringLiteral("收入");
const QString kOut = QStringLiteral("支出");
const QString kItem = QStringLiteral("项目");

// The summary rows below the data: only the item cell is set.
void AppendSummary(TSheetRows &sheet, const TExportContext &context)
{
    const int item = int(sheet.columns.indexOf(kItem));
    for (const QString &text :
         {context.Title(), QStringLiteral("收入合计：%1").arg(THi::FormatAmount(context.inTotal)),
          QStringLiteral("支出合计：%1").arg(THi::FormatAmount(context.outTotal)),
          QStringLiteral("结余合计：%1").arg(THi::FormatAmount(context.Balance()))}) {
        QStringList row(sheet.columns.size());
        row[item] = text;
        sheet.rows.append(row);
    }
}

QString SpaceIfEmpty(const QString &text)
{
    return text.isEmpty() ? QStringLiteral(" ") : text;
}

} // namespace

int TListData::Column(const QString &caption) const
{
    const int c = int(captions.indexOf(caption));
    if (c < 0)
        throw TError(QStringLiteral("列表中没有“%1”列").arg(caption));
    return c;
}

QString TListData::Cell(const QStringList &row, int column) const
{
    // A null text means "no cell" to the workbook writer; a shown cell is never that.
    static const QString empty = QStringLiteral("");
    return column < row.size() && !row[column].isNull() ? row[column] : empty;
}

QString TExportContext::Title() const
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    return QStringLiteral("%1 (%2 至 %3)").arg(user, fromDate.toString(format), toDate.toString(format));
}

TSheetRows TransSheetRows(const TListData &trans, const TExportContext &context)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("日期"), kItem, kIn, kOut, QStringLiteral("备注")};
    const int date = trans.Column(sheet.columns[0]), item = trans.Column(kItem),
              in = trans.Column(kIn), out = trans.Column(kOut), notes = trans.Column(sheet.columns[4]);
    sheet.rows.reserve(trans.rows.size() + 4);
    for (const QStringList &row : trans.rows) {
        const QString note = trans.Cell(row, notes);
        sheet.rows.append({trans.Cell(row, date), trans.Cell(row, item), SpaceIfEmpty(trans.Cell(row, in)),
                           SpaceIfEmpty(trans.Cell(row, out)), note.isEmpty() ? QString() : note});
    }
    AppendSummary(sheet, context);
    return sheet;
}

TSheetRows CatesSheetRows(const TListData &inCates, const TListData &outCates,
                          const TExportContext &context)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("类别"), kItem, QStringLiteral("数量"), kIn, kOut, QStringLiteral("比例")};
    for (const TListData *list : {&inCates, &outCates}) {
        const int type = list->Column(sheet.columns[0]), item = list->Column(kItem),
                  qty = list->Column(sheet.columns[2]), share = list->Column(QStringLiteral("0 - 100%"));
        // The amount sits under 收入 in the income list and under 支出 in the expense list.
        const int amount = list->captions.contains(kIn) ? list->Column(kIn) : list->Column(kOut);
        for (const QStringList &row : list->rows) {
            const bool income = list->Cell(row, type) == kIn;
            const QString sum = list->Cell(row, amount);
            sheet.rows.append({list->Cell(row, type), list->Cell(row, item), list->Cell(row, qty),
                               income ? sum : QStringLiteral(" "), income ? QStringLiteral(" ") : sum,
                               list->Cell(row, share)});
        }
    }
    AppendSummary(sheet, context);
    return sheet;
}

void WriteSheetExport(const QString &templatePath, const QString &targetPath, const TSheetRows &rows)
{
    if (!QFileInfo::exists(templatePath))
        throw TError(QStringLiteral("找不到Excel模板文件“%1”").arg(templatePath));
    CheckNotTemplate(templatePath, targetPath);
    xls::TWorkbook book = xls::TWorkbook::Load(templatePath);
    QStringList header = book.HeaderRow(kSheet);
    for (QString &caption : header)
        caption = THi::Trim(caption);
    QList<int> target;
    int width = 0;
    for (const QString &name : rows.columns) {
        const int c = int(header.indexOf(name));
        if (c < 0)
            throw TError(QStringLiteral("Excel模板“%1”的工作表%2第一行中没有“%3”列").arg(templatePath, kSheet, name));
        target.append(c);
        width = std::max(width, c + 1);
    }
    QList<QStringList> placed;
    placed.reserve(rows.rows.size());
    for (const QStringList &row : rows.rows) {
        QStringList cells(width);
        for (int i = 0; i < row.size() && i < target.size(); ++i)
            cells[target[i]] = row[i];
        placed.append(cells);
    }
    book.AppendRows(kSheet, placed);
    book.Save(targetPath);
}
