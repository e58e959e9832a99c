#include "app/Application.h"
#include "app/CommandLine.h"
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "base/StartFolder.h"

#include <QDir>
#include <QIcon>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

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
// Said in Chinese when the console shows UTF-8, always followed by the English.
void SayNoDisplay()
{
    std::setlocale(LC_CTYPE, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        std::fputs("Tallyfern 需要图形界面，但没有找到（DISPLAY 和 WAYLAND_DISPLAY 都没有设置）。\n", stderr);
    std::fputs("Tallyfern needs a graphical display, and none was found "
               "(DISPLAY and WAYLAND_DISPLAY are not set).\n", stderr);
}
} // namespace

int main(int argc, char **argv)
{
    if (const int status = AnswerCommandLine(argc, argv); status >= 0)
        return status;
    if (!HasDisplay()) {
        SayNoDisplay();
        return 1;
    }

    TApplication app(argc, argv);
    SetUpApplication();
    // Qt's print dialog offers print.pdf in the current folder; that is to be the user's. The
    // command line was read (and its file resolved) before this.
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
