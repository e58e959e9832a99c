#include "preview/PrintForm.h"
#include "output/Reports.h"
#include "preview/ReportPreview.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QFrame>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
QToolButton *Tool(const TfrmPrint &form, const char *name)
{
    return Child<QToolButton>(&form, name);
}

// A transactions report of the given number of pages, shown in a preview window that lays
// out its pages as they are shown.
class PreviewOf {
public:
    explicit PreviewOf(int pageCount)
    {
        QList<TRecord> rows;
        for (int i = 0; i < (pageCount - 1) * ReportRowsPerPage + 1; ++i)
            rows << TRecord{i + 1, QDate(2024, 3, 1), kTypeIn, QStringLiteral("条目%1").arg(i), 100, QString()};
        composite.Paged =
            TransactionsReport({QStringLiteral("宝贝"), QDate(2024, 3, 1), QDate(2024, 3, 31), 100, 0}, rows);
        composite.Prepare();
        form.SetReport(&composite);
    }
    QString Status() const { return Child<QLabel>(&form, "lblStatusPanel")->text(); }
    void Click(QToolButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    TCompositeReport composite;
    TfrmPrint form{nullptr};
};
} // namespace

TEST(PrintForm, OnePageReportStaysOnItsPage)
{
    PreviewOf preview(1);
    EXPECT_EQ(preview.Status(), QStringLiteral("#"));
    preview.form.show();
    EXPECT_EQ(preview.Status(), QStringLiteral("第 1 页 / 共 1 页"));
    for (const char *name : {"btnFirstPage", "btnPrevPage", "btnNextPage", "btnLastPage"}) {
        QToolButton *button = Tool(preview.form, name);
        Child<QLabel>(&preview.form, "lblStatusPanel")->setText(QString());
        preview.Click(button);
        EXPECT_EQ(preview.Status(), QStringLiteral("第 1 页 / 共 1 页")) << button->objectName().toStdString();
    }
}

TEST(PrintForm, PageButtonsMoveWithinTheReport)
{
    PreviewOf preview(5);
    TfrmPrint &form = preview.form;
    form.show();
    EXPECT_EQ(preview.Status(), QStringLiteral("第 1 页 / 共 5 页"));
    preview.Click(Tool(form, "btnPrevPage"));
    EXPECT_EQ(Child<TReportPreview>(&form, "QRPreview1")->PageNumber(), 1);
    preview.Click(Tool(form, "btnNextPage"));
    preview.Click(Tool(form, "btnNextPage"));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 3 页 / 共 5 页"));

    // A new page is shown from its top-left corner.
    Child<TReportPreview>(&form, "QRPreview1")->verticalScrollBar()->setValue(200);
    preview.Click(Tool(form, "btnLastPage"));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 5 页 / 共 5 页"));
    EXPECT_EQ(Child<TReportPreview>(&form, "QRPreview1")->verticalScrollBar()->value(), 0);
    preview.Click(Tool(form, "btnNextPage"));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 5 页 / 共 5 页"));
    preview.Click(Tool(form, "btnPrevPage"));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 4 页 / 共 5 页"));
    preview.Click(Tool(form, "btnFirstPage"));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 1 页 / 共 5 页"));
}

TEST(PrintForm, KeysTurnThePages)
{
    PreviewOf preview(3);
    TfrmPrint &form = preview.form;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // A shortcut presses its button visibly and clicks it a moment later.
    const auto press = [&](Qt::Key key, int expectedPage) {
        QTest::keyClick(&form, key);
        const TReportPreview *pages = Child<TReportPreview>(&form, "QRPreview1");
        return QTest::qWaitFor([&] { return pages->PageNumber() == expectedPage; }, 2000);
    };
    EXPECT_TRUE(press(Qt::Key_End, 3));
    EXPECT_TRUE(press(Qt::Key_PageUp, 2));
    EXPECT_TRUE(press(Qt::Key_Home, 1));
    EXPECT_TRUE(press(Qt::Key_PageDown, 2));
    EXPECT_EQ(preview.Status(), QStringLiteral("第 2 页 / 共 3 页"));
}

TEST(PrintForm, WindowCoversTheWorkAreaWithItsToolStripAndStatusBar)
{
    PreviewOf preview(2);
    TfrmPrint &form = preview.form;
    form.show();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.frameGeometry(), work);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("打印"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());

    EXPECT_EQ(Child<QFrame>(&form, "CoolBar1")->geometry(), QRect(0, 0, form.width(), 27));
    const struct {
        QToolButton *button;
        const char *caption;
        int tag;
    } buttons[] = {{Tool(form, "btnFirstPage"), "最前页", 0}, {Tool(form, "btnPrevPage"), "上一页", 1},
                   {Tool(form, "btnNextPage"), "下一页", 2},  {Tool(form, "btnLastPage"), "最后页", 3},
                   {Tool(form, "btnPrint"), "打印 (A4)", -1}};
    int x = 0;
    for (const auto &b : buttons) {
        EXPECT_EQ(b.button->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(b.button->geometry(), QRect(x, 0, 78, 23)) << b.caption;
        EXPECT_TRUE(b.button->autoRaise()) << b.caption;
        EXPECT_FALSE(b.button->icon().isNull()) << b.caption;
        EXPECT_EQ(b.button->icon().pixmap(18, 18).size(), QSize(18, 18));
        EXPECT_EQ(b.button->property("tag").isValid() ? b.button->property("tag").toInt() : -1, b.tag);
        x += 78;
    }

    EXPECT_EQ(Child<QStatusBar>(&form, "StatusBar1")->geometry(), QRect(0, form.height() - 21, form.width(), 21));
    EXPECT_EQ(Child<TReportPreview>(&form, "QRPreview1")->geometry(),
              QRect(0, 27, form.width(), form.height() - 27 - 21));
    EXPECT_GE(Child<QLabel>(&form, "lblStatusPanel")->width(),
              Child<QStatusBar>(&form, "StatusBar1")->contentsRect().width() - 8);
    EXPECT_EQ(Child<TReportPreview>(&form, "QRPreview1")->Zoom(), 100);
}
