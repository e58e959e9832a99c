#pragma once
#include "widgets/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// Plays queued answers and records every call. A question without a queued answer is
// answered No, an input box Cancel and a file dialog with an empty name.
class TScriptedDialogs : public IDialogs {
public:
    struct Call {
        QString kind;  // "message", "question", "input", "open", "save"
        QString text;
        QString caption;
        Icon icon = Icon::Information;
        // A question asked with "否" as its default.
        bool destructive = false;
    };

    QQueue<bool> answers;         // questions
    QQueue<QString> inputs;       // input boxes; a null QString means Cancel
    QQueue<QString> fileNames;    // open and save dialogs
    QList<Call> calls;

    void Message(QWidget *, const QString &text, const QString &caption, Icon icon) override
    {
        calls.append({QStringLiteral("message"), text, caption, icon});
    }
    bool Question(QWidget *, const QString &text, const QString &caption) override
    {
        calls.append({QStringLiteral("question"), text, caption, Icon::Question});
        return answers.isEmpty() ? false : answers.dequeue();
    }
    bool DestructiveQuestion(QWidget *, const QString &text, const QString &caption) override
    {
        calls.append({QStringLiteral("question"), text, caption, Icon::Question, true});
        return answers.isEmpty() ? false : answers.dequeue();
    }
    bool InputText(QWidget *, const QString &caption, const QString &prompt, QString &value,
                   bool) override
    {
        calls.append({QStringLiteral("input"), prompt, caption, Icon::Question});
        if (inputs.isEmpty())
            return false;
        const QString next = inputs.dequeue();
        if (next.isNull())
            return false;
        value = next;
        return true;
    }
    QString OpenFileName(QWidget *, const QString &caption, const QString &filter) override
    {
        calls.append({QStringLiteral("open"), filter, caption, Icon::Information});
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString SaveFileName(QWidget *, const QString &caption, const QString &filter,
                         const QString &) override
    {
        calls.append({QStringLiteral("save"), filter, caption, Icon::Information});
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }

    void Reset()
    {
        answers.clear();
        inputs.clear();
        fileNames.clear();
        calls.clear();
    }
    QStringList Kinds() const
    {
        QStringList out;
        for (const Call &c : calls)
            out << c.kind;
        return out;
    }
    // The calls of one kind.
    QList<Call> Of(const QString &kind) const
    {
        QList<Call> out;
        for (const Call &c : calls)
            if (c.kind == kind)
                out << c;
        return out;
    }
};

// The scripted dialogs installed by the test main(), cleared before handing them out.
TScriptedDialogs &Scripted();
