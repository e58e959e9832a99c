#include "app/HiClass.h"

#include <QPushButton>
#include <QWidget>

void THi::FlattenButtons(QWidget *window)
{
    if (!window)
        return;
    const auto buttons = window->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        button->setFlat(true);
        button->update();
    }
}
