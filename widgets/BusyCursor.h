#pragma once
#include <QApplication>
#include <QPointer>
#include <QWidget>

// The one guard for a busy (or otherwise changed) cursor: the application's cursor is set to
// shape for the length of a scope, and control (if given) disabled meanwhile, whatever
// happens in between. Scopes nest: the innermost shape shows.
class TCursorScope {
public:
    explicit TCursorScope(Qt::CursorShape shape, QWidget *disabled = nullptr) : m_disabled(disabled)
    {
        if (m_disabled)
            m_disabled->setEnabled(false);
        QApplication::setOverrideCursor(shape);
    }
    ~TCursorScope()
    {
        QApplication::restoreOverrideCursor();
        if (m_disabled)
            m_disabled->setEnabled(true);
    }
    TCursorScope(const TCursorScope &) = delete;
    TCursorScope &operator=(const TCursorScope &) = delete;

private:
    QPointer<QWidget> m_disabled;
};
