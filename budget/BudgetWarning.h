#pragma once
#include <QList>
#include <QStringList>

class ISession;

// After the expense panel stored rows (date, type, item, amount, notes): says, once per
// item, which items these rows took past their budget for the rows' month.
void WarnOverBudget(ISession &session, const QList<QStringList> &savedRows);
