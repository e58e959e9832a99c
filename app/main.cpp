#include "app/Application.h"
#include "app/CommandLine.h"
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "base/StartFolder.h"

#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {
bool HasDisplay()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}
} // namespace

int main(int argc, char **argv)
{
    if (const int status = AnswerCommandLine(argc, argv); status >= 0)
        return status;
    if (!HasDisplay()) {
        std::fprintf(stderr, "Tallyfern needs a graphical display, and none was found "
                             "(DISPLAY and WAYLAND_DISPLAY are not set).\n");
        return 1;
    }

    TApplication app(argc, argv);
    SetUpApplication();
    // Qt's print dialog offers print.pdf in the current folder; that is to be the user's.
    QDir::setCurrent(UserStartFolder());
    app.setWindowIcon(QIcon(QStringLiteral(":/tallyfern.png")));

    TfrmMain window;
    try {
        if (!window.FormCreate())
            return 0;
    } catch (const TError &e) {
        ShowErrorBox(e.message());
        return 1;
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    window.show();
    return app.exec();
}
