// Automatic backups: when they are made, which ones are kept, and what a kill leaves.
#include "backup/AutoBackup.h"
#include "backup/AutoBackupScheduler.h"
#include "backup/BackupForms.h"
#include "base/HiClass.h"
#include "store/DbClass.h"
#include "store/LedgerFile.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QStringList Names(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

TEST(AutoBackup, OneCopyADayAfterASaveAndAtExitKeptByTheRotationOverSixtyDays)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Mum"), QStringLiteral("pw"));
    const QString folder = AutoBackupFolder(ledger.Path());
    // The user's own files in the folder are never touched, even one that looks automatic.
    QDir().mkpath(folder);
    for (const char *own : {"my-copy.zovalt", "db-auto-20250101.zovalt", "db-auto-20250101-120000.zovalt.bak"})
        THi::WriteWholeFile(folder + QLatin1Char('/') + QLatin1String(own), "mine");

    QDateTime now(QDate(2025, 3, 1), QTime(9, 0));
    TAutoBackupScheduler scheduler(ledger.Path(), [&now] { return now; });
    for (int day = 0; day < 60; ++day) {
        now = QDateTime(QDate(2025, 3, 1).addDays(day), QTime(9, 0));
        scheduler.AfterSave();
        scheduler.Wait();
        now = now.addSecs(3600);  // a second save that day makes no copy
        scheduler.AfterSave();
        scheduler.Wait();
    }
    QStringList kept;
    for (const TBackupFile &f : ListAutoBackups(folder))
        kept << f.when.toString(QStringLiteral("MMdd-HHmm"));
    // The last 7 days, then the newest of each of the 4 weeks (Monday to Sunday) before
    // them; 2025-04-22 is a Tuesday.
    EXPECT_EQ(kept, (QStringList{"0429-0900", "0428-0900", "0427-0900", "0426-0900", "0425-0900", "0424-0900",
                                 "0423-0900", "0422-0900", "0420-0900", "0413-0900", "0406-0900"}));

    // Something saved after the day's copy: the exit makes a newer one, which replaces it.
    now = QDateTime(QDate(2025, 4, 29), QTime(22, 30));
    scheduler.AtExit();
    const QList<TBackupFile> after = ListAutoBackups(folder);
    ASSERT_EQ(after.size(), 11);
    EXPECT_EQ(after[0].when, now);
    EXPECT_NE(after[1].when.date(), now.date());
    // Nothing saved since: no copy at exit.
    now = now.addSecs(60);
    scheduler.AtExit();
    EXPECT_EQ(ListAutoBackups(folder).size(), 11);
    EXPECT_EQ(ListAutoBackups(folder)[0].when, now.addSecs(-60));

    for (const char *own : {"my-copy.zovalt", "db-auto-20250101.zovalt", "db-auto-20250101-120000.zovalt.bak"})
        EXPECT_TRUE(QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(own))) << own;
    EXPECT_EQ(QFile::permissions(folder) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const TBackupFile &f : after) {
        EXPECT_EQ(QFile::permissions(f.path) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_NO_THROW(CheckLedgerFile(f.path));
    }
}

TEST(AutoBackup, TurnedOffMakesNoCopiesAndAFailureIsSaidOnce)
{
    TTempLedger ledger;
    const QDateTime now(QDate(2025, 5, 2), QTime(8, 15));
    {
        TAutoBackupScheduler off(ledger.Path(), [now] { return now; });
        off.SetEnabled(false);
        off.AfterSave();
        off.AtExit();
    }
    EXPECT_FALSE(QFileInfo::exists(AutoBackupFolder(ledger.Path())));

    // A folder that cannot be made: the save goes on, the failure is reported once.
    THi::WriteWholeFile(AutoBackupFolder(ledger.Path()), "a file in the way");
    const QByteArray before = THi::ReadWholeFile(ledger.Path());
    TAutoBackupScheduler scheduler(ledger.Path(), [now] { return now; });
    QStringList said;
    QObject::connect(&scheduler, &TAutoBackupScheduler::Failed, [&said](const QString &m) { said << m; });
    for (int i = 0; i < 3; ++i) {
        scheduler.AfterSave();
        scheduler.Wait();
        QCoreApplication::processEvents();
    }
    scheduler.AtExit();
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("自动备份没有成功")));
    EXPECT_EQ(THi::ReadWholeFile(ledger.Path()), before);
}

// Run as a child process by the next test: makes automatic copies of the ledger named in
// the environment until it is killed.
TEST(AutoBackupChild, CopiesUntilKilled)
{
    const QString ledger = qEnvironmentVariable("TALLYFERN_AUTOBACKUP_CHILD");
    if (ledger.isEmpty())
        GTEST_SKIP() << "only run by AutoBackup.AKillDuringACopyLeavesTheLedgerAndNoPartialCopy";
    QDateTime when(QDate(2025, 1, 1), QTime(0, 0));
    for (;;) {
        MakeAutoBackup(ledger, AutoBackupFolder(ledger), when);
        when = when.addDays(1);
    }
}

TEST(AutoBackup, AKillDuringACopyLeavesTheLedgerAndNoPartialCopy)
{
    TTempLedger ledger;
    {
        TDbMan db(ledger.Path());
        db.AddUser(QStringLiteral("Mum"), QStringLiteral("pw"));
        QList<QStringList> rows;
        for (int i = 0; i < 20000; ++i)
            rows << QStringList{QStringLiteral("2025-01-01"), QStringLiteral("支出"), QStringLiteral("伙食"),
                                QStringLiteral("12.5"), QStringLiteral("第 %1 笔，一段稍长的备注文字").arg(i)};
        db.AddRecords(QStringLiteral("Mum"), NewRecords(rows));
    }
    const QByteArray before = THi::ReadWholeFile(ledger.Path());
    const QString folder = AutoBackupFolder(ledger.Path());

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYFERN_AUTOBACKUP_CHILD"), ledger.Path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=AutoBackupChild.*")});
    ASSERT_TRUE(child.waitForStarted());
    // Killed while a copy is being written: a temporary file is there.
    QElapsedTimer waited;
    waited.start();
    bool midCopy = false;
    while (!midCopy && waited.elapsed() < 10000) {
        const QStringList names = Names(folder);
        midCopy = ListAutoBackups(folder).size() >= 2 && names.size() > ListAutoBackups(folder).size();
        if (!midCopy)
            QThread::usleep(200);
    }
    child.kill();
    child.waitForFinished();
    EXPECT_TRUE(midCopy) << "the child was not caught in the middle of a copy";

    EXPECT_EQ(THi::ReadWholeFile(ledger.Path()), before);
    EXPECT_NO_THROW(CheckLedgerFile(ledger.Path()));
    const QList<TBackupFile> copies = ListAutoBackups(folder);
    EXPECT_FALSE(copies.isEmpty());
    for (const TBackupFile &f : copies) {
        EXPECT_EQ(f.size, before.size()) << f.path.toStdString();
        EXPECT_NO_THROW(CheckLedgerFile(f.path)) << f.path.toStdString();
    }
}

TEST(AutoBackup, ADamagedLedgerAtStartIsOfferedTheNewestSoundCopy)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Mum"), QStringLiteral("pw"));
    const QString folder = AutoBackupFolder(ledger.Path());
    MakeAutoBackup(ledger.Path(), folder, QDateTime(QDate(2025, 6, 1), QTime(20, 5, 9)));
    const QByteArray sound = THi::ReadWholeFile(ledger.Path());
    // A newer copy that is itself damaged is passed over.
    THi::WriteWholeFile(folder + QStringLiteral("/db-auto-20250602-070000.zovalt"), QByteArray(4096, 'x'));
    QByteArray damaged = sound;
    for (int i = 100; i < damaged.size(); i += 7)
        damaged[i] = char(0xA5);
    THi::WriteWholeFile(ledger.Path(), damaged);
    ASSERT_TRUE(LedgerIsDamaged(ledger.Path()));

    const QString question = QStringLiteral("数据文件已损坏。要从 2025-06-01 20:05 的自动备份中恢复吗？");
    auto &dlg = Scripted();
    dlg.answers << false;
    EXPECT_EQ(OfferAutoBackupForDamagedLedger(ledger.Path(), {}), TDamagedLedgerOffer::Declined);
    ASSERT_EQ(dlg.Kinds(), QStringList{"question"});
    EXPECT_EQ(dlg.calls[0].text, question);
    EXPECT_EQ(THi::ReadWholeFile(ledger.Path()), damaged);

    dlg.Reset();
    dlg.answers << true;
    QString snapshot;
    EXPECT_EQ(OfferAutoBackupForDamagedLedger(ledger.Path(), {}, &snapshot), TDamagedLedgerOffer::Restored);
    EXPECT_FALSE(LedgerIsDamaged(ledger.Path()));
    EXPECT_TRUE(TDbMan(ledger.Path()).CheckUser(QStringLiteral("Mum"), QStringLiteral("pw")));
    EXPECT_EQ(THi::ReadWholeFile(snapshot), damaged);

    // A sound ledger, or no sound copy: nothing is asked.
    dlg.Reset();
    EXPECT_EQ(OfferAutoBackupForDamagedLedger(ledger.Path(), {}), TDamagedLedgerOffer::NothingOffered);
    THi::WriteWholeFile(ledger.Path(), damaged);
    for (const TBackupFile &f : ListAutoBackups(folder))
        QFile::remove(f.path);
    EXPECT_EQ(OfferAutoBackupForDamagedLedger(ledger.Path(), {}), TDamagedLedgerOffer::NothingOffered);
    EXPECT_TRUE(dlg.calls.isEmpty());
}
