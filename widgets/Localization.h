#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, file, input and print dialogs) in Simplified Chinese,
// and the Chinese locale as the default for dates and calendars, whatever the system's
// language. Returns false when Qt's Chinese translation is not installed; the program then
// runs with Qt's texts in English.
bool InstallChineseTranslation(QCoreApplication &app);
