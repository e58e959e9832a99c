#pragma once
// Driving the real Qt dialogs of the program offscreen, and a home folder of the test's own.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

// Answers the modal windows that open next, one action each, in order. Actions that were
// not used and windows that were not expected are reported.
class TModalScript {
public:
    using Action = std::function<void(QWidget *modal)>;

    explicit TModalScript(std::deque<Action> actions) : m_actions(std::move(actions))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Step(); });
        m_timer.start(10);
    }
    ~TModalScript()
    {
        m_timer.stop();
        EXPECT_TRUE(m_actions.empty()) << m_actions.size() << " modal window(s) never opened";
    }

private:
    void Step()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        if (m_actions.empty()) {
            // An unexpected window is closed, so that the test fails instead of hanging.
            ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className() << " \""
                          << modal->windowTitle().toStdString() << "\"";
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            return;
        }
        Action action = std::move(m_actions.front());
        m_actions.pop_front();
        action(modal);
    }

    std::deque<Action> m_actions;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

// Points HOME (and the XDG configuration that names the documents folder) at a temporary
// folder for one test.
class THomeFolder {
public:
    THomeFolder() : m_home(qgetenv("HOME")), m_config(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral(".config")).toLocal8Bit());
    }
    ~THomeFolder()
    {
        qputenv("HOME", m_home);
        if (m_config.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_config);
    }
    QString Path() const { return m_dir.path(); }
    QString Make(const QString &name) const
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_home, m_config;
};
