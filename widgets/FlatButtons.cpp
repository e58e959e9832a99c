#include "widgets/FlatButtons.h"

#include <QPushButton>
#include <QWidget>

void FlattenButtons(QWidget *window)
{
    if (!window)
        return;
    // Qt's flat buttons have no edge at all; a thin one keeps them recognisable as buttons,
    // as flat buttons are on the desktop this program was first drawn for.
    static const QString style = QStringLiteral(
        "QPushButton:flat { border: 1px solid #9a9a8e; border-radius: 2px; background: #f7f6ee; }"
        "QPushButton:flat:hover { background: #ffffff; border-color: #5a7a5a; }"
        "QPushButton:flat:pressed { background: #dedbc8; }"
        "QPushButton:flat:disabled { border-color: #c6c4b6; color: #a8a698; }"
        "QPushButton:flat:focus { border-color: #3c6e3c; }");
    const auto buttons = window->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        button->setFlat(true);
        button->setStyleSheet(style);
        button->update();
    }
}
