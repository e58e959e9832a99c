#pragma once
#include <QString>

class QWidget;
class TDbMan;

// What the panels of the main window need from it: the signed-in user, the ledger, the
// command-state rule and the busy state.
class ISession {
public:
    virtual ~ISession() = default;
    virtual QString SessionUser() const = 0;
    virtual TDbMan &SessionDb() = 0;
    virtual QString DbFileName() const = 0;
    virtual void UpdateCommandStates() = 0;
    // busy: disables control (if given) and shows the wait cursor; otherwise enables
    // control again and restores the cursor.
    virtual void SetBusy(bool busy, QWidget *control) = 0;
    virtual QWidget *Window() = 0;
};

// Busy state for the length of a scope: whatever happens in between, the control is
// enabled again and the cursor restored.
class TBusyScope {
public:
    TBusyScope(ISession &session, QWidget *control) : m_session(session), m_control(control)
    {
        m_session.SetBusy(true, m_control);
    }
    ~TBusyScope() { m_session.SetBusy(false, m_control); }
    TBusyScope(const TBusyScope &) = delete;
    TBusyScope &operator=(const TBusyScope &) = delete;

private:
    ISession &m_session;
    QWidget *m_control;
};
