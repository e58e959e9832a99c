#pragma once
#include "widgets/Dialogs.h"
#include "base/StartFolder.h"

class TQtDialogs : public IDialogs {
public:
    void Message(QWidget *owner, const QString &text, const QString &caption, Icon icon) override;
    bool Question(QWidget *owner, const QString &text, const QString &caption,
                  Answer preset = Answer::Yes) override;
    bool InputText(QWidget *owner, const QString &caption, const QString &prompt, QString &value,
                   bool password) override;
    QString OpenFileName(QWidget *owner, const QString &caption, const QString &filter) override;
    QString SaveFileName(QWidget *owner, const QString &caption, const QString &filter,
                         const QString &defaultName) override;
    QString LastSelectedFilter() const override { return m_selectedFilter; }

private:
    TStartFolder m_startFolder;
    QString m_selectedFilter;
};
