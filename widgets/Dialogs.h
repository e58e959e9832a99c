#pragma once
#include <QString>

class QWidget;

// Every message box, question, input box and file dialog of the program goes through this
// interface. The application installs the Qt implementation; tests install a scripted one
// that plays queued answers and records every call.
class IDialogs {
public:
    enum class Icon { Information, Warning, Error, Question };
    // The button Enter presses in a question.
    enum class Answer { Yes, No };

    virtual ~IDialogs() = default;
    // A message with one OK button.
    virtual void Message(QWidget *owner, const QString &text, const QString &caption, Icon icon) = 0;
    // A question with Yes and No, preset the default button; true for Yes.
    virtual bool Question(QWidget *owner, const QString &text, const QString &caption,
                          Answer preset = Answer::Yes) = 0;
    // A question whose Yes destroys something: No is the default, so Enter never destroys
    // by habit.
    bool DestructiveQuestion(QWidget *owner, const QString &text, const QString &caption)
    {
        return Question(owner, text, caption, Answer::No);
    }
    // The one-line input box; false when cancelled.
    virtual bool InputText(QWidget *owner, const QString &caption, const QString &prompt,
                           QString &value, bool password) = 0;
    // File dialogs; an empty result means cancelled. filter is in Qt's form
    // ("数据文件 (*.zovalt)"); defaultSuffix has no dot.
    virtual QString OpenFileName(QWidget *owner, const QString &caption, const QString &filter) = 0;
    virtual QString SaveFileName(QWidget *owner, const QString &caption, const QString &filter,
                                 const QString &defaultName) = 0;
    // The filter (as passed) the user picked in the last file dialog; empty when unknown.
    virtual QString LastSelectedFilter() const { return QString(); }
};

// The dialogs in use. Never null once the application or a test has installed one.
IDialogs &Dialogs();
void SetDialogs(IDialogs *dialogs);

// The application title: "Tallyfern", and after sign-in "Tallyfern - 用户名称：<user>".
// Kept here rather than as Qt's display name, which the window system would append to
// every dialog's caption.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// The application's standard error box: the text with a full stop appended unless it
// already ends in a character at or below ".", the application title as caption, an
// error icon and OK.
void ShowErrorBox(const QString &message, QWidget *owner = nullptr);

// Shows a question with the caption "确认".
bool Confirm(QWidget *owner, const QString &text);
// The same for a command that destroys something (deleting a user or a record, undoing an
// import, replacing the ledger): "否" is the default button.
// Asks for the target file of an export; ext (".xls", ".xlsx", ".csv" or ".html") is
// appended unless the chosen name already ends in it in any letter case. A completed name
// that exists is replaced only after a question, since the dialog asked about the name as
// typed. Empty when cancelled; a protected or unsafe name is thrown.
QString ChooseExportTarget(QWidget *owner, const QString &ext);
bool ConfirmDestructive(QWidget *owner, const QString &text);
