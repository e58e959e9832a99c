#include "output/SheetExport.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "base/DeliveredFiles.h"
#include "output/xls/Biff.h"
#include "output/xls/Workbook.h"
#include "store/TextLimits.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kSheet = QStringLiteral("Sheet1");
const QString &kIn = kTypeIn;
const QString &kOut = kTypeOut;
const QString kItem = QStringLiteral("项目");

// The summary rows below the data: only the item cell is set.
void AppendSummary(TSheetRows &sheet, const TReportHeader &header)
{
    const int item = int(sheet.columns.indexOf(kItem));
    for (const QString &text :
         {header.Title(), QStringLiteral("收入合计：%1").arg(FormatFen(header.inTotal)),
          QStringLiteral("支出合计：%1").arg(FormatFen(header.outTotal)),
          QStringLiteral("结余合计：%1").arg(FormatFen(header.Balance()))}) {
        QList<TSheetCell> row(sheet.columns.size());
        row[item] = text;
        sheet.rows.append(row);
    }
}

// An amount under the other type: no cell at all.
const TSheetCell kNoAmount;

// A workbook cell holds at most kLongestText units: a text the store handed over shortened
// (one unit longer, with its mark) keeps its mark within the limit.
QString CellText(const QString &text)
{
    if (!IsShortenedText(text))
        return text;
    int keep = kLongestText - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(kShortenedMark);
}

} // namespace

TSheetCell TSheetCell::Amount(TFen fen)
{
    TSheetCell cell(FormatFen(fen));
    cell.kind = Kind::Amount;
    cell.number = YuanFromFen(fen);
    return cell;
}

TSheetCell TSheetCell::Count(qint64 count)
{
    TSheetCell cell(QString::number(count));
    cell.kind = Kind::Count;
    cell.number = double(count);
    return cell;
}

TSheetCell TSheetCell::Share(TFen part, TFen whole)
{
    TSheetCell cell(FormatShare(part, whole));
    cell.kind = Kind::Share;
    cell.number = whole == 0 ? 0.0 : double(part) / double(whole);
    return cell;
}

TSheetRows TransSheetRows(const QList<TRecord> &records, const TReportHeader &header)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("日期"), kItem, kIn, kOut, QStringLiteral("备注")};
    sheet.widths = {12, 32, 12, 12, 44};
    sheet.rows.reserve(records.size() + 4);
    for (const TRecord &record : records) {
        const TRecordTexts t = RecordTexts(record);
        const TSheetCell amount = TSheetCell::Amount(record.amount);
        // An empty note writes no cell at all (a null text).
        sheet.rows.append({t.date, CellText(t.item), record.IsIncome() ? amount : kNoAmount,
                           record.IsExpense() ? amount : kNoAmount,
                           t.notes.isEmpty() ? QString() : CellText(t.notes)});
    }
    AppendSummary(sheet, header);
    return sheet;
}

TSheetRows CatesSheetRows(const QList<TRankRow> &inRanking, const QList<TRankRow> &outRanking,
                          const TReportHeader &header)
{
    TSheetRows sheet;
    sheet.columns = {QStringLiteral("类别"), kItem, QStringLiteral("数量"), kIn, kOut, QStringLiteral("比例")};
    sheet.widths = {8, 32, 8, 12, 12, 10};
    sheet.rows.reserve(inRanking.size() + outRanking.size() + 4);
    for (const QList<TRankRow> *ranking : {&inRanking, &outRanking})
        for (const TRankRow &row : *ranking) {
            const TRankTexts t = RankTexts(row, header.TypeTotal(row.type));
            const TSheetCell sum = TSheetCell::Amount(row.sum);
            const bool income = row.type == kTypeIn;
            sheet.rows.append({t.type, CellText(t.item), TSheetCell::Count(row.count), income ? sum : kNoAmount,
                               income ? kNoAmount : sum,
                               TSheetCell::Share(row.sum, header.TypeTotal(row.type))});
        }
    AppendSummary(sheet, header);
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
    QList<QList<xls::TCell>> placed;
    placed.reserve(rows.rows.size());
    for (const QList<TSheetCell> &row : rows.rows) {
        QList<xls::TCell> cells(width);
        for (int i = 0; i < row.size() && i < target.size(); ++i) {
            const TSheetCell &cell = row[i];
            const quint16 format = cell.kind == TSheetCell::Kind::Share   ? xls::kFormatPercent2
                                   : cell.kind == TSheetCell::Kind::Count ? xls::kFormatInteger
                                                                          : xls::kFormatFixed2;
            cells[target[i]] = cell.IsNumber() ? xls::TCell::Number(cell.number, format) : xls::TCell(cell.text);
        }
        placed.append(cells);
    }
    book.AppendCells(kSheet, placed);
    book.Save(targetPath);
}

int SheetExportRowLimit()
{
    return xls::kMaxRows - 1;
}
