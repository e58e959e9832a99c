#include "widgets/DesktopLook.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace {

class TDesktopStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

class TEnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isEnabled() || button->window()->focusWidget() != button)
            return false;
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

// A date field is one Tab stop: Qt would move from part to part of the date on Tab, so
// Tab goes to the field's parent, which passes the focus on. The parts are still reached by
// typing (a complete part moves on by itself) or with the arrow keys. Alt+Down and F4 open
// the calendar of a date picker, as a click on its arrow does.
class TDateFieldKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *edit = qobject_cast<QDateTimeEdit *>(watched);
        if (!edit)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool tab = key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab;
        if (tab && !(mods & (Qt::ControlModifier | Qt::AltModifier)) && edit->parentWidget() && !edit->isWindow()) {
            QCoreApplication::sendEvent(edit->parentWidget(), key);
            return true;
        }
        const bool opens = (key->key() == Qt::Key_F4 && mods == Qt::NoModifier) ||
                           (key->key() == Qt::Key_Down && mods == Qt::AltModifier);
        if (opens && edit->calendarPopup() && !edit->isReadOnly()) {
            QStyleOptionComboBox option;
            option.initFrom(edit);
            option.editable = true;
            option.subControls = QStyle::SC_All;
            const QPoint arrow =
                edit->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, edit).center();
            QMouseEvent press(QEvent::MouseButtonPress, arrow, edit->mapToGlobal(arrow), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(edit, &press);
            return true;
        }
        return false;
    }
};

// Every window as it is shown: inside the available area of its screen.
class TKeepOnScreen : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog))
                KeepInsideScreen(widget);
        }
        return false;
    }
};

} // namespace

void KeepInsideScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The window manager's frame counts once it is known.
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                           frame.bottom() - inner.bottom());
    QSize size = inner.size();
    const QSize room(area.width() - margins.left() - margins.right(), area.height() - margins.top() - margins.bottom());
    const QSize smallest = window->minimumSizeHint().expandedTo(window->minimumSize());
    const QSize fitted(std::max(std::min(size.width(), room.width()), smallest.width()),
                       std::max(std::min(size.height(), room.height()), smallest.height()));
    if (fitted != size && !window->isMaximized() && !window->isFullScreen()) {
        window->resize(fitted);
        size = fitted;
    }
    const int outerWidth = size.width() + margins.left() + margins.right();
    const int outerHeight = size.height() + margins.top() + margins.bottom();
    // A window larger than the area keeps its title bar and close button in view.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - outerWidth));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - outerHeight));
    if (x != frame.left() || y != frame.top())
        window->move(x, y);
}

void InstallDesktopHabits(QApplication &app)
{
    QApplication::setStyle(new TDesktopStyle);
    app.installEventFilter(new TEnterPressesButton(&app));
    app.installEventFilter(new TDateFieldKeys(&app));
    app.installEventFilter(new TKeepOnScreen(&app));
}

QFont FixedLayoutFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    return font;
}

void UseFixedLayoutFont(QWidget *window)
{
    if (window)
        window->setFont(FixedLayoutFont());
}

void WidenForCaption(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    // Room for the window manager's icon and its three title buttons beside the caption.
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}
