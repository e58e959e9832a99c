#pragma once
#include "output/SheetExport.h"
#include "store/FamilyStore.h"

// The three views of the family summary as rows of cells: the window shows their texts,
// the exports write them (amounts and shares as numbers) and the printed report lays them
// out. Only sums and member names appear in them.
enum class TFamilyView { Members, Items, Months };

inline const QString kFamilyTitle = QStringLiteral("家庭汇总");
inline const QString kFamilyTotal = QStringLiteral("家庭合计");
inline const QString kNotJoined = QStringLiteral("未加入");

// The title, period and family totals of the exports and the printed report.
TReportHeader FamilyHeader(const TFamilySummary &summary);

// 按成员: one row per agreeing member (收入, 支出, 结余, share of the family's expense), one
// row "未加入" per other member, then the totals row "家庭合计".
// 按项目: the expense items, then the income items, each largest sum first, with count,
// sum, share of their type's total and one column per agreeing member.
// 按月: one row per month of the span: each agreeing member's expense, then the family's
// income, expense and balance.
TSheetRows FamilyRows(const TFamilySummary &summary, TFamilyView view);

// The rows of a view followed by the title and the three totals rows, as exported.
TSheetRows FamilyExportRows(const TFamilySummary &summary, TFamilyView view);
