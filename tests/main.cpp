#include "app/Application.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char **argv)
{
    // ctest's test discovery runs this binary without the test environment.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Every run gets its own data folders, so no test touches the user's real ledger.
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 1);
    TApplication app(argc, argv);
    SetUpApplication();
    TScriptedDialogs dialogs;
    SetDialogs(&dialogs);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
