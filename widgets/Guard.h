#pragma once
#include "widgets/Dialogs.h"
#include "base/Errors.h"

#include <QWidget>

#include <exception>
#include <utility>

// Runs a command and shows any error it raises in the application's error box, so that a
// failed command ends where it failed and the program goes on.
template <class F>
void RunGuarded(QWidget *owner, F &&command)
{
    try {
        std::forward<F>(command)();
    } catch (const TError &e) {
        ShowErrorBox(e.message(), owner);
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()), owner);
    }
}

// A slot that runs command guarded; for connect(sender, signal, context, Guarded(...)).
template <class F>
auto Guarded(QWidget *owner, F command)
{
    return [owner, command]() { RunGuarded(owner, command); };
}
