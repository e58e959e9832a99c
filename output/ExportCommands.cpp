#include "output/ExportCommands.h"
#include "app/Dialogs.h"
#include "app/Guard.h"
#include "app/HiClass.h"
#include "app/ListView.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "desktop/DeliveredFiles.h"
#include "output/WebExport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

namespace {

// The save dialog opens with the name of its last use.
QString &LastFileName()
{
    static QString name;
    return name;
}

// Asks for the target file; ext (".xls" or ".html") is appended unless the chosen name
// already ends in it in any letter case. A completed name that exists is replaced only
// after a question, since the dialog asked about the name as typed. Empty when cancelled.
QString ChooseTarget(TfrmMain &main, const QString &ext)
{
    const QString pattern = QLatin1Char('*') + ext;
    const QString chosen = Dialogs().SaveFileName(&main, QStringLiteral("另存为"),
                                                  QStringLiteral("%1 (%1)").arg(pattern), LastFileName());
    if (chosen.isEmpty())
        return QString();
    LastFileName() = chosen;
    const QString target = QFileInfo(chosen).fileName().toLower().endsWith(ext) ? chosen : chosen + ext;
    CheckNotProtected(target);
    if (target == chosen)
        return chosen;
    if (QFileInfo::exists(target) &&
        !Confirm(&main, QStringLiteral("%1 已存在。\r\n要替换它吗？").arg(QDir::toNativeSeparators(target))))
        return QString();
    return target;
}

TExportContext Context(TfrmMain &main)
{
    const TTransPanel &panel = *main.pnlTransactions;
    return {main.SessionUser(), panel.SearchFromDate, panel.SearchToDate, panel.PeriodInTotal,
            panel.PeriodOutTotal};
}

void ReportSuccess(TfrmMain &main, const QString &target)
{
    Dialogs().Message(&main, QStringLiteral("成功！\r\n\r\n") + QDir::toNativeSeparators(target),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

void ExportSheet(TfrmMain &main, bool ranking)
{
    const QString target = ChooseTarget(main, QStringLiteral(".xls"));
    if (target.isEmpty())
        return;
    {
        TBusyScope busy(main, nullptr);
        const TTransPanel &panel = *main.pnlTransactions;
        const TExportContext context = Context(main);
        const TSheetRows rows = ranking
                                    ? CatesSheetRows(CollectRows(panel.lvwInCates), CollectRows(panel.lvwOutCates), context)
                                    : TransSheetRows(CollectRows(panel.lvwTrans), context);
        WriteSheetExport(THi::ProgramPath() + (ranking ? QStringLiteral("cates.xls") : QStringLiteral("trans.xls")),
                         target, rows);
    }
    ReportSuccess(main, target);
}

void ExportPage(TfrmMain &main, bool ranking)
{
    const QString target = ChooseTarget(main, QStringLiteral(".html"));
    if (target.isEmpty())
        return;
    {
        TBusyScope busy(main, nullptr);
        const TTransPanel &panel = *main.pnlTransactions;
        const QList<TMarkerValues> rows = ranking
                                              ? CatesPageRows(CollectRows(panel.lvwInCates), CollectRows(panel.lvwOutCates))
                                              : TransPageRows(CollectRows(panel.lvwTrans));
        WriteWebExport(THi::ProgramPath() + (ranking ? QStringLiteral("cates.html") : QStringLiteral("trans.html")),
                       target, rows, Context(main));
    }
    ReportSuccess(main, target);
}

} // namespace

TListData CollectRows(const QAbstractItemView *listView)
{
    return {ListCaptions(listView), ListRows(listView)};
}

void mnuCatesExport_ToXlsClick(TfrmMain &main) { ExportSheet(main, true); }
void btnTransMore_ToXlsClick(TfrmMain &main) { ExportSheet(main, false); }
void mnuCatesExport_ToHtmlClick(TfrmMain &main) { ExportPage(main, true); }
void btnTransMore_ToHtmlClick(TfrmMain &main) { ExportPage(main, false); }

void ConnectExportCommands(TfrmMain &main)
{
    TTransPanel *panel = main.pnlTransactions;
    TfrmMain *m = &main;
    QObject::connect(panel->mnuCatesExport_ToXls, &QAction::triggered, m,
                     Guarded(m, [m] { mnuCatesExport_ToXlsClick(*m); }));
    QObject::connect(panel->btnTransMore_ToXls, &QAction::triggered, m,
                     Guarded(m, [m] { btnTransMore_ToXlsClick(*m); }));
    QObject::connect(panel->mnuCatesExport_ToHtml, &QAction::triggered, m,
                     Guarded(m, [m] { mnuCatesExport_ToHtmlClick(*m); }));
    QObject::connect(panel->btnTransMore_ToHtml, &QAction::triggered, m,
                     Guarded(m, [m] { btnTransMore_ToHtmlClick(*m); }));
}
