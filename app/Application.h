#pragma once
#include <QApplication>

// The application object: its notify() is the last guard that turns an error escaping a
// command into the application's error box.
class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Settings every run shares, in the program and in the tests: names, the window font and
// its stand-ins for Chinese text, Qt's texts in Chinese and the desktop habits.
void SetUpApplication();
