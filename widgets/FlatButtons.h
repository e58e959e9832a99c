#pragma once

class QWidget;

// Makes every push button of window flat, with a thin edge that keeps it recognisable.
void FlattenButtons(QWidget *window);
