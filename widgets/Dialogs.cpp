#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "widgets/QtDialogs.h"
#include "widgets/DesktopLook.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
IDialogs *g_dialogs = nullptr;

QMessageBox::Icon ToQt(IDialogs::Icon icon)
{
    switch (icon) {
    case IDialogs::Icon::Information:
        return QMessageBox::Information;
    case IDialogs::Icon::Warning:
        return QMessageBox::Warning;
    case IDialogs::Icon::Error:
        return QMessageBox::Critical;
    case IDialogs::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

IDialogs &Dialogs()
{
    if (!g_dialogs) {
        static TQtDialogs fallback;
        g_dialogs = &fallback;
    }
    return *g_dialogs;
}

void SetDialogs(IDialogs *dialogs)
{
    g_dialogs = dialogs;
}

static QString g_title = QStringLiteral("Tallyfern");

QString ApplicationTitle()
{
    return g_title;
}

void SetApplicationTitle(const QString &title)
{
    g_title = title;
}

void ShowErrorBox(const QString &message, QWidget *owner)
{
    Dialogs().Message(owner, ErrorBoxText(message), ApplicationTitle(), IDialogs::Icon::Error);
}

bool Confirm(QWidget *owner, const QString &text)
{
    return Dialogs().Question(owner, text, QStringLiteral("确认"));
}

bool ConfirmDestructive(QWidget *owner, const QString &text)
{
    return Dialogs().DestructiveQuestion(owner, text, QStringLiteral("确认"));
}

void TQtDialogs::Message(QWidget *owner, const QString &text, const QString &caption, Icon icon)
{
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, owner);
    WidenForCaption(box);
    box.exec();
}

bool TQtDialogs::Question(QWidget *owner, const QString &text, const QString &caption, Answer preset)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(preset == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    // Enter presses the focused button, so the default one holds the focus.
    box.defaultButton()->setFocus();
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    WidenForCaption(box);
    return box.exec() == QMessageBox::Yes;
}

bool TQtDialogs::InputText(QWidget *owner, const QString &caption, const QString &prompt,
                           QString &value, bool password)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner, caption, prompt,
                                               password ? QLineEdit::Password : QLineEdit::Normal,
                                               value, &ok);
    if (ok)
        value = text;
    return ok;
}

QString TQtDialogs::OpenFileName(QWidget *owner, const QString &caption, const QString &filter)
{
    m_selectedFilter.clear();
    const QString chosen =
        QFileDialog::getOpenFileName(owner, caption, m_startFolder.Folder(), filter, &m_selectedFilter);
    m_startFolder.Remember(chosen);
    return chosen;
}

QString TQtDialogs::SaveFileName(QWidget *owner, const QString &caption, const QString &filter,
                                 const QString &defaultName)
{
    // The program itself decides about extensions and asks before replacing a file whose
    // name it completed; the dialog asks only for the name the user typed.
    m_selectedFilter.clear();
    const QString chosen =
        QFileDialog::getSaveFileName(owner, caption, m_startFolder.Proposal(defaultName), filter, &m_selectedFilter);
    m_startFolder.Remember(chosen);
    return chosen;
}
