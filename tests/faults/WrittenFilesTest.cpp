// Files the program writes by other hands than its own writers (the printer's PDF, the
// chart picture, the .xlsx library's scratch files) and the snapshots folder meet planted
// links, full disks and names taken by files: the old file stays, a link is replaced and
// never followed, and the reason is said in Chinese.
#include "browse/BrowseFixture.h"
#include "base/Errors.h"
#include "charts/ChartView.h"
#include "faults/FaultSupport.h"
#include "output/PrintTestSupport.h"
#include "output/SheetExport.h"
#include "preview/ReportPrinter.h"
#include "store/LedgerSnapshot.h"
#include "support/TestSupport.h"

#include <QPrinter>
#include <QToolButton>

#include <sys/mount.h>
#include <unistd.h>

using namespace faults;

namespace {

class TSmallTmpfs {
public:
    explicit TSmallTmpfs(const char *options)
    {
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options) == 0)
            m_mounted = true;
    }
    ~TSmallTmpfs()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    QString Path() const { return m_mounted ? m_dir.path() : QString(); }
    // Fills the disk up but for a few bytes.
    void Fill() const
    {
        QFile filler(m_dir.filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

QStringList Hidden(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
}

class WrittenFiles : public BrowseTest {
protected:
    void SetUp() override
    {
        BrowseTest::SetUp();
        db->AddRecords("U", NewRecords({{"2009-08-01", "支出", "房租", "100", ""},
                                        {"2009-08-15", "收入", "工资", "300", ""}}));
        Open();
        Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    }
    void TearDown() override
    {
        SetPrintDialogRunner({});
        BrowseTest::TearDown();
    }
    // Prints the records list from its preview into path; returns the messages shown.
    QList<TScriptedDialogs::Call> PrintTo(const QString &path)
    {
        SetPrintDialogRunner([path](QPrinter &printer, int, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            return true;
        });
        dialogs->Reset();
        const auto ran = OnPreview([](TfrmPrint &form) { Child<QToolButton>(&form, "btnPrint")->click(); });
        Child<QAction>(panel, "btnTransMore_Print")->trigger();
        EXPECT_TRUE(*ran);
        return dialogs->Of(QStringLiteral("message"));
    }
};

} // namespace

TEST_F(WrittenFiles, PrintToPdfReplacesALinkAtTheChosenNameAndKeepsItsTarget)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    PutFileBytes(victim, "keep me");
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    ASSERT_TRUE(QFile::link(victim, pdf));
    EXPECT_TRUE(PrintTo(pdf).isEmpty());
    EXPECT_EQ(FileBytes(victim), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(pdf).isSymLink());
    EXPECT_TRUE(FileBytes(pdf).startsWith("%PDF"));
    EXPECT_TRUE(PdfText(pdf).contains(QStringLiteral("房租")));
    EXPECT_TRUE(Hidden(dir.path()).isEmpty());
}

TEST_F(WrittenFiles, PrintToPdfOnAFullDiskKeepsTheOldFileAndSaysWhy)
{
    TSmallTmpfs disk("size=256k");
    if (disk.Path().isEmpty())
        GTEST_SKIP() << "mounting a small file system is not allowed here";
    const QString pdf = disk.Path() + QStringLiteral("/report.pdf");
    ASSERT_TRUE(PrintTo(pdf).isEmpty());
    const QByteArray before = FileBytes(pdf);
    disk.Fill();
    const auto messages = PrintTo(pdf);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("磁盘已满"))) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(pdf)) << messages[0].text.toStdString();
    EXPECT_EQ(FileBytes(pdf), before);
    EXPECT_TRUE(Hidden(disk.Path()).isEmpty());
}

TEST_F(WrittenFiles, TheChartPictureReplacesALinkAtTheChosenNameAndKeepsItsTarget)
{
    rdoTransCharts()->setChecked(true);
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim.png"));
    PutFileBytes(victim, "keep me");
    const QString picture = dir.filePath(QStringLiteral("图表.png"));
    ASSERT_TRUE(QFile::link(victim, picture));
    dialogs->Reset();
    dialogs->fileNames << picture;
    QTest::mouseClick(Child<QPushButton>(panel, "btnSavePicture"), Qt::LeftButton);
    ASSERT_EQ(dialogs->Kinds(), (QStringList{"save", "message"}));
    EXPECT_TRUE(dialogs->calls[1].text.startsWith(QStringLiteral("成功")));
    EXPECT_EQ(FileBytes(victim), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(picture).isSymLink());
    EXPECT_TRUE(FileBytes(picture).startsWith("\x89PNG"));
}

// The .xlsx library writes its parts to the temporary folder first: a full one is said in
// Chinese, names neither the library's error nor its scratch files, and the old file stays.
TEST(WrittenFilesXlsx, AFullTemporaryFolderIsSaidInChineseAndTheOldFileStays)
{
    TSmallTmpfs disk("size=64k");
    if (disk.Path().isEmpty())
        GTEST_SKIP() << "mounting a small file system is not allowed here";
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("账.xlsx"));
    PutFileBytes(target, "old");
    disk.Fill();
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(disk.Path()));
    QString message;
    try {
        WriteXlsxExport(target, TransSheetRows({Rec(1, "2026-01-02", kTypeOut, "杂项", 100)}, {}));
    } catch (const TError &e) {
        message = e.message();
    }
    if (tmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmp);
    EXPECT_TRUE(message.contains(QStringLiteral("临时文件夹“%1”已满").arg(disk.Path()))) << message.toStdString();
    EXPECT_TRUE(message.contains(target)) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("ZIP")) || message.contains(QStringLiteral("tallyfern-")))
        << message.toStdString();
    EXPECT_EQ(FileBytes(target), QByteArray("old"));
}

// A snapshots folder whose name a file or a dangling link holds: the reason in Chinese.
TEST(WrittenFilesSnapshots, ANameHeldByAFileOrADanglingLinkIsSaidInChinese)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath(QStringLiteral("db.zovalt"));
    PutFileBytes(ledger, "ledger");
    const QString held = dir.filePath(QStringLiteral("snapshots"));
    for (const bool link : {false, true}) {
        QFile::remove(held);
        if (link)
            ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), held));
        else
            PutFileBytes(held, "a file");
        QString message;
        try {
            SnapshotLedger(ledger, held, QDateTime(QDate(2026, 12, 9), QTime(0, 29)));
        } catch (const TError &e) {
            message = e.message();
        }
        EXPECT_TRUE(message.contains(link ? QStringLiteral("链接") : QStringLiteral("文件占用"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("File exists")) || message.contains(QStringLiteral("No such file")))
            << message.toStdString();
    }
}
