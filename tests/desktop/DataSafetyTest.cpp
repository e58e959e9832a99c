// Nothing clicked through the program's dialogs can destroy data: a restore keeps the
// ledger it replaces, the delivered files are never written, and the program's own folder
// is never a target.
#include "DesktopSupport.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "widgets/QtDialogs.h"
#include "browse/TransPanel.h"
#include "login/LoginPrep.h"
#include "output/SheetExport.h"
#include "output/WebExport.h"
#include "store/DbClass.h"
#include "store/LedgerSnapshot.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {

// The per-user data folder in a temporary folder, for one test.
class TDataFolder {
public:
    TDataFolder() : m_old(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }
    ~TDataFolder() { qputenv("XDG_DATA_HOME", m_old); }
    QString AppFolder() const { return m_dir.filePath(QStringLiteral("data/Tallyfern")); }
    QString File(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

int Mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// A ledger with one account, and a backup of it holding another.
struct TLedgerAndBackup {
    TDataFolder data;
    QString ledger, backup;
    QByteArray ledgerBytes;
    TLedgerAndBackup()
    {
        ledger = PrepareLedgerFile(QString());
        backup = data.File(QStringLiteral("family.zovalt"));
        QFile::copy(ledger, backup);
        TDbMan(backup).AddUser(QStringLiteral("FromBackup"), QStringLiteral("1"));
        TDbMan(ledger).AddUser(QStringLiteral("Current"), QStringLiteral("2"));
        TDbMan(ledger).AddRecords(QStringLiteral("Current"), NewRecords({{"2026-01-02", "支出", "午餐", "12.5", ""}}));
        ledgerBytes = THi::ReadWholeFile(ledger);
    }
};

} // namespace

TEST(RestoreSnapshot, TheReplacedLedgerIsKeptByteForByteInThePrivateSnapshotFolder)
{
    TLedgerAndBackup f;
    QString failure, snapshot;
    EXPECT_EQ(PrepareLedgerFile(f.backup, &failure, &snapshot), f.ledger);
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(TDbMan(f.ledger).GetUsers(), QStringLiteral("FromBackup"));

    const QString folder = f.data.AppFolder() + QStringLiteral("/snapshots");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1/db-before-restore-\\d{8}-\\d{6}\\.zovalt$")
                                       .arg(QRegularExpression::escape(folder)))
                    .match(snapshot)
                    .hasMatch())
        << snapshot.toStdString();
    EXPECT_EQ(THi::ReadWholeFile(snapshot), f.ledgerBytes);
    EXPECT_EQ(Mode(snapshot), 0600);
    EXPECT_EQ(Mode(folder), 0700);
    EXPECT_TRUE(RestoredMessage(snapshot).contains(snapshot));

    // The snapshot is a backup like any other: restoring it brings the old ledger back,
    // and the restore keeps a second snapshot under a name of its own.
    QString second;
    PrepareLedgerFile(snapshot, &failure, &second);
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(TDbMan(f.ledger).GetUsers(), QStringLiteral("Current"));
    EXPECT_NE(second, snapshot);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(RestoreSnapshot, SnapshotsOfTheSameSecondGetTheirOwnNames)
{
    TLedgerAndBackup f;
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QString folder = f.data.File(QStringLiteral("kept"));
    const QString a = SnapshotLedger(f.ledger, folder, when);
    const QString b = SnapshotLedger(f.ledger, folder, when);
    EXPECT_EQ(QFileInfo(a).fileName(), QStringLiteral("db-before-restore-20260304-050607.zovalt"));
    EXPECT_EQ(QFileInfo(b).fileName(), QStringLiteral("db-before-restore-20260304-050607-2.zovalt"));
    EXPECT_EQ(THi::ReadWholeFile(b), f.ledgerBytes);
}

TEST(RestoreSnapshot, ASnapshotThatCannotBeMadeStopsTheRestoreWithAMessage)
{
    TLedgerAndBackup f;
    // A file where the snapshot folder belongs.
    THi::WriteWholeFile(f.data.AppFolder() + QStringLiteral("/snapshots"), "in the way");
    QString failure, snapshot;
    PrepareLedgerFile(f.backup, &failure, &snapshot);
    EXPECT_TRUE(failure.contains(QStringLiteral("无法保存恢复前的数据副本"))) << failure.toStdString();
    EXPECT_EQ(snapshot, QString());
    EXPECT_EQ(THi::ReadWholeFile(f.ledger), f.ledgerBytes);
    EXPECT_EQ(QDir(f.data.AppFolder()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"db.zovalt", "snapshots"}));
}

TEST(RestoreSnapshot, TheDeliveredEmptyLedgerAndTheCurrentLedgerAreRefused)
{
    // Through the menu, before the window closes.
    TScriptedDialogs &dlg = Scripted();
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("Mum"));
    QStringList successors;
    window->SuccessorStarter = [&successors](const QString &argument) {
        successors << argument;
        return true;
    };
    window->show();
    const QByteArray before = THi::ReadWholeFile(ledger.Path());
    for (const QString &chosen : {TemplateLedgerPath(), ledger.Path()}) {
        dlg.Reset();
        dlg.fileNames << chosen;
        Child<QAction>(window.get(), "mnuMenu_Restore")->trigger();
        ASSERT_EQ(dlg.Kinds(), (QStringList{"open", "message"})) << chosen.toStdString();
        EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("从备份中恢复数据"));
        EXPECT_TRUE(dlg.calls[1].text.contains(QStringLiteral("不能用它恢复数据"))) << dlg.calls[1].text.toStdString();
    }
    EXPECT_TRUE(successors.isEmpty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(THi::ReadWholeFile(ledger.Path()), before);

    // Named on the command line of a new instance.
    TLedgerAndBackup f;
    for (const QString &argument : {TemplateLedgerPath(), f.ledger}) {
        QString failure;
        PrepareLedgerFile(argument, &failure);
        EXPECT_TRUE(failure.contains(QStringLiteral("不能用它恢复数据"))) << failure.toStdString();
        EXPECT_EQ(THi::ReadWholeFile(f.ledger), f.ledgerBytes);
    }
    EXPECT_FALSE(QFileInfo::exists(f.data.AppFolder() + QStringLiteral("/snapshots")));
}

TEST(DeliveredFiles, NoExportOrBackupWritesIntoTheProgramsFolder)
{
    TScriptedDialogs &dlg = Scripted();
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
    const QStringList delivered{"trans.xls", "cates.xls", "trans.html", "cates.html", "db.zovalt"};
    QList<QByteArray> before;
    for (const QString &name : delivered)
        before << THi::ReadWholeFile(THi::ProgramPath() + name);

    TTransPanel *panel = TransactionsPanel(window);
    const struct {
        QAction *command;
        const char *typed;
    } attempts[] = {{Child<QAction>(panel, "btnTransMore_ToXls"), "trans.xls"},
                    {Child<QAction>(panel, "mnuCatesExport_ToXls"), "cates"},
                    {Child<QAction>(panel, "btnTransMore_ToHtml"), "trans.html"},
                    {Child<QAction>(panel, "mnuCatesExport_ToHtml"), "new"},
                    {Child<QAction>(window.get(), "mnuMenu_Backup"), "db"}};
    for (const auto &a : attempts) {
        dlg.Reset();
        dlg.fileNames << THi::ProgramPath() + QString::fromLatin1(a.typed);
        a.command->trigger();
        ASSERT_EQ(dlg.Kinds(), (QStringList{"save", "message"})) << a.typed;
        EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Error);
        EXPECT_TRUE(dlg.calls[1].text.contains(QStringLiteral("不能把文件保存到程序自己的文件夹"))) << a.typed;
    }
    for (int i = 0; i < delivered.size(); ++i)
        EXPECT_EQ(THi::ReadWholeFile(THi::ProgramPath() + delivered[i]), before[i]) << delivered[i].toStdString();
    EXPECT_FALSE(QFileInfo::exists(THi::ProgramPath() + QStringLiteral("new.html")));

    // The writers themselves never replace their template, wherever it lies.
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("t.xls")), html = dir.filePath(QStringLiteral("t.html"));
    QFile::copy(THi::ProgramPath() + QStringLiteral("trans.xls"), xls);
    QFile::copy(THi::ProgramPath() + QStringLiteral("trans.html"), html);
    EXPECT_THROW(WriteSheetExport(xls, xls, {}), TError);
    EXPECT_THROW(WriteWebExport(html, dir.filePath(QStringLiteral("./t.html")), {}, {}), TError);
    EXPECT_EQ(THi::ReadWholeFile(xls), before[0]);
    EXPECT_EQ(THi::ReadWholeFile(html), before[2]);
}

TEST(DeliveredFiles, ATemplatesNameTypedInTheRealSaveDialogLandsInTheUsersFolder)
{
    THomeFolder home;
    const QString documents = home.Make(QStringLiteral("Documents"));
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
    const QByteArray templateBytes = THi::ReadWholeFile(THi::ProgramPath() + QStringLiteral("trans.xls"));

    TQtDialogs qt;
    SetDialogs(&qt);
    QString success;
    {
        TModalScript script({[](QWidget *modal) {
                                 auto *dialog = qobject_cast<QFileDialog *>(modal);
                                 ASSERT_NE(dialog, nullptr);
                                 dialog->selectFile(QStringLiteral("trans.xls"));
                                 static_cast<QDialog *>(dialog)->accept();
                             },
                             [&success](QWidget *modal) {
                                 auto *box = qobject_cast<QMessageBox *>(modal);
                                 ASSERT_NE(box, nullptr);
                                 success = box->text();
                                 box->accept();
                             }});
        Child<QAction>(TransactionsPanel(window), "btnTransMore_ToXls")->trigger();
    }
    SetDialogs(&Scripted());
    EXPECT_EQ(success, QStringLiteral("成功！\r\n\r\n") + documents + QStringLiteral("/trans.xls"));
    EXPECT_TRUE(QFileInfo::exists(documents + QStringLiteral("/trans.xls")));
    EXPECT_EQ(THi::ReadWholeFile(THi::ProgramPath() + QStringLiteral("trans.xls")), templateBytes);
}
