#pragma once
#include <QStringList>

#include <functional>

class QWidget;

// Walks a top-level window as a keyboard and screen reader user meets it: shows and
// activates it, puts the focus on the first control of its Tab chain and presses Tab until
// the focus comes back. Returns one line per fault: a control that takes the focus but
// has no accessible name, and one that Tab never reaches (a group of radio buttons counts
// as reached when one of them is). Only visible, enabled controls count; the window stays
// shown. Empty when the window passes.
QStringList KeyboardWalkProblems(QWidget *window);

// Runs open, which shows a modal window (exec), walks that window when it is up and then
// closes it. The problems of the walk, or one line when no modal window came up.
QStringList WalkModal(const std::function<void()> &open);
