#include "widgets/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// Texts of Qt's file lists that its Chinese translation lacks.
class TMissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        static const struct {
            const char *source;
            const char16_t *text;
        } texts[] = {{"Folder", u"文件夹"}, {"Drive", u"驱动器"}, {"Shortcut", u"快捷方式"}, {"Alias", u"替身"}};
        for (const auto &t : texts)
            if (qstrcmp(source, t.source) == 0)
                return QString::fromUtf16(t.text);
        return QString();
    }
};
} // namespace

bool InstallChineseTranslation(QCoreApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(new TMissingQtTexts(&app));
    return QCoreApplication::installTranslator(translator);
}
