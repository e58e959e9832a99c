#include "browse/ExportCommands.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "base/HiClass.h"
#include "widgets/Session.h"
#include "browse/TransPanel.h"
#include "base/DeliveredFiles.h"
#include "output/WebExport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

namespace {


TReportHeader Header(ISession &session, const TTransPanel &panel)
{
    return TReportHeader::Of(session.SessionUser(), panel.LastSearch());
}

void ReportSuccess(QWidget *owner, const QString &target)
{
    Dialogs().Message(owner, QStringLiteral("成功！\r\n\r\n") + QDir::toNativeSeparators(target),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

TSheetRows SheetRows(ISession &session, const TTransPanel &panel, bool ranking)
{
    const TSearchResult &result = panel.LastSearch();
    const TReportHeader header = Header(session, panel);
    return ranking ? CatesSheetRows(result.inRanking, result.outRanking, header)
                   : TransSheetRows(result.records, header);
}

enum class TSheetForm { Xls, Xlsx, Csv };

void ExportSheet(ISession &session, const TTransPanel &panel, bool ranking, TSheetForm form)
{
    TSheetRows rows;
    {
        TBusyScope busy(session, nullptr);
        rows = SheetRows(session, panel, ranking);
    }
    if (form == TSheetForm::Xls && rows.rows.size() > SheetExportRowLimit()) {
        // Said before the file dialog, not after it.
        if (!Confirm(session.Window(),
                     QStringLiteral("要导出 %1 行，超过了Excel 97-2003工作表所能容纳的 %2 行。\r\n"
                                    "要改为导出为Excel 2007文件(*.xlsx)吗？")
                         .arg(rows.rows.size())
                         .arg(SheetExportRowLimit())))
            return;
        form = TSheetForm::Xlsx;
    }
    const QString ext = form == TSheetForm::Xls    ? QStringLiteral(".xls")
                        : form == TSheetForm::Xlsx ? QStringLiteral(".xlsx")
                                                   : QStringLiteral(".csv");
    const QString target = ChooseExportTarget(session.Window(), ext);
    if (target.isEmpty())
        return;
    {
        TBusyScope busy(session, nullptr);
        switch (form) {
        case TSheetForm::Xls:
            WriteSheetExport(THi::DeliveredFile(ranking ? QStringLiteral("cates.xls") : QStringLiteral("trans.xls")),
                             target, rows);
            break;
        case TSheetForm::Xlsx:
            WriteXlsxExport(target, rows);
            break;
        case TSheetForm::Csv:
            WriteCsvExport(target, rows);
            break;
        }
    }
    ReportSuccess(session.Window(), target);
}

void ExportPage(ISession &session, const TTransPanel &panel, bool ranking)
{
    const QString target = ChooseExportTarget(session.Window(), QStringLiteral(".html"));
    if (target.isEmpty())
        return;
    {
        TBusyScope busy(session, nullptr);
        const TSearchResult &result = panel.LastSearch();
        const TReportHeader header = Header(session, panel);
        const QList<TMarkerValues> rows = ranking ? CatesPageRows(result.inRanking, result.outRanking, header)
                                                  : TransPageRows(result.records);
        WriteWebExport(THi::DeliveredFile(ranking ? QStringLiteral("cates.html") : QStringLiteral("trans.html")),
                       target, rows, header);
    }
    ReportSuccess(session.Window(), target);
}

} // namespace

void ConnectExportCommands(ISession &session, TTransPanel &panel)
{
    ISession *m = &session;
    TTransPanel *p = &panel;
    QWidget *owner = session.Window();
    const TTransPanel::TExportEntries records = panel.RecordsExportEntries();
    const TTransPanel::TExportEntries ranked = panel.RankingExportEntries();
    const struct {
        QAction *action;
        bool ranking;
        TSheetForm form;
    } sheetEntries[] = {
        {ranked.xls, true, TSheetForm::Xls}, {records.xls, false, TSheetForm::Xls},
        {ranked.xlsx, true, TSheetForm::Xlsx}, {records.xlsx, false, TSheetForm::Xlsx},
        {ranked.csv, true, TSheetForm::Csv}, {records.csv, false, TSheetForm::Csv}};
    for (const auto &[action, ranking, form] : sheetEntries) {
        QObject::connect(action, &QAction::triggered, p,
                         Guarded(owner, [m, p, ranking, form] { ExportSheet(*m, *p, ranking, form); }));
    }
    QObject::connect(ranked.html, &QAction::triggered, p,
                     Guarded(owner, [m, p] { ExportPage(*m, *p, true); }));
    QObject::connect(records.html, &QAction::triggered, p,
                     Guarded(owner, [m, p] { ExportPage(*m, *p, false); }));
}
