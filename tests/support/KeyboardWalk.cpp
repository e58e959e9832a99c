#include "support/KeyboardWalk.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace {

QString Describe(const QWidget *w)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

bool TakesFocus(const QWidget *w, const QWidget *window)
{
    return w->window() == window && w->focusPolicy() != Qt::NoFocus && !w->focusProxy() &&
           w->isVisibleTo(window) && w->isEnabled();
}

QString AccessibleName(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

// The widget that stands for w in the list of controls (a field inside a combo box or a
// date field hands its focus to its owner).
QWidget *Owner(QWidget *w)
{
    while (w) {
        bool proxied = false;
        for (QWidget *p = w->parentWidget(); p && !proxied; p = p->parentWidget())
            if (p->focusProxy() == w) {
                w = p;
                proxied = true;
            }
        if (!proxied)
            return w;
    }
    return w;
}

bool SameRadioGroup(const QWidget *a, const QWidget *b)
{
    const auto *ra = qobject_cast<const QRadioButton *>(a);
    const auto *rb = qobject_cast<const QRadioButton *>(b);
    return ra && rb && ra->autoExclusive() && rb->autoExclusive() && ra->parentWidget() == rb->parentWidget();
}

} // namespace

QStringList KeyboardWalkProblems(QWidget *window)
{
    QStringList problems;
    window->show();
    QApplication::setActiveWindow(window);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("%1 did not become active").arg(Describe(window))};

    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (TakesFocus(w, window))
            controls << w;
    for (QWidget *w : controls)
        if (AccessibleName(w).isEmpty())
            problems << QStringLiteral("%1 has no accessible name").arg(Describe(window) + QStringLiteral(": ") + Describe(w));

    // The first control of the chain that Tab stops at.
    QWidget *first = nullptr;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if (TakesFocus(w, window) && (w->focusPolicy() & Qt::TabFocus)) {
            first = w;
            break;
        }
    if (!first)
        return problems << QStringLiteral("%1: Tab stops nowhere").arg(Describe(window));
    first->setFocus(Qt::TabFocusReason);

    QSet<QWidget *> reached;
    const int limit = int(controls.size()) * 2 + 4;
    for (int step = 0; step < limit; ++step) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            break;
        reached.insert(Owner(focus));
        QTest::keyClick(focus, Qt::Key_Tab);
        if (Owner(QApplication::focusWidget()) == first)
            break;
    }
    for (QWidget *w : controls) {
        bool ok = reached.contains(w);
        for (QWidget *r : reached)
            ok = ok || SameRadioGroup(w, r);
        if (!ok)
            problems << QStringLiteral("%1 is not reached by Tab").arg(Describe(window) + QStringLiteral(": ") + Describe(w));
    }
    return problems;
}

QStringList WalkModal(const std::function<void()> &open)
{
    // Shared with the timer, which may outlive this call when open shows nothing.
    auto problems = std::make_shared<QStringList>(QStringList{QStringLiteral("no modal window came up")});
    QTimer::singleShot(0, [problems] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        *problems = KeyboardWalkProblems(modal);
        modal->close();
    });
    open();
    return *problems;
}
