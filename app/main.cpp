#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/Errors.h"
#include "app/HiClass.h"
#include "app/MainForm.h"
#include "desktop/StartFolder.h"

#include <QDir>
#include <QIcon>
#include <QLockFile>

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
    THi::CheckOsVersion();
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

    // Marks a running instance for whoever looks for it; a second instance starts anyway.
    QLockFile mutex(QDir::temp().filePath(QStringLiteral("zovalt-AppMutex")));
    mutex.tryLock(0);

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
