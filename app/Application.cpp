#include "app/Application.h"
#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "widgets/DesktopLook.h"
#include "widgets/Localization.h"

#include <QFont>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const TError &e) {
        ShowErrorBox(e.message());
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void SetUpApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tallyfern"));
    // The window font is Tahoma; Chinese text and the Song face fall back to a CJK font
    // that renders and prints on this platform.
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitution(QStringLiteral("Tahoma"), cjk);
    QFont::insertSubstitution(QStringLiteral("宋体"), cjk);
    QFont::insertSubstitution(QStringLiteral("SimSun"), cjk);
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        if (!InstallChineseTranslation(*app))
            qWarning("Qt's Chinese translation (qtbase_zh_CN.qm) is not installed");
        InstallDesktopHabits(*app);
    }
}
