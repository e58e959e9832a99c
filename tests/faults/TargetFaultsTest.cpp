// Exports, backups and restores meet targets and templates that are not what they should
// be: nothing is written, one plain message is shown and success is never claimed.
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "faults/FaultSupport.h"
#include "login/LoginPrep.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace faults;

namespace {

// A signed-in window whose lists hold one searched record of each type.
std::unique_ptr<TfrmMain> SearchedWindow(const QString &ledger)
{
    TDbMan(ledger).AddRecords(QStringLiteral("U"), NewRecords({{"2009-08-20", "收入", "工资", "100", ""},
                                                    {"2009-08-21", "支出", "房租", "50", ""}}));
    auto window = SignedInMainWindow(ledger, QStringLiteral("U"));
    TTransPanel *t = TransactionsPanel(window);
    Child<QDateEdit>(t, "dtpTransDate1")->setDate(QDate(2009, 8, 1));
    Child<QDateEdit>(t, "dtpTransDate2")->setDate(QDate(2009, 8, 31));
    Child<QPushButton>(t, "btnTransSearch")->click();
    return window;
}

// Every export entry with the extension it writes.
QList<QPair<QAction *, QString>> Exports(TfrmMain &window)
{
    TTransPanel *t = TransactionsPanel(&window);
    const auto entry = [t](const char *name) { return Child<QAction>(t, name); };
    return {{entry("btnTransMore_ToXls"), ".xls"},    {entry("mnuCatesExport_ToXls"), ".xls"},
            {entry("btnTransMore_ToHtml"), ".html"},  {entry("mnuCatesExport_ToHtml"), ".html"},
            {entry("btnTransMore_ToXlsx"), ".xlsx"},  {entry("mnuCatesExport_ToXlsx"), ".xlsx"},
            {entry("btnTransMore_ToCsv"), ".csv"},    {entry("mnuCatesExport_ToCsv"), ".csv"}};
}

// Runs action with target as the chosen file and checks that it failed plainly: one error,
// no success, the cursor back.
void ExpectRefused(QAction *action, const QString &target)
{
    TScriptedDialogs &dialogs = Scripted();
    dialogs.fileNames.enqueue(target);
    action->trigger();
    const auto messages = dialogs.Of(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1) << action->text().toStdString() << " " << target.toStdString();
    EXPECT_EQ(messages[0].icon, IDialogs::Icon::Error);
    EXPECT_FALSE(messages[0].text.startsWith(QStringLiteral("成功")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

QStringList Entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(TargetFaults, ExportIntoAMissingFolderOrOntoAFolderWritesNothing)
{
    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    QTemporaryDir out;
    for (const auto &[action, ext] : Exports(*window)) {
        ExpectRefused(action, out.filePath(QStringLiteral("no/such/folder/x") + ext));
        EXPECT_TRUE(Entries(out.path()).isEmpty());

        const QString folder = out.filePath(QStringLiteral("folder") + ext);
        ASSERT_TRUE(QDir().mkpath(folder));
        ExpectRefused(action, folder);
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_EQ(Entries(out.path()), QStringList{QFileInfo(folder).fileName()});
        EXPECT_TRUE(Entries(folder).isEmpty());
        QDir(folder).removeRecursively();
    }
}

TEST(TargetFaults, BackupOntoAFolderOrIntoAMissingFolderWritesNothing)
{
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    QTemporaryDir out;
    const QString folder = out.filePath(QStringLiteral("b.zovalt"));
    QDir().mkpath(folder);
    for (const QString &target : {folder, out.filePath(QStringLiteral("gone/b.zovalt"))}) {
        TScriptedDialogs &dialogs = Scripted();
        dialogs.fileNames.enqueue(target);
        Child<QAction>(window.get(), "mnuMenu_Backup")->trigger();
        ASSERT_EQ(dialogs.Of(QStringLiteral("message")).size(), 1);
        EXPECT_EQ(dialogs.calls.last().icon, IDialogs::Icon::Error);
        EXPECT_EQ(Entries(out.path()), QStringList{QStringLiteral("b.zovalt")});
        EXPECT_TRUE(Entries(folder).isEmpty());
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The exports read their templates beside the program, so the program runs from a folder
// of its own: a link to this test binary beside a damaged set of templates.
TEST(TargetFaults, MissingOrDamagedTemplatesAreReportedAndNothingIsWritten)
{
    QTemporaryDir bin(QStringLiteral(TALLYFERN_BIN_DIR) + QStringLiteral("/faults-XXXXXX"));
    ASSERT_TRUE(bin.isValid());
    const QString exe = bin.filePath(QStringLiteral("tallyfern_tests"));
    if (::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
               QFile::encodeName(exe).constData()) != 0) {
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), exe));
    }
    QFile::copy(TemplateLedgerPath(), bin.filePath(QStringLiteral("db.zovalt")));
    // trans.xls is text, cates.xls is missing; trans.html has two sections, cates.html none.
    PutFileBytes(bin.filePath(QStringLiteral("trans.xls")), "this is not a workbook\n");
    PutFileBytes(bin.filePath(QStringLiteral("trans.html")), "<html>#USER#<!-- - -->#DATE#</html>");
    PutFileBytes(bin.filePath(QStringLiteral("cates.html")), "<html></html>");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYFERN_DAMAGED_TEMPLATES"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(exe, {QStringLiteral("--gtest_filter=FaultChild.DamagedTemplates")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(FaultChild, DamagedTemplates)
{
    if (qgetenv("TALLYFERN_DAMAGED_TEMPLATES").isEmpty())
        GTEST_SKIP() << "runs only as the child of MissingOrDamagedTemplatesAreReportedAndNothingIsWritten";
    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    QTemporaryDir out;
    const QStringList names{"t.xls", "c.xls", "t.html", "c.html"};
    const auto actions = Exports(*window);
    for (int i = 0; i < 4; ++i) {
        ExpectRefused(actions[i].first, out.filePath(names[i]));
        EXPECT_TRUE(Entries(out.path()).isEmpty()) << names[i].toStdString();
    }
}

// As root, permission bits stop nothing; the child gives up root before it starts.
TEST(TargetFaults, WithoutPermissionNothingIsWrittenOrRestored)
{
    unsigned uid = 0, gid = 0;
    if (!UnprivilegedIds(uid, gid))
        GTEST_SKIP() << "needs to run as root with an unprivileged account (nobody) to switch to";
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    const QString secret = dir.filePath(QStringLiteral("secret.zovalt"));
    QFile::copy(TemplateLedgerPath(), secret);
    ::chmod(QFile::encodeName(secret).constData(), 0600);

    QByteArray output;
    const int code = RunChildTest(QStringLiteral("FaultChild.WithoutPermission"),
                                  {QStringLiteral("TALLYFERN_NOPERM_DIR=") + dir.path(),
                                   QStringLiteral("TALLYFERN_NOPERM_IDS=%1:%2").arg(uid).arg(gid)},
                                  &output);
    if (output.contains("cannot reach the test data"))
        GTEST_SKIP() << "the unprivileged account cannot reach the build folder";
    EXPECT_EQ(code, 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    EXPECT_TRUE(Entries(locked).isEmpty());
}

TEST(FaultChild, WithoutPermission)
{
    const QString dir = qEnvironmentVariable("TALLYFERN_NOPERM_DIR");
    const QStringList ids = qEnvironmentVariable("TALLYFERN_NOPERM_IDS").split(QLatin1Char(':'));
    if (dir.isEmpty() || ids.size() != 2)
        GTEST_SKIP() << "runs only as the child of WithoutPermissionNothingIsWrittenOrRestored";
    const gid_t gid = ids[1].toUInt();
    ASSERT_EQ(::setgroups(0, nullptr), 0);
    ASSERT_EQ(::setresgid(gid, gid, gid), 0);
    ASSERT_EQ(::setresuid(ids[0].toUInt(), ids[0].toUInt(), ids[0].toUInt()), 0);
    if (::access(QFile::encodeName(TemplateLedgerPath()).constData(), R_OK) != 0)
        GTEST_SKIP() << "cannot reach the test data";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));

    TTempLedger ledger;
    auto window = SearchedWindow(ledger.Path());
    const QString locked = dir + QStringLiteral("/locked/");
    int n = 0;
    for (const auto &[action, ext] : Exports(*window))
        ExpectRefused(action, locked + QString::number(n++) + ext);

    TScriptedDialogs &dialogs = Scripted();
    dialogs.fileNames.enqueue(locked + QStringLiteral("b.zovalt"));
    Child<QAction>(window.get(), "mnuMenu_Backup")->trigger();
    ASSERT_EQ(dialogs.Of(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(dialogs.calls.last().icon, IDialogs::Icon::Error);

    // A backup the user may not read leaves the ledger as it is and says why.
    QString why;
    const QString db = PrepareLedgerFile(QString(), nullptr);
    TDbMan(db).AddUser(QStringLiteral("keep"), QStringLiteral("p"));
    PrepareLedgerFile(dir + QStringLiteral("/secret.zovalt"), &why);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(TDbMan(db).GetUsers(), QStringLiteral("keep"));
}

TEST(TargetFaults, RestoreArgumentsThatAreNoLedgerKeepTheCurrentOne)
{
    QTemporaryDir dir;
    const QString db = PrepareLedgerFile(QString(), nullptr);
    TDbMan(db).AddUser(QStringLiteral("keep"), QStringLiteral("p"));
    const QByteArray before = FileBytes(db);

    const QString folder = dir.filePath(QStringLiteral("folder.zovalt"));
    QDir().mkpath(folder);
    const QString junk = dir.filePath(QStringLiteral("junk.zovalt"));
    PutFileBytes(junk, QByteArray(5000, 'x'));
    const QString foreign = dir.filePath(QStringLiteral("foreign.zovalt"));
    PutFileBytes(foreign, ForeignDatabaseBytes());
    // A folder or a missing file is no backup and is passed over without a word.
    for (const QString &quiet : {folder, dir.filePath(QStringLiteral("missing.zovalt"))}) {
        QString why;
        PrepareLedgerFile(quiet, &why);
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    }
    for (const QString &bad : {junk, foreign}) {
        QString why;
        PrepareLedgerFile(bad, &why);
        EXPECT_TRUE(why.contains(QStringLiteral("原有的数据保持不变"))) << why.toStdString();
    }
    EXPECT_EQ(FileBytes(db), before);
}

TEST(TargetFaults, RestoreWhoseSuccessorCannotStartKeepsTheWindowAndTheLedger)
{
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    window->show();
    QTemporaryDir dir;
    const QString backup = dir.filePath(QStringLiteral("b.zovalt"));
    QFile::copy(ledger.Path(), backup);
    const QByteArray before = FileBytes(ledger.Path());
    window->SuccessorStarter = [](const QString &) { return false; };

    TScriptedDialogs &dialogs = Scripted();
    dialogs.fileNames.enqueue(backup);
    Child<QAction>(window.get(), "mnuMenu_Restore")->trigger();
    ASSERT_EQ(dialogs.Of(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(dialogs.calls.last().icon, IDialogs::Icon::Error);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(FileBytes(ledger.Path()), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
