#include "import/ImportCommands.h"
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"
#include "store/CateLists.h"
#include "import/BillReader.h"
#include "import/ImportForm.h"
#include "store/DbClass.h"
#include "store/ImportStore.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include <memory>
#include <optional>

namespace {

const QString kCaption = QStringLiteral("导入账单");

} // namespace

void AddImportCommands(QMenu *menu, ISession &session, std::function<void()> itemsChanged)
{
    QAction *importBill = menu->addAction(QStringLiteral("导入账单..."));
    importBill->setObjectName(QStringLiteral("mnuMenu_ImportBill"));
    QAction *undo = menu->addAction(QStringLiteral("撤销上次导入"));
    undo->setObjectName(QStringLiteral("mnuMenu_UndoImport"));
    QWidget *owner = session.Window();
    QObject::connect(importBill, &QAction::triggered, owner,
                     Guarded(owner, [&session, itemsChanged] { ImportBillCommand(session, itemsChanged); }));
    QObject::connect(undo, &QAction::triggered, owner, Guarded(owner, [&session] { UndoImportCommand(session); }));
}

void ImportBillCommand(ISession &session, const std::function<void()> &itemsChanged)
{
    QWidget *owner = session.Window();
    const QString path = Dialogs().OpenFileName(owner, QStringLiteral("选择账单文件"),
                                                QStringLiteral("账单文件 (*.csv *.xlsx);;CSV 文件 (*.csv);;XLSX 文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    const QString user = session.SessionUser();
    TImportStore store(session.DbFileName());
    std::unique_ptr<TfrmImport> form;
    int imported = 0;
    {
        TBusyScope busy(session, nullptr);
        std::optional<TBill> bill;
        try {
            bill = ReadBillFile(path);
        } catch (const TError &e) {
            Dialogs().Message(owner, e.message() + QStringLiteral("。"), kCaption, IDialogs::Icon::Warning);
            return;
        }
        const QList<TPlanRow> plan = PlanImport(*bill, LoadImportContext(store, user));
        // A dialog with every row unchecked would leave the user nothing to do but cancel.
        imported = AllImportedBefore(plan);
        if (imported == 0)
            form = std::make_unique<TfrmImport>(
                plan, CateTextToEntries(session.SessionDb().GetCates(user, QStringLiteral("out"))),
                CateTextToEntries(session.SessionDb().GetCates(user, QStringLiteral("in"))), owner);
    }
    if (imported > 0) {
        Dialogs().Message(owner, QStringLiteral("这份账单的 %1 条记录都已导入过。").arg(imported), kCaption,
                          IDialogs::Icon::Information);
        return;
    }
    if (form->exec() != QDialog::Accepted)
        return;
    int stored = 0;
    {
        TBusyScope busy(session, nullptr);
        stored = store.Import(user, QFileInfo(path).fileName(), form->CheckedRecords(), form->LearnedRules());
    }
    if (itemsChanged)
        itemsChanged();
    Dialogs().Message(owner, QStringLiteral("已导入 %1 条记录。").arg(stored), kCaption,
                      IDialogs::Icon::Information);
}

void UndoImportCommand(ISession &session)
{
    QWidget *owner = session.Window();
    const QString caption = QStringLiteral("撤销上次导入");
    TImportStore store(session.DbFileName());
    const std::optional<TImportBatch> last = store.LastImport(session.SessionUser());
    if (!last) {
        Dialogs().Message(owner, QStringLiteral("没有可以撤销的导入。"), caption, IDialogs::Icon::Information);
        return;
    }
    QString question = QStringLiteral("上次导入（%1，文件“%2”）存入了 %3 条记录，其中 %4 条未曾改动。\n"
                                      "您真的想要删除这 %4 条记录吗？")
                           .arg(last->time.toString(QStringLiteral("yyyy-MM-dd HH:mm")), last->fileName)
                           .arg(last->recordCount)
                           .arg(last->unchangedCount);
    if (!ConfirmDestructive(owner, question))
        return;
    int removed = 0;
    {
        TBusyScope busy(session, nullptr);
        removed = store.UndoLastImport(session.SessionUser());
    }
    Dialogs().Message(owner, QStringLiteral("已删除 %1 条记录。").arg(removed), caption, IDialogs::Icon::Information);
}
