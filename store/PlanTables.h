#pragma once
#include <QStringList>

class TConnection;

// The tables of monthly budgets, recurring records and the family summary's consent live beside the ledger's own three
// tables and never touch them, so that the ledger still opens in earlier versions, which
// check only that their three tables exist.
//
// Adds the tables when they are missing. A ledger that cannot be written now (read-only,
// locked) is left as it is: the tables then come with the first write, and reads of a
// ledger without them find nothing. Never throws and never closes conn.
void AddPlanTables(TConnection &conn);
// Whether the tables exist.
bool HasPlanTables(TConnection &conn);
// For writers: the tables exist afterwards, or the failure to create them is thrown.
void RequirePlanTables(TConnection &conn);
// The statements that create these tables, for the ledger check.
QStringList PlanSchemaStatements();
