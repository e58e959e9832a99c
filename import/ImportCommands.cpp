#include "import/ImportCommands.h"
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"
#include "store/CateLists.h"
#include "import/BillReader.h"
#include "import/ImportForm.h"
#include "import/ImportSettingsForm.h"
#include "import/XlsxSheet.h"
#include "store/DbClass.h"
#include "store/ImportStore.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>

#include <memory>
#include <optional>

namespace {

const QString kCaption = QStringLiteral("导入账单");

// A window-modal progress bar with 取消 for the long parts of an import; it shows only
// when the work takes longer than a moment.
class TImportProgress {
public:
    TImportProgress(QWidget *owner, const QString &label)
        : m_dialog(label, QStringLiteral("取消"), 0, 100, owner)
    {
        m_dialog.setObjectName(QStringLiteral("frmImportProgress"));
        m_dialog.setWindowTitle(kCaption);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(400);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }
    // For the readers and the store: false once the user pressed 取消.
    std::function<bool(int)> Callback()
    {
        return [this](int percent) {
            m_dialog.setValue(percent);
            QCoreApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

void Warn(QWidget *owner, const TError &e)
{
    Dialogs().Message(owner, e.message() + QStringLiteral("。"), kCaption, IDialogs::Icon::Warning);
}

// A CSV file or workbook of no known form: read by the mapping saved for its header row, or
// else by the one the user sets in "导入设置" (saved when named there). Nothing when the
// user cancels.
std::optional<TBill> ReadByMapping(QWidget *owner, TImportStore &store, const QString &user, const QString &path)
{
    QByteArray bytes;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            Warn(owner, TError(QStringLiteral("无法打开文件“%1”：%2").arg(path, file.errorString())));
            return std::nullopt;
        }
        bytes = file.readAll();
    }
    try {
        bool sheet = false, date1904 = false;
        const TTextEncoding encoding = GuessEncoding(bytes);
        const QList<TTableRow> head = ReadTableRows(bytes, encoding, 30, &sheet, &date1904);
        for (int i = 0; i < head.size(); ++i) {
            const auto saved = store.MappingFor(user, HeaderKey(head.at(i).cells));
            if (!saved)
                continue;
            if (const auto mapping = MappingFromText(saved->second))
                return ReadWithMapping(bytes, encoding, i, *mapping);
        }
    } catch (const TError &e) {
        Warn(owner, e);
    }
    TfrmImportSettings settings(bytes, owner);
    for (;;) {
        if (settings.exec() != QDialog::Accepted)
            return std::nullopt;
        try {
            TBill bill = ReadWithMapping(bytes, settings.Encoding(), settings.HeaderIndex(), settings.Mapping());
            if (!settings.PlanName().isEmpty())
                store.SaveMapping(user, settings.PlanName(), HeaderKey(settings.Header()), MappingText(settings.Mapping()));
            return bill;
        } catch (const TError &e) {
            Warn(owner, e);
        }
    }
}

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
                                                QStringLiteral("账单文件 (*.csv *.xls *.xlsx *.zip);;CSV 文件 (*.csv);;"
                                                               "Excel 文件 (*.xls *.xlsx);;ZIP 压缩包 (*.zip)"));
    if (path.isEmpty())
        return;
    const QString user = session.SessionUser();
    TImportStore store(session.DbFileName());
    std::unique_ptr<TfrmImport> form;
    int imported = 0;
    {
        std::optional<TBill> bill;
        // A password-protected ZIP asks for its password, again after a wrong one; a table of
        // no known form is read by a saved mapping or one the user sets.
        QString password;
        while (!bill) {
            try {
                TBusyScope busy(session, nullptr);
                TImportProgress progress(owner, QStringLiteral("正在读取账单…"));
                bill = ReadBillFile(path, progress.Callback(), password);
            } catch (const TReadCancelled &) {
                return;
            } catch (const TZipPasswordNeeded &) {
                if (!Dialogs().InputText(owner, kCaption, QStringLiteral("解压密码"), password, true) || password.isEmpty())
                    return;
            } catch (const TUnrecognisedTable &) {
                bill = ReadByMapping(owner, store, user, path);
                if (!bill)
                    return;
            } catch (const TError &e) {
                Dialogs().Message(owner, e.message() + QStringLiteral("。"), kCaption, IDialogs::Icon::Warning);
                if (password.isEmpty() || e.message() != QStringLiteral("解压密码不正确"))
                    return;
                password.clear();
                if (!Dialogs().InputText(owner, kCaption, QStringLiteral("解压密码"), password, true) || password.isEmpty())
                    return;
            }
        }
        TBusyScope busy(session, nullptr);
        const QList<TPlanRow> plan = PlanImport(*bill, LoadImportContext(store, user, *bill));
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
    int stored = 0;
    // A failure or a cancel while storing stores nothing and opens the dialog again as the
    // user left it.
    for (;;) {
        if (form->exec() != QDialog::Accepted)
            return;
        try {
            TBusyScope busy(session, nullptr);
            TImportProgress progress(owner, QStringLiteral("正在存入记录…"));
            stored = store.Import(user, QFileInfo(path).fileName(), form->CheckedRecords(), form->LearnedRules(),
                                  progress.Callback());
            break;
        } catch (const TError &e) {
            Dialogs().Message(owner, e.message() + QStringLiteral("。"), kCaption, IDialogs::Icon::Warning);
        }
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
