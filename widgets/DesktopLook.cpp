#include "widgets/DesktopLook.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyleOptionComboBox>

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

} // namespace

void InstallDesktopHabits(QApplication &app)
{
    QApplication::setStyle(new TDesktopStyle);
    app.installEventFilter(new TEnterPressesButton(&app));
    app.installEventFilter(new TDateFieldKeys(&app));
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
