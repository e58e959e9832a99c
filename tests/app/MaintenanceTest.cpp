// The menu's account and data file commands, driven through their menu items.
#include "app/MaintenanceSupport.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "login/LoginForm.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// The plain type first; the encrypted one beside it. Opening offers both at once first.
const QString kFilter = QStringLiteral("*.zovalt (*.zovalt);;加密备份文件(*.zovault)");
const QString kOpenFilter = QStringLiteral("备份文件 (*.zovalt *.zovault);;") + kFilter;

// A signed-in, shown main window whose successor starts are recorded instead of run.
struct TMaintWindow {
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> w;
    QStringList successors;
    bool successorStarts = true;

    explicit TMaintWindow(const QString &user = QStringLiteral("Mum"))
    {
        w = SignedInMainWindow(ledger.Path(), user);
        w->SuccessorStarter = [this](const QString &argument) {
            successors << argument;
            return successorStarts;
        };
        w->show();
    }
    TDbMan Db() const { return TDbMan(ledger.Path()); }
    QByteArray LedgerBytes() const { return THi::ReadWholeFile(ledger.Path()); }
    QString File(const QString &name) const { return ledger.Dir() + QLatin1Char('/') + name; }
};

} // namespace

TEST(Maintenance, ChangePasswordAsksAgainOnBlanksAndCancelChangesNothing)
{
    TMaintWindow m;
    auto &dlg = Scripted();
    dlg.inputs << QStringLiteral("   ") << QStringLiteral("\t") << QString();
    Child<QAction>(m.w.get(), "mnuMenu_SetPwd")->trigger();

    EXPECT_EQ(dlg.Kinds(), (QStringList{"input", "input", "input"}));
    EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("修改密码"));
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("请输入一个新的密码：          "));
    EXPECT_TRUE(m.Db().CheckUser(QStringLiteral("Mum"), QStringLiteral("pw")));
}

TEST(Maintenance, AfterAPasswordChangeOnlyTheNewOneSignsInAndTheUserStaysFirst)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Dad"), QStringLiteral("dad"));
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("Mum"));
    auto &dlg = Scripted();
    dlg.inputs << QStringLiteral("  4321 ");
    Child<QAction>(w.get(), "mnuMenu_SetPwd")->trigger();

    ASSERT_EQ(dlg.Kinds(), (QStringList{"input", "message"}));
    EXPECT_EQ(dlg.calls[1].text, QStringLiteral("成功！"));
    EXPECT_EQ(dlg.calls[1].caption, QStringLiteral("修改密码"));
    EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Information);
    TDbMan db(ledger.Path());
    EXPECT_TRUE(db.CheckUser(QStringLiteral("Mum"), QStringLiteral("4321")));
    EXPECT_FALSE(db.CheckUser(QStringLiteral("Mum"), QStringLiteral("pw")));
    EXPECT_TRUE(db.CheckUser(QStringLiteral("Dad"), QStringLiteral("dad")));
    EXPECT_EQ(db.GetUsers(), QStringLiteral("Mum\r\nDad"));
}

TEST(Maintenance, APasswordChangeThatFailsHalfWayKeepsTheOldAccount)
{
    TMaintWindow m;
    // The account row cannot be stored anew (the ledger file may not be written): the old
    // one stays.
    m.Db().AddUser(QStringLiteral("Dad"), QStringLiteral("new"));
    QFile::setPermissions(m.ledger.Path(), QFileDevice::ReadOwner);
    auto &dlg = Scripted();
    dlg.inputs << QStringLiteral("new");
    Child<QAction>(m.w.get(), "mnuMenu_SetPwd")->trigger();
    QFile::setPermissions(m.ledger.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    ASSERT_EQ(dlg.Of(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(dlg.Of(QStringLiteral("message"))[0].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(m.Db().CheckUser(QStringLiteral("Mum"), QStringLiteral("pw")));
}

TEST(Maintenance, DeletingTheOnlyUserLeavesAnEmptyLoginListAndKeepsTheRecords)
{
    TMaintWindow m;
    m.Db().AddRecord(QStringLiteral("Mum"), QStringLiteral("2026-01-02"), QStringLiteral("支出"),
                     QStringLiteral("菜"), QStringLiteral("12.50"), QString());
    auto &dlg = Scripted();
    dlg.answers << false;
    Child<QAction>(m.w.get(), "mnuMenu_DeleteUser")->trigger();
    EXPECT_TRUE(m.Db().UserExists(QStringLiteral("Mum")));
    EXPECT_TRUE(m.successors.isEmpty());
    EXPECT_TRUE(m.w->isVisible());

    dlg.Reset();
    dlg.answers << true;
    Child<QAction>(m.w.get(), "mnuMenu_DeleteUser")->trigger();
    ASSERT_EQ(dlg.Kinds(), QStringList{"question"});
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("您真的想要删除 Mum 吗？"));
    EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("确认"));
    EXPECT_EQ(m.successors, QStringList{"none"});
    EXPECT_FALSE(m.w->isVisible());

    TfrmLogin login(m.ledger.Path());
    EXPECT_EQ(Child<QComboBox>(&login, "cboUsername")->count(), 0);
    // Only the account is gone: the records stay for an account of the same name.
    EXPECT_EQ(RecordCount(m.ledger.Path(), QStringLiteral("Mum")), 1);
}

TEST(Maintenance, DeleteUserWhoseSuccessorCannotStartSaysSoAndStaysOpen)
{
    TMaintWindow m;
    m.successorStarts = false;
    auto &dlg = Scripted();
    dlg.answers << true;
    Child<QAction>(m.w.get(), "mnuMenu_DeleteUser")->trigger();
    EXPECT_FALSE(m.Db().UserExists(QStringLiteral("Mum")));
    ASSERT_EQ(dlg.Of(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(dlg.Of(QStringLiteral("message"))[0].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(m.w->isVisible());
}

TEST(Maintenance, BackupCompletesTheExtensionAndIsAByteCopyOfTheLedger)
{
    TMaintWindow m;
    m.Db().AddRecords(QStringLiteral("Mum"), NewRecords({{"2026-02-01", "支出", "房租", "3000.00", "二月"},
                                              {"2026-02-03", "收入", "工资", "9000.00", ""}}));
    const QByteArray ledger = m.LedgerBytes();
    // typed name -> stored name
    const QList<std::pair<QString, QString>> cases = {
        {m.File("plain"), m.File("plain.zovalt")},
        {m.File("UPPER.ZOVALT"), m.File("UPPER.ZOVALT")},
        {m.File("old.bak"), m.File("old.bak.zovalt")},
    };
    for (const auto &[typed, stored] : cases) {
        auto &dlg = Scripted();
        dlg.fileNames << typed;
        Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
        ASSERT_EQ(dlg.Kinds(), (QStringList{"save", "message"})) << typed.toStdString();
        EXPECT_EQ(dlg.calls[0].text, kFilter);
        EXPECT_EQ(dlg.calls[1].text, QStringLiteral("成功！"));
        EXPECT_EQ(dlg.calls[1].caption, QStringLiteral("备份"));
        EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Information);
        EXPECT_EQ(THi::ReadWholeFile(stored), ledger) << stored.toStdString();
        // The backup holds every account's password: only its owner may read it.
        EXPECT_EQ(QFile::permissions(stored) & 0x0077, 0);
    }
    EXPECT_FALSE(QFile::exists(m.File("UPPER.ZOVALT.zovalt")));
    // Nothing but the ledger and the three backups: no temporary files left behind.
    EXPECT_EQ(QDir(m.ledger.Dir()).entryList(QDir::Files | QDir::Hidden).size(), 4);

    auto &dlg = Scripted();  // cancelled
    Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
    EXPECT_EQ(dlg.Kinds(), QStringList{"save"});
}

TEST(Maintenance, BackupAsksBeforeReplacingAFileOfTheCompletedName)
{
    TMaintWindow m;
    const QString existing = m.File("monthly.zovalt");
    THi::WriteWholeFile(existing, "an older backup");

    auto &dlg = Scripted();
    dlg.fileNames << m.File("monthly");
    dlg.answers << false;
    Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
    EXPECT_EQ(dlg.Kinds(), (QStringList{"save", "question"}));
    EXPECT_TRUE(dlg.calls[1].text.contains(existing));
    EXPECT_EQ(THi::ReadWholeFile(existing), QByteArray("an older backup"));

    dlg.Reset();
    dlg.fileNames << m.File("monthly");
    dlg.answers << true;
    Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
    EXPECT_EQ(dlg.Kinds(), (QStringList{"save", "question", "message"}));
    EXPECT_EQ(THi::ReadWholeFile(existing), m.LedgerBytes());

    // A name chosen with the extension was already asked about by the file dialog.
    dlg.Reset();
    dlg.fileNames << existing;
    Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
    EXPECT_EQ(dlg.Kinds(), (QStringList{"save", "message"}));
}

TEST(Maintenance, AFailedBackupIsReportedAndNeverCalledASuccess)
{
    TMaintWindow m;
    QDir(m.ledger.Dir()).mkdir(QStringLiteral("taken.zovalt"));
    for (const QString &target : {m.File("no such folder/b"), m.File("taken.zovalt"), m.ledger.Path()}) {
        auto &dlg = Scripted();
        dlg.fileNames << target;
        Child<QAction>(m.w.get(), "mnuMenu_Backup")->trigger();
        ASSERT_EQ(dlg.Kinds(), (QStringList{"save", "message"})) << target.toStdString();
        EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Error) << target.toStdString();
        EXPECT_NE(dlg.calls[1].text, QStringLiteral("成功！"));
    }
    EXPECT_TRUE(QFileInfo(m.File("taken.zovalt")).isDir());
    EXPECT_TRUE(m.Db().UserExists(QStringLiteral("Mum")));
    EXPECT_EQ(QDir(m.ledger.Dir()).entryList(QDir::Files | QDir::Hidden), QStringList{"db.zovalt"});
}

TEST(Maintenance, RestoreIgnoresCancelMissingFilesAndOtherExtensions)
{
    TMaintWindow m;
    const QString other = m.File("ledger.bak");
    QFile::copy(m.ledger.Path(), other);
    for (const QString &chosen : {QString(), other, m.File("missing.zovalt")}) {
        auto &dlg = Scripted();
        if (!chosen.isEmpty())
            dlg.fileNames << chosen;
        Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();
        EXPECT_EQ(dlg.Kinds(), QStringList{"open"}) << chosen.toStdString();
        EXPECT_EQ(dlg.calls[0].text, kOpenFilter);
    }
    EXPECT_TRUE(m.successors.isEmpty());
    EXPECT_TRUE(m.w->isVisible());
}

TEST(Maintenance, RestoreRefusesAFileThatIsNotALedgerAndKeepsTheCurrentOne)
{
    TMaintWindow m;
    const QByteArray before = m.LedgerBytes();
    const QString junk = m.File("holiday photos.zovalt");
    THi::WriteWholeFile(junk, QByteArray(8192, '\x5a'));
    auto &dlg = Scripted();
    dlg.fileNames << junk;
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();

    ASSERT_EQ(dlg.Kinds(), (QStringList{"open", "message"}));
    EXPECT_EQ(dlg.calls[1].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(dlg.calls[1].text.contains(junk));
    EXPECT_TRUE(dlg.calls[1].text.contains(QStringLiteral("不是有效的账本数据库")));
    EXPECT_TRUE(m.successors.isEmpty());
    EXPECT_TRUE(m.w->isVisible());
    EXPECT_EQ(m.LedgerBytes(), before);
}

TEST(Maintenance, RestoreHandsTheQuotedPathToTheSuccessorAndCloses)
{
    TMaintWindow m;
    // Blanks and a double quote in the name still reach the successor as one argument.
    const QString backup = m.File("家 \"一月\" 备份.ZOVALT");
    ASSERT_TRUE(QFile::copy(m.ledger.Path(), backup));
    const QByteArray before = m.LedgerBytes();
    auto &dlg = Scripted();
    dlg.fileNames << backup;
    Child<QAction>(m.w.get(), "mnuMenu_Restore")->trigger();

    EXPECT_EQ(dlg.Kinds(), QStringList{"open"});
    ASSERT_EQ(m.successors.size(), 1);
    EXPECT_TRUE(m.successors[0].startsWith(QLatin1Char('"')));
    EXPECT_EQ(QProcess::splitCommand(m.successors[0]), QStringList{backup});
    EXPECT_FALSE(m.w->isVisible());
    // The successor replaces the ledger, not this instance.
    EXPECT_EQ(m.LedgerBytes(), before);
}
