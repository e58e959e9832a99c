-- The empty ledger that every new data file starts from.
-- Texts typed by the user are stored as Base64 of their GB18030 bytes; dates as "yyyy-mm-dd".
CREATE TABLE users (
    name TEXT NOT NULL DEFAULT '',
    pwd  TEXT NOT NULL DEFAULT ''
);
CREATE TABLE data (
    id     INTEGER PRIMARY KEY AUTOINCREMENT,
    user   TEXT NOT NULL DEFAULT '',
    date   TEXT NOT NULL,
    type   TEXT NOT NULL,
    cate   TEXT NOT NULL DEFAULT '',
    amount REAL NOT NULL,
    notes  TEXT NOT NULL DEFAULT ''
);
-- A search reads one user's span of days from this index alone, in date order.
CREATE INDEX data_records ON data (user, date, type, cate, amount, notes);
CREATE TABLE cates (
    user  TEXT NOT NULL DEFAULT '',
    out   TEXT NOT NULL DEFAULT '',
    [in]  TEXT NOT NULL DEFAULT ''
);
