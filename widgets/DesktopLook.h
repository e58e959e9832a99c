#pragma once
#include <QFont>

class QApplication;
class QMessageBox;
class QWidget;

// Habits every window shares: password characters shown as "*", Enter on a focused push
// button presses it (Qt presses only default buttons of dialogs), and every window is
// shown inside the available area of its screen. Enter inside a field is left to the
// field and its window. A date field is one Tab stop, and Alt+Down or F4 opens a date
// picker's calendar.
void InstallDesktopHabits(QApplication &app);

// Moves window (and shrinks it, down to its smallest size, when it is larger) so that it
// lies inside the available area of its screen; a window that cannot fit keeps its top
// left corner, with the title bar and its buttons, in view.
void KeepInsideScreen(QWidget *window);

// The font of the windows laid out in fixed pixels: a pixel size, so that a larger desktop
// font never pushes a caption under a neighbouring control.
QFont FixedLayoutFont();
void UseFixedLayoutFont(QWidget *window);

// Makes a message box at least wide enough for the window manager to show its caption.
void WidenForCaption(QMessageBox &box);
