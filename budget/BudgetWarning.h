#pragma once
#include <QList>
#include "store/SearchResult.h"

class ISession;

// After the expense panel stored rows: says, once per item and month, which items these
// rows took past their budget for the rows' month.
void WarnOverBudget(ISession &session, const QList<TNewRecord> &savedRows);
