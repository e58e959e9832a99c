#include "app/SkinClass.h"
#include "base/Errors.h"
#include "base/HiClass.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int kEdge = 5;
constexpr int kTitleHeight = 31;
constexpr int kButtonSize = 16;
// Items of the title bar are centred on 34 rather than on the bar's 31 rows.
constexpr int kCentreHeight = 34;
constexpr QRgb kTransparentRed = 0xFFFF0000;
// Hints stay until the pointer leaves the button.
constexpr int kHintStaysMs = 24 * 60 * 60 * 1000;

QImage LoadBitmap(const QString &name, QSize least)
{
    const QByteArray bytes = THi::ReadResourceText(name);
    QImage image;
    if (!image.loadFromData(bytes, "BMP") || image.width() < least.width() ||
        image.height() < least.height())
        throw TError(QStringLiteral("程序资源 %1 不是可用的位图").arg(name));
    return image.convertToFormat(QImage::Format_RGB32);
}

QPixmap WithTransparentKey(const QImage &image, QRgb key)
{
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((line[x] | 0xFF000000) == key)
                line[x] = 0;
    }
    return QPixmap::fromImage(keyed);
}

QImage NewImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// The frame images fill their panels exactly.
void FitToPanel(QLabel *image, QSize panelSize)
{
    QWidget *panel = image->parentWidget();
    panel->resize(panelSize);
    image->setGeometry(panel->rect());
}

} // namespace

TSkinManEx::TSkinManEx(QLabel *imgLeft, QLabel *imgTop, QLabel *imgRight, QLabel *imgBottom,
                       QWidget *pnlCenter, const QString &style)
{
    for (QLabel *image : {imgLeft, imgTop, imgRight, imgBottom})
        if (!image || !image->parentWidget())
            return;
    if (!pnlCenter)
        return;
    QWidget *window = pnlCenter->parentWidget();
    if (!window || !(window->windowFlags() & Qt::FramelessWindowHint) || window->width() <= 250 ||
        window->height() <= 188)
        return;

    const QString letter = THi::Trim(style).toUpper();
    // Every bitmap is read before anything changes, so a missing style leaves the window
    // as it was.
    const QImage sheet = LoadBitmap(QStringLiteral("RES_FORM_") + letter, QSize(215, 44));
    const QImage icon = LoadBitmap(QStringLiteral("RES_ICON_") + letter, QSize(1, 1));
    m_titleStrip = LoadBitmap(QStringLiteral("RES_TITLE_") + letter, QSize(4 * kButtonSize, kButtonSize));

    m_style = letter;
    m_window = window;
    m_imgLeft = imgLeft;
    m_imgTop = imgTop;
    m_imgRight = imgRight;
    m_imgBottom = imgBottom;
    m_pnlCenter = pnlCenter;

    FitToPanel(imgLeft, {kEdge, imgLeft->parentWidget()->height()});
    FitToPanel(imgTop, {imgTop->parentWidget()->width(), kTitleHeight});
    FitToPanel(imgRight, {kEdge, imgRight->parentWidget()->height()});
    FitToPanel(imgBottom, {imgBottom->parentWidget()->width(), kEdge});
    pnlCenter->setAutoFillBackground(true);
    imgTop->installEventFilter(this);

    PaintFrame(sheet);
    CreateTitleControls(icon);
    CutWindowShape();
}

TSkinManEx::~TSkinManEx()
{
    if (m_imgTop)
        m_imgTop->removeEventFilter(this);
    delete m_icon;
    delete m_caption;
    delete m_minimize;
    delete m_close;
}

void TSkinManEx::PaintFrame(const QImage &sheet)
{
    QPalette palette = m_pnlCenter->palette();
    palette.setColor(QPalette::Window, sheet.pixelColor(6, 32));
    m_pnlCenter->setPalette(palette);

    QImage top = NewImage(m_imgTop->size());
    {
        const int w = top.width();
        QPainter p(&top);
        p.drawImage(QPoint(0, 0), sheet, QRect(0, 0, 11, kTitleHeight));
        p.drawImage(QRect(11, 0, w - 25, kTitleHeight), sheet, QRect(187, 0, 1, kTitleHeight));
        p.drawImage(QPoint(w - 14, 0), sheet, QRect(201, 0, 14, kTitleHeight));
    }
    QImage left = NewImage(m_imgLeft->size());
    {
        QPainter p(&left);
        p.drawImage(left.rect(), sheet, QRect(0, 32, kEdge, 1));
    }
    QImage right = NewImage(m_imgRight->size());
    {
        QPainter p(&right);
        p.drawImage(right.rect(), sheet, QRect(210, 32, kEdge, 1));
    }
    QImage bottom = NewImage(m_imgBottom->size());
    {
        const int w = bottom.width();
        QPainter p(&bottom);
        p.drawImage(QPoint(0, 0), sheet, QRect(0, 39, kEdge, kEdge));
        p.drawImage(QRect(kEdge, 0, w - 2 * kEdge, kEdge), sheet, QRect(5, 39, 1, kEdge));
        p.drawImage(QPoint(w - kEdge, 0), sheet, QRect(175, 39, kEdge, kEdge));
    }
    m_imgTop->setPixmap(QPixmap::fromImage(top));
    m_imgLeft->setPixmap(QPixmap::fromImage(left));
    m_imgRight->setPixmap(QPixmap::fromImage(right));
    m_imgBottom->setPixmap(QPixmap::fromImage(bottom));
}

void TSkinManEx::CreateTitleControls(const QImage &icon)
{
    QWidget *pnlTop = m_imgTop->parentWidget();
    const int w = m_window->width();

    m_icon = new QLabel(pnlTop);
    m_icon->setObjectName(QStringLiteral("imgSkinIcon"));
    m_icon->setPixmap(WithTransparentKey(icon, kTransparentRed));
    m_icon->resize(icon.size());
    m_icon->move(11, (kCentreHeight - m_icon->height()) / 2);
    m_icon->raise();

    const QString title = m_window->windowTitle();
    m_caption = new QLabel(pnlTop);
    m_caption->setObjectName(QStringLiteral("lblSkinCaption"));
    m_caption->setTextFormat(Qt::PlainText);
    QFont bold = m_window->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    QPalette palette = m_caption->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_caption->setPalette(palette);
    m_caption->setText(title);
    m_caption->adjustSize();
    m_caption->move(m_icon->x() + m_icon->width() + 4, (kCentreHeight - m_caption->height()) / 2);

    m_icon->setAccessibleName(QStringLiteral("Tallyfern"));
    m_close = CreateButton("imgSkinClose", QStringLiteral("Close"), QStringLiteral("关闭"), w - kButtonSize - 11);
    m_minimize = CreateButton("imgSkinMinimize", QStringLiteral("Minimize"), QStringLiteral("最小化"),
                              m_close->x() - kButtonSize - 3);
    DrawButton(QStringLiteral("close"), QStringLiteral("up"));
    DrawButton(QStringLiteral("minimize"), QStringLiteral("up"));

    // A caption too long for the bar ends in an ellipsis before the buttons instead of
    // running under them; the hint shows it whole.
    const int room = m_minimize->x() - 4 - m_caption->x();
    if (m_caption->width() > room) {
        m_caption->setText(m_caption->fontMetrics().elidedText(title, Qt::ElideRight, room));
        m_caption->resize(qMax(0, room), m_caption->height());
        m_caption->setToolTip(title);
    }
    m_caption->raise();
    m_close->raise();
    m_minimize->raise();
}

QLabel *TSkinManEx::CreateButton(const char *name, const QString &hint, const QString &spokenName, int x)
{
    auto *button = new QLabel(m_imgTop->parentWidget());
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, (kCentreHeight - kButtonSize) / 2, kButtonSize, kButtonSize);
    button->setToolTip(hint);
    button->setToolTipDuration(kHintStaysMs);
    // A screen reader announces the button in the language of the program.
    button->setAccessibleName(spokenName);
    button->installEventFilter(this);
    return button;
}

void TSkinManEx::DrawButton(const QString &kind, const QString &state)
{
    const QString k = kind.toLower();
    QLabel *button = k == QLatin1String("close") ? m_close.data()
                     : k == QLatin1String("minimize") ? m_minimize.data()
                                                      : nullptr;
    if (!button)
        return;
    const int x = (button == m_close ? 2 * kButtonSize : 0) +
                  (state.toLower() == QLatin1String("down") ? kButtonSize : 0);
    button->setPixmap(WithTransparentKey(m_titleStrip.copy(x, 0, kButtonSize, kButtonSize), kTransparentRed));
}

void TSkinManEx::CutWindowShape()
{
    const QImage top = m_imgTop->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb key = top.pixel(0, 0);
    const QPoint origin = m_imgTop->mapTo(m_window.data(), QPoint(0, 0));
    QRegion cut;
    for (int y = 0; y < top.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(top.constScanLine(y));
        int x = 0;
        while (x < top.width()) {
            if (line[x] != key) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < top.width() && line[x] == key)
                ++x;
            cut += QRect(origin.x() + start, origin.y() + y, x - start, 1);
        }
    }
    m_window->setMask(QRegion(m_window->rect()) - cut);
}

bool TSkinManEx::eventFilter(QObject *watched, QEvent *event)
{
    // Only mouse events matter here. Checking the type first also keeps the pointer
    // comparisons below away from events sent while a watched label is being destroyed,
    // when it is no longer a QLabel.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    if (watched == m_imgTop)
        return TitleMouse(event);
    if (watched == m_close)
        return ButtonMouse(Button::Close, event);
    if (watched == m_minimize)
        return ButtonMouse(Button::Minimize, event);
    return false;
}

bool TSkinManEx::TitleMouse(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || mouse->position().y() > kTitleHeight - 1)
            return false;
        QWindow *handle = m_window->windowHandle();
        if (handle && handle->startSystemMove())
            return true;
        m_dragging = true;
        m_dragStartMouse = mouse->globalPosition().toPoint();
        m_dragStartWindow = m_window->pos();
        return true;
    }
    case QEvent::MouseMove:
        if (!m_dragging)
            return false;
        m_window->move(m_dragStartWindow + static_cast<QMouseEvent *>(event)->globalPosition().toPoint() -
                       m_dragStartMouse);
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton || !m_dragging)
            return false;
        m_dragging = false;
        return true;
    default:
        return false;
    }
}

bool TSkinManEx::ButtonMouse(Button button, QEvent *event)
{
    const QString kind = button == Button::Close ? QStringLiteral("close") : QStringLiteral("minimize");
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_pressed = button;
            DrawButton(kind, QStringLiteral("down"));
        }
        return true;
    case QEvent::MouseButtonRelease:
        // The button that took the press gets the release wherever the pointer is now,
        // so a press always completes its command.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_pressed == button) {
            m_pressed = Button::None;
            DrawButton(kind, QStringLiteral("up"));
            if (button == Button::Close)
                m_window->close();
            else
                m_window->showMinimized();
        }
        return true;
    default:
        return false;
    }
}
