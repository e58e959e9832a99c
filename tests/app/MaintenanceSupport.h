#pragma once
// Reading and changing a ledger file behind the program's back, for the maintenance tests.
#include "base/HiClass.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

// Records stored under user, read from the file directly.
inline int RecordCount(const QString &db, const QString &user)
{
    sqlite3 *handle = nullptr;
    int n = -1;
    if (sqlite3_open_v2(QFile::encodeName(db).constData(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        const QByteArray encoded = THi::EncodeText(user).toUtf8();
        if (sqlite3_prepare_v2(handle, "select count(*) from data where user=?", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_bind_text(st, 1, encoded.constData(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(handle);
    return n;
}

inline void Exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

