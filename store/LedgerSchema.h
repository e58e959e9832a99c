#pragma once
#include <QString>
#include <QStringList>

struct sqlite3;

// The shape a ledger file must have before the program reads or writes it: exactly the
// tables and indexes the program itself creates (the ledger's three tables, which must be
// there, and the tables and indexes other parts of the program add, each optional), each
// defined word for word as the program defines it. Anything else is refused: a trigger or
// view would run the file's own statements on the user's actions, and a constraint, an
// expression index or a generated column of the file's own would run on every write or
// throw records away.
//
// The statements that build a complete, empty ledger of this version of the program.
QStringList OwnSchemaStatements();

// Returns an empty text when db passes, else a plain reason that never quotes the file's
// own texts. When a statement of the check fails, its SQLite result code is put into rc
// (SQLITE_OK otherwise) and the text is empty: the caller reports the engine's error.
QString LedgerSchemaProblem(sqlite3 *db, int &rc);

// Reason a file must not serve as the source of a copy of the ledger: a file in
// write-ahead-log mode keeps part of its rows in a separate "-wal" file that a byte copy
// would leave behind. Empty when the file is in the ordinary rollback mode (or unreadable,
// which the engine reports itself).
QString WalModeProblem(const QString &path);

// Throws TError unless path names a regular file: a missing file, a folder, a pipe or a
// device each get their own message. what names the file in the message ("数据文件").
void CheckRegularFile(const QString &path, const QString &what);
