#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "app/SkinClass.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

constexpr QRgb kMagenta = 0xFFFF00FF;
constexpr QRgb kRed = 0xFFFF0000;

QImage Bitmap(const QString &name)
{
    QImage image;
    image.loadFromData(THi::ReadResourceText(name), "BMP");
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage Picture(const QLabel *label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

template <class T = QLabel>
T *Find(QWidget *w, const char *name)
{
    return w->findChild<T *>(QString::fromLatin1(name));
}

// One of the four images of the window's edges ("imgLeft", "imgTop", ...).
QLabel *Edge(const QWidget *w, const char *name)
{
    return Child<QLabel>(w, name);
}

std::unique_ptr<TSkinManEx> SkinOf(TfrmMain &w, const QString &style)
{
    return std::make_unique<TSkinManEx>(Edge(&w, "imgLeft"), Edge(&w, "imgTop"), Edge(&w, "imgRight"),
                                        Edge(&w, "imgBottom"), Child<QWidget>(&w, "pnlCenter"), style);
}

// What a window shows of its skin, for comparing two skins.
struct TPainted {
    QImage top, left, right, bottom, icon;
    QColor client;
    QRegion mask;
    bool operator==(const TPainted &) const = default;
};

TPainted Painted(TfrmMain &w)
{
    return {Picture(Edge(&w, "imgTop")), Picture(Edge(&w, "imgLeft")), Picture(Edge(&w, "imgRight")),
            Picture(Edge(&w, "imgBottom")),
            Find(&w, "imgSkinIcon") ? Picture(Find(&w, "imgSkinIcon")) : QImage(),
            Child<QWidget>(&w, "pnlCenter")->palette().color(QPalette::Window), w.mask()};
}

bool Unskinned(TfrmMain &w)
{
    return Edge(&w, "imgTop")->pixmap().isNull() && Edge(&w, "imgLeft")->pixmap().isNull() &&
           w.mask().isEmpty() &&
           !Find(&w, "imgSkinIcon") && !Find(&w, "lblSkinCaption") && !Find(&w, "imgSkinClose") &&
           !Find(&w, "imgSkinMinimize");
}

struct ShownMainWindow {
    TTempLedger ledger;
    std::unique_ptr<TfrmMain> w = SignedInMainWindow(ledger.Path(), QStringLiteral("妈妈"));
    ShownMainWindow()
    {
        w->move(100, 100);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    QWindow *handle() const { return w->windowHandle(); }
};

} // namespace

TEST(Skin, ShippedBitmapsHaveTheirSizesAndKeys)
{
    for (const QString style : {"G", "B", "O"}) {
        SCOPED_TRACE(style.toStdString());
        const QImage sheet = Bitmap("RES_FORM_" + style);
        ASSERT_EQ(sheet.size(), QSize(215, 44));
        EXPECT_EQ(sheet.pixel(0, 0), kMagenta);
        EXPECT_EQ(sheet.pixel(214, 0), kMagenta);
        // The stretched middle and the client colour must not be key-coloured, or the
        // shape would lose the whole title bar.
        for (int y = 0; y < 31; ++y)
            EXPECT_NE(sheet.pixel(187, y), kMagenta) << y;
        EXPECT_NE(sheet.pixel(6, 32), kMagenta);

        const QImage icon = Bitmap("RES_ICON_" + style);
        EXPECT_EQ(icon.size(), QSize(16, 16));
        EXPECT_EQ(icon.pixel(0, 0), kRed);
        EXPECT_NE(icon.pixel(8, 8), kRed);

        const QImage strip = Bitmap("RES_TITLE_" + style);
        ASSERT_EQ(strip.size(), QSize(64, 16));
        for (int x = 0; x < 64; x += 16) {
            EXPECT_EQ(strip.pixel(x, 0), kRed) << x;
            EXPECT_NE(strip.pixel(x + 8, 8), kRed) << x;
            // Raised and pressed pictures differ visibly.
            if (x % 32 == 0) {
                EXPECT_NE(strip.copy(x, 0, 16, 16), strip.copy(x + 16, 0, 16, 16)) << x;
            }
        }
    }
    EXPECT_EQ(QImage(QStringLiteral(":/tallyfern.png")).size(), QSize(64, 64));
}

TEST(Skin, SignedInWindowIsFramelessWithTitleBarControlsInPlace)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("妈妈"));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);

    QLabel *close = Find(w.get(), "imgSkinClose");
    QLabel *minimize = Find(w.get(), "imgSkinMinimize");
    QLabel *icon = Find(w.get(), "imgSkinIcon");
    QLabel *caption = Find(w.get(), "lblSkinCaption");
    ASSERT_TRUE(close && minimize && icon && caption);
    EXPECT_EQ(close->geometry(), QRect(679, 9, 16, 16));
    EXPECT_EQ(minimize->geometry(), QRect(660, 9, 16, 16));
    EXPECT_EQ(icon->geometry(), QRect(11, 9, 16, 16));
    EXPECT_EQ(caption->x(), 31);
    EXPECT_EQ(caption->y(), (34 - caption->height()) / 2);
    for (QLabel *l : {close, minimize, icon, caption})
        EXPECT_EQ(l->parentWidget(), Child<QWidget>(w.get(), "pnlTop"));
    EXPECT_EQ(close->toolTip(), QStringLiteral("Close"));
    EXPECT_EQ(minimize->toolTip(), QStringLiteral("Minimize"));

    EXPECT_EQ(caption->text(), QStringLiteral("Tallyfern - 用户名称：妈妈"));
    EXPECT_TRUE(caption->font().bold());
    EXPECT_EQ(caption->font().family(), w->font().family());
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(Qt::white));
    // The transparent red of the icon shows the title bar through.
    EXPECT_EQ(qAlpha(Picture(icon).pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(Picture(icon).pixel(8, 8)), 255);
}

TEST(Skin, FrameImagesAreCutFromTheSheetRegions)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const QImage sheet = Bitmap("RES_FORM_G");
    const QImage top = Picture(Edge(w.get(), "imgTop")), left = Picture(Edge(w.get(), "imgLeft"));
    const QImage right = Picture(Edge(w.get(), "imgRight")), bottom = Picture(Edge(w.get(), "imgBottom"));
    ASSERT_EQ(top.size(), QSize(706, 31));
    ASSERT_EQ(left.size(), QSize(5, 485));
    ASSERT_EQ(right.size(), QSize(5, 485));
    ASSERT_EQ(bottom.size(), QSize(706, 5));

    for (int y = 0; y < 31; ++y) {
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(top.pixel(x, y), sheet.pixel(x, y)) << x << "," << y;
        for (int x : {11, 300, 691})
            ASSERT_EQ(top.pixel(x, y), sheet.pixel(187, y)) << x << "," << y;
        for (int x = 0; x < 14; ++x)
            ASSERT_EQ(top.pixel(692 + x, y), sheet.pixel(201 + x, y)) << x << "," << y;
    }
    for (int x = 0; x < 5; ++x) {
        for (int y : {0, 242, 484}) {
            EXPECT_EQ(left.pixel(x, y), sheet.pixel(x, 32));
            EXPECT_EQ(right.pixel(x, y), sheet.pixel(210 + x, 32));
        }
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(bottom.pixel(x, y), sheet.pixel(x, 39 + y));
            EXPECT_EQ(bottom.pixel(5 + 350 * x / 4, y), sheet.pixel(5, 39 + y));
            EXPECT_EQ(bottom.pixel(701 + x, y), sheet.pixel(175 + x, 39 + y));
        }
    }
    EXPECT_EQ(Child<QWidget>(w.get(), "pnlCenter")->palette().color(QPalette::Window), sheet.pixelColor(6, 32));
}

TEST(Skin, StyleLetterIsTrimmedAndUpperCased)
{
    TfrmMain reference;
    reference.setWindowTitle(QStringLiteral("T"));
    auto referenceSkin = SkinOf(reference, QStringLiteral("G"));
    const TPainted expected = Painted(reference);
    ASSERT_FALSE(expected.top.isNull());

    for (const QString style : {"g", " G ", "\tg\r\n"}) {
        TfrmMain w;
        w.setWindowTitle(QStringLiteral("T"));
        auto skin = SkinOf(w, style);
        EXPECT_EQ(skin->Style(), QStringLiteral("G"));
        EXPECT_TRUE(Painted(w) == expected) << "style '" << style.toStdString() << "'";
    }

    TfrmMain blue;
    blue.setWindowTitle(QStringLiteral("T"));
    auto blueSkin = SkinOf(blue, QStringLiteral("b"));
    EXPECT_NE(Picture(Edge(&blue, "imgTop")), expected.top);
}

TEST(Skin, ShapeCutsExactlyTheKeyColouredPixelsOfTheTitleBar)
{
    TTempLedger ledger;
    auto w = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const QImage top = Picture(Edge(w.get(), "imgTop"));
    const QRgb key = top.pixel(0, 0);
    const QRegion mask = w->mask();

    int cut = 0;
    for (int y = 0; y < top.height(); ++y)
        for (int x = 0; x < top.width(); ++x) {
            const bool isKey = top.pixel(x, y) == key;
            cut += isKey;
            ASSERT_EQ(mask.contains(QPoint(x, y)), !isKey) << x << "," << y;
        }
    // Both top corners are rounded off; the rest of the window stays whole.
    EXPECT_GT(cut, 4);
    EXPECT_FALSE(mask.contains(QPoint(705, 0)));
    EXPECT_TRUE(mask.contains(QPoint(353, 0)));
    EXPECT_LE((QRegion(w->rect()) - mask).boundingRect().bottom(), 30);
    EXPECT_TRUE(mask.contains(QRect(0, 31, 706, 490)));
}

TEST(Skin, WindowsWithAFrameOrTooSmallGetNoSkin)
{
    {
        TfrmMain framed;
        framed.setWindowFlag(Qt::FramelessWindowHint, false);
        auto skin = SkinOf(framed, QStringLiteral("G"));
        EXPECT_TRUE(Unskinned(framed));
        EXPECT_TRUE(skin->Style().isEmpty());
    }
    for (const QSize size : {QSize(250, 521), QSize(706, 188)}) {
        TfrmMain small;
        small.setFixedSize(size);
        auto skin = SkinOf(small, QStringLiteral("G"));
        EXPECT_TRUE(Unskinned(small)) << size.width() << "x" << size.height();
    }
    TfrmMain justLargeEnough;
    justLargeEnough.setFixedSize(251, 189);
    auto skin = SkinOf(justLargeEnough, QStringLiteral("G"));
    EXPECT_FALSE(Unskinned(justLargeEnough));
}

TEST(Skin, MissingStyleRaisesTheResourceErrorAndPaintsNothing)
{
    TfrmMain w;
    const QColor before = Child<QWidget>(&w, "pnlCenter")->palette().color(QPalette::Window);
    const int childrenBefore = Child<QWidget>(&w, "pnlTop")->children().size();
    try {
        SkinOf(w, QStringLiteral(" z"));
        FAIL() << "no error for a missing style";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("RES_FORM_Z"))) << e.message().toStdString();
    }
    EXPECT_TRUE(Unskinned(w));
    EXPECT_EQ(Child<QWidget>(&w, "pnlCenter")->palette().color(QPalette::Window), before);
    EXPECT_EQ(Child<QWidget>(&w, "pnlTop")->children().size(), childrenBefore);
}

TEST(Skin, LongCaptionEndsBeforeTheButtons)
{
    TfrmMain w;
    w.setWindowTitle(QStringLiteral("Tallyfern - 用户名称：") + QString(80, QChar(0x5988)));
    auto skin = SkinOf(w, QStringLiteral("G"));
    QLabel *caption = Find(&w, "lblSkinCaption");
    ASSERT_TRUE(caption);
    EXPECT_LE(caption->geometry().right(), 660 - 4);
    EXPECT_TRUE(caption->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(caption->toolTip(), w.windowTitle());
}

TEST(Skin, CloseCompletesWhenReleasedOutsideTheButton)
{
    ShownMainWindow shown;
    QLabel *close = Find(shown.w.get(), "imgSkinClose");
    const QImage raised = Picture(close);

    QTest::mousePress(shown.handle(), Qt::LeftButton, {}, QPoint(687, 17));
    EXPECT_NE(Picture(close), raised);
    EXPECT_TRUE(shown.w->isVisible());
    QTest::mouseRelease(shown.handle(), Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(shown.w->isVisible());
    EXPECT_EQ(Picture(close), raised);
}

TEST(Skin, MinimizeButtonAndOtherMouseButtons)
{
    ShownMainWindow shown;
    QLabel *close = Find(shown.w.get(), "imgSkinClose");
    const QImage raised = Picture(close);

    // The right button neither presses nor closes.
    QTest::mousePress(shown.handle(), Qt::RightButton, {}, QPoint(687, 17));
    EXPECT_EQ(Picture(close), raised);
    QTest::mouseRelease(shown.handle(), Qt::RightButton, {}, QPoint(687, 17));
    EXPECT_TRUE(shown.w->isVisible());

    QTest::mouseClick(shown.handle(), Qt::LeftButton, {}, QPoint(668, 17));
    EXPECT_TRUE(shown.w->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(shown.w->isVisible());
}

TEST(Skin, TitleBarDragsTheWindowWithTheLeftButtonOnly)
{
    ShownMainWindow shown;
    const QPoint start = shown.w->pos();

    QTest::mousePress(shown.handle(), Qt::RightButton, {}, QPoint(300, 15));
    QTest::mouseMove(shown.handle(), QPoint(340, 40));
    QTest::mouseRelease(shown.handle(), Qt::RightButton, {}, QPoint(340, 40));
    EXPECT_EQ(shown.w->pos(), start);

    // The caption lies over the title bar and does not start a drag.
    QTest::mousePress(shown.handle(), Qt::LeftButton, {}, QPoint(40, 15));
    QTest::mouseMove(shown.handle(), QPoint(80, 40));
    QTest::mouseRelease(shown.handle(), Qt::LeftButton, {}, QPoint(80, 40));
    EXPECT_EQ(shown.w->pos(), start);

    QTest::mousePress(shown.handle(), Qt::LeftButton, {}, QPoint(400, 15));
    QTest::mouseMove(shown.handle(), QPoint(440, 40));
    EXPECT_EQ(shown.w->pos(), start + QPoint(40, 25));
    // The window moved with the pointer, which now rests over the same spot of the bar.
    QTest::mouseRelease(shown.handle(), Qt::LeftButton, {}, QPoint(400, 15));
    EXPECT_EQ(shown.w->pos(), start + QPoint(40, 25));
}
