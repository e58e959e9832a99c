#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "browse/PrintCommands.h"
#include "preview/ReportPreview.h"
#include "preview/ReportPrinter.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"
#include "PrintTestSupport.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
QList<TRecord> TransRows(int count)
{
    QList<TRecord> rows;
    for (int i = 1; i <= count; ++i)
        rows << TRecord{i, QDate(2024, 3, i % 28 + 1), i % 2 ? kTypeIn : kTypeOut,
                        QStringLiteral("条目%1").arg(i, 3, 10, QLatin1Char('0')),
                        i % 2 ? TFen(i) * 100 : TFen(i) * 100 + 50, QStringLiteral("备注%1").arg(i)};
    return rows;
}

class PrintReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scripted();
        window = SignedInMainWindow(ledger.Path(), QStringLiteral("宝贝"));
        panel = TransactionsPanel(window);
        result.fromDate = QDate(2024, 3, 1);
        result.toDate = QDate(2024, 3, 31);
        result.inTotal = 150000;
        result.outTotal = 32050;
        commands = window->findChild<TPrintCommands *>();
        ASSERT_NE(commands, nullptr);
    }
    void TearDown() override { SetPrintDialogRunner({}); }

    // Shows the result as a search would have left it.
    void Show()
    {
        panel->ShowResult(result);
        window->UpdateCommandStates();
    }
    void FillTrans(int count)
    {
        result.records = TransRows(count);
        Show();
    }
    void FillRanking()
    {
        result.inRanking = {Rank(kTypeIn, "工资", 2, 120000), Rank(kTypeIn, "奖金", 1, 20000),
                            Rank(kTypeIn, "利息", 3, 10000)};
        result.outRanking = {Rank(kTypeOut, "餐饮", 9, 30050), Rank(kTypeOut, "交通", 4, 2000)};
        Show();
    }

    // Opens the report with command and prints it from the preview into a PDF file, the
    // print dialog answered by choose (which may change the printer's choices).
    QString PrintToPdf(const std::function<void()> &command,
                       const std::function<void(QPrinter &)> &choose = {})
    {
        const QString path = dir.filePath(QStringLiteral("report%1.pdf").arg(++printed));
        SetPrintDialogRunner([path, choose](QPrinter &printer, int, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (choose)
                choose(printer);
            return true;
        });
        const auto ran = OnPreview([](TfrmPrint &form) { Child<QToolButton>(&form, "btnPrint")->click(); });
        command();
        EXPECT_TRUE(*ran);
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
        return path;
    }
    void PrintTrans() { Child<QAction>(panel, "btnTransMore_Print")->trigger(); }
    void PrintRanking() { Child<QPushButton>(panel, "btnCatesPrint")->click(); }

    TTempLedger ledger;
    QTemporaryDir dir;
    TSearchResult result;
    std::unique_ptr<TfrmMain> window;
    TTransPanel *panel = nullptr;
    TPrintCommands *commands = nullptr;
    int printed = 0;
};
} // namespace

TEST_F(PrintReport, FiftyTwoRowsPrintOnOnePageAndFiftyThreeOnTwo)
{
    FillTrans(52);
    QStringList pages = PdfPages(PrintToPdf([this] { PrintTrans(); }));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("条目052")));

    result.records.append(TransRows(53).last());
    Show();
    pages = PdfPages(PrintToPdf([this] { PrintTrans(); }));
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("条目052")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("条目053")));
    // The 53rd row is the first row of page 2, and the only one.
    const qsizetype firstRow = pages[1].indexOf(QStringLiteral("条目"));
    EXPECT_EQ(pages[1].mid(firstRow, 5), QStringLiteral("条目053"));
    EXPECT_EQ(pages[1].count(QStringLiteral("条目")), 1);
    EXPECT_TRUE(pages[1].contains(QStringLiteral("2024-03-26 条目053 53.00 备注53")));
}

TEST_F(PrintReport, EveryPageRepeatsTheHeaderWithItsOwnNumber)
{
    FillTrans(120);
    const QString pdf = PrintToPdf([this] { PrintTrans(); });
    const QStringList pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 3);
    for (int p = 0; p < 3; ++p) {
        const QString &text = pages[p];
        for (const QString &expected :
             {QStringLiteral("宝贝"), QStringLiteral("(2024-03-01 至 2024-03-31)"),
              QStringLiteral("收入合计： 1500.00"), QStringLiteral("支出合计： 320.50"),
              QStringLiteral("结余合计： 1179.50"), QStringLiteral("日期 项目 收入 支出 备注"),
              QStringLiteral("第 %1 页").arg(p + 1)})
            EXPECT_TRUE(text.contains(expected)) << "page " << p + 1 << ": " << expected.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("共"))) << "the page total is not printed";
    }
    EXPECT_TRUE(pages[2].contains(QStringLiteral("条目120")));
    EXPECT_EQ(PdfInfoLine(pdf, QStringLiteral("Page size:")).toStdString(), "595 x 842 pts (A4)");
}

TEST_F(PrintReport, RankingPrintsIncomeThenExpenseRowsWithAmountsInTheirColumns)
{
    FillRanking();
    const QString pdf = PrintToPdf([this] { PrintRanking(); });
    const QStringList pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString rows = pages[0].mid(pages[0].indexOf(QStringLiteral("第 1 页")));
    qsizetype previous = -1;
    for (const QString &item : QStringList{"工资", "奖金", "利息", "餐饮", "交通"}) {
        EXPECT_GT(rows.indexOf(item), previous) << "rows out of order at " << item.toStdString();
        previous = rows.indexOf(item);
    }
    EXPECT_TRUE(rows.contains(QStringLiteral("支出 餐饮 9 300.50 93.76%")));
    EXPECT_TRUE(rows.contains(QStringLiteral("收入 工资 2 1200.00 80.00%")));

    // Cut the sheet into the 收入 and the 支出 column (points; the band starts 10 mm in).
    const QString income = PdfText(pdf, {350, 90, 62, 700});
    const QString expense = PdfText(pdf, {420, 90, 62, 700});
    for (const char *amount : {"1200.00", "200.00", "100.00"}) {
        EXPECT_TRUE(income.contains(QString::fromLatin1(amount))) << amount;
        EXPECT_FALSE(expense.contains(QString::fromLatin1(amount))) << amount;
    }
    for (const char *amount : {"300.50", "20.00"}) {
        EXPECT_TRUE(expense.contains(QString::fromLatin1(amount))) << amount;
        EXPECT_FALSE(income.contains(QString::fromLatin1(amount))) << amount;
    }
}

TEST_F(PrintReport, NegativeBalancePrintsWithItsMinusSign)
{
    FillRanking();
    result.inTotal = 1000;
    result.outTotal = 2250;
    Show();
    const QString text = PdfText(PrintToPdf([this] { PrintRanking(); }));
    EXPECT_TRUE(text.contains(QStringLiteral("结余合计： -12.50"))) << text.toStdString();
}

TEST_F(PrintReport, PrintsA4PortraitWithTheChosenCopiesAndRange)
{
    FillTrans(60);
    // Landscape chosen in the dialog still prints portrait.
    QString pdf = PrintToPdf([this] { PrintTrans(); },
                             [](QPrinter &printer) { printer.setPageOrientation(QPageLayout::Landscape); });
    EXPECT_EQ(PdfInfoLine(pdf, QStringLiteral("Page size:")).toStdString(), "595 x 842 pts (A4)");
    EXPECT_EQ(commands->QRCompositeReport1.PrinterSettings.Orientation, QPageLayout::Portrait);

    pdf = PrintToPdf([this] { PrintTrans(); }, [](QPrinter &printer) { printer.setCopyCount(2); });
    QStringList pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 4);
    EXPECT_TRUE(pages[2].contains(QStringLiteral("第 1 页")));
    EXPECT_TRUE(pages[3].contains(QStringLiteral("第 2 页")));

    pdf = PrintToPdf([this] { PrintTrans(); }, [](QPrinter &printer) {
        printer.setCopyCount(1);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
    });
    pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("第 2 页")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("条目053")));
}

TEST_F(PrintReport, CancelledPrintDialogPrintsNothingAndSaysNothing)
{
    FillTrans(3);
    int shown = 0;
    SetPrintDialogRunner([&shown](QPrinter &, int pageCount, QWidget *) {
        ++shown;
        EXPECT_EQ(pageCount, 1);
        return false;
    });
    TScriptedDialogs &dialogs = Scripted();
    const auto ran = OnPreview([](TfrmPrint &form) {
        Child<QToolButton>(&form, "btnPrint")->click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(Child<QToolButton>(&form, "btnPrint")->isEnabled());
    });
    PrintTrans();
    EXPECT_TRUE(*ran);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(dialogs.calls.isEmpty());
    EXPECT_EQ(commands->QRCompositeReport1.PrinterSettings.PrinterIndex, -1);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PrintReport, FailedPrintSaysSoAndEnablesPrintingAgain)
{
    FillTrans(3);
    const QString unwritable = dir.filePath(QStringLiteral("missing/folder/report.pdf"));
    SetPrintDialogRunner([unwritable](QPrinter &printer, int, QWidget *) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(unwritable);
        return true;
    });
    TScriptedDialogs &dialogs = Scripted();
    const auto ran = OnPreview([](TfrmPrint &form) {
        Child<QToolButton>(&form, "btnPrint")->click();
        EXPECT_TRUE(Child<QToolButton>(&form, "btnPrint")->isEnabled());
    });
    PrintTrans();
    EXPECT_TRUE(*ran);
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(dialogs.calls[0].text.contains(unwritable)) << dialogs.calls[0].text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintReport, RankingCommandIsBusyWhileThePreviewIsUpAndCleansUpAfter)
{
    FillRanking();
    ASSERT_TRUE(Child<QPushButton>(panel, "btnCatesPrint")->isEnabled());
    const auto ran = OnPreview([this](TfrmPrint &form) {
        EXPECT_FALSE(Child<QPushButton>(panel, "btnCatesPrint")->isEnabled());
        // The user works in the preview with the normal cursor.
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        EXPECT_EQ(form.parentWidget(), window.get());
        EXPECT_EQ(form.Report(), &commands->QRCompositeReport1);
        ASSERT_NE(commands->QRCompositeReport1.PageStore(), nullptr);
        EXPECT_EQ(commands->QRCompositeReport1.PageStore()->PageCount(), 1);
        EXPECT_EQ(Child<QLabel>(&form, "lblStatusPanel")->text(), QStringLiteral("第 1 页 / 共 1 页"));
    });
    PrintRanking();
    EXPECT_TRUE(*ran);
    EXPECT_TRUE(Child<QPushButton>(panel, "btnCatesPrint")->isEnabled());
    EXPECT_EQ(window->focusWidget(), Child<QPushButton>(panel, "btnCatesPrint"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The document is let go; only the printer settings stay.
    EXPECT_EQ(commands->QRCompositeReport1.PageStore(), nullptr);
    EXPECT_FALSE(commands->QRCompositeReport1.Paged.BuildPage);
    EXPECT_TRUE(window->findChildren<TfrmPrint *>().isEmpty());
}

TEST_F(PrintReport, TransactionsCommandShowsTheWaitStateWithoutDisablingAButton)
{
    FillTrans(3);
    const bool moreEnabled = Child<QPushButton>(panel, "btnTransMore")->isEnabled();
    const auto ran = OnPreview([this, moreEnabled](TfrmPrint &form) {
        EXPECT_EQ(Child<QPushButton>(panel, "btnTransMore")->isEnabled(), moreEnabled);
        EXPECT_EQ(Child<TReportPreview>(&form, "QRPreview1")->PageCount(), 1);
    });
    PrintTrans();
    EXPECT_TRUE(*ran);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(commands->QRCompositeReport1.PageStore(), nullptr);
}

TEST_F(PrintReport, AwkwardTextsPrintAsTheyWereTyped)
{
    const QString markup = QStringLiteral("<b>&amp; 'x' \"y\" %s %1 \\n");
    const QString wide = QStringLiteral("宝宝 😀 𠀀 €");
    const QString longText = QString(10000, QLatin1Char('W'));
    result.records = {Rec(1, "2024-03-02", kTypeIn, markup, 100, wide),
                      Rec(2, "2024-03-03", kTypeOut, longText, 250, longText)};
    Show();
    const QStringList pages = PdfPages(PrintToPdf([this] { PrintTrans(); }));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(markup)) << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(QStringLiteral("宝宝"))) << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(QStringLiteral("2024-03-03 WWWW")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("2.50")));
}

TEST_F(PrintReport, ThePrintDialogOffersTheWholeReportEveryTime)
{
    FillTrans(120);
    QList<QList<int>> offered;  // range kind, first page, last page as each dialog opened
    const auto print = [&](bool chooseRange) {
        const QString path = dir.filePath(QStringLiteral("range%1.pdf").arg(offered.size()));
        SetPrintDialogRunner([&, path, chooseRange](QPrinter &printer, int, QWidget *) {
            offered << QList<int>{int(printer.printRange()), printer.fromPage(), printer.toPage()};
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (chooseRange) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(2, 2);
            }
            return true;
        });
        const auto ran = OnPreview([](TfrmPrint &form) {
            Child<QToolButton>(&form, "btnPrint")->click();
            Child<QToolButton>(&form, "btnPrint")->click();  // a second print from the same preview
        });
        PrintTrans();
        EXPECT_TRUE(*ran);
        return PdfPages(path).size();
    };
    EXPECT_EQ(print(true), 1);
    EXPECT_EQ(print(false), 3);
    const QList<int> whole{int(QPrinter::AllPages), 1, 3};
    ASSERT_EQ(offered.size(), 4);
    for (const QList<int> &o : offered)
        EXPECT_EQ(o, whole);
}

TEST_F(PrintReport, CellsWiderThanTheirColumnEndInAnEllipsisAtACharacterBoundary)
{
    QString note;
    for (int i = 0; i < 40; ++i)
        note += QStringLiteral("长长的备注");
    const QString item = QStringLiteral("一个非常非常非常长的项目名称，比这一栏宽得多得多得多得多得多得多");
    result.records = {Rec(1, "2024-03-02", kTypeIn, item, 100, note),
                      Rec(2, "2024-03-03", kTypeOut, "短", 250, "短备注")};
    Show();
    const QString pdf = PrintToPdf([this] { PrintTrans(); });
    const QStringList pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QStringList lines = pages[0].split(QLatin1Char('\n'));
    QString row;
    for (const QString &line : lines)
        if (line.startsWith(QStringLiteral("2024-03-02")))
            row = line;
    ASSERT_FALSE(row.isEmpty()) << pages[0].toStdString();
    // "date item… 1.00 note…": both long texts are whole-character prefixes ending in "…".
    const QStringList words = row.split(QLatin1Char(' '));
    ASSERT_EQ(words.size(), 4) << row.toStdString();
    for (const auto &[printed, full] : {std::pair{words[1], item}, std::pair{words[3], note}}) {
        ASSERT_TRUE(printed.endsWith(QChar(0x2026))) << printed.toStdString();
        const QString kept = printed.chopped(1);
        EXPECT_GT(kept.size(), 4);
        EXPECT_TRUE(full.startsWith(kept)) << printed.toStdString();
    }
    EXPECT_EQ(words[2], QStringLiteral("1.00"));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("2024-03-03 短 2.50 短备注")));
    // Nothing is printed in the right margin (10 mm of the 595 pt wide page).
    EXPECT_EQ(PdfText(pdf, {568, 0, 27, 842}).trimmed(), QString());
}
