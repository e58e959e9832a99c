#include "store/LedgerSchema.h"
#include "base/Errors.h"
#include "store/ImportStore.h"
#include "store/PlanTables.h"

#include "LedgerSchemaSql.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

Statement Prepare(sqlite3 *db, const char *sql, int &rc)
{
    sqlite3_stmt *stmt = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    return Statement(stmt, sqlite3_finalize);
}

QString Text(sqlite3_stmt *stmt, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, col)));
}

// The index that ledgers written before data_records existed carry instead; the open
// replaces it.
constexpr const char *kEarlierIndexes = "CREATE INDEX data_user_date ON data (user, date, type, cate, amount);";

// The words of a CREATE statement as the engine reads them: comments and spacing dropped,
// names and key words in lower case without their quotes, string literals as they are.
// Two statements with the same words define the same object.
QStringList Words(const QString &sql)
{
    QStringList words;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
                   c == QLatin1Char('[')) {
            const QChar end = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString body;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (sql[j] == end) {
                    if (end != QLatin1Char(']') && j + 1 < n && sql[j + 1] == end) {
                        body += end;
                        ++j;
                        continue;
                    }
                    break;
                }
                body += sql[j];
            }
            i = j + 1;
            words << (c == QLatin1Char('\'') ? QStringLiteral("'") + body + QStringLiteral("'")
                                             : QStringLiteral("\"") + body.toLower());
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() >= 0x80) {
            qsizetype j = i;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_') || sql[j] == QLatin1Char('$') ||
                             sql[j].unicode() >= 0x80))
                ++j;
            words << QStringLiteral("\"") + sql.mid(i, j - i).toLower();
            i = j;
        } else {
            words << QString(c);
            ++i;
        }
    }
    return words;
}

// One table or index of the program's own schema.
struct TOwnObject {
    QString type;
    QString table;
    bool hasSql = false;
    QStringList words;
};

// Every table and index the program creates in a ledger, now or in earlier versions, by
// lower-case name: built by running the program's own statements in an empty database in
// memory, so that a table added to the program is accepted with no other change.
const QHash<QString, TOwnObject> &OwnObjects()
{
    static const QHash<QString, TOwnObject> objects = [] {
        QHash<QString, TOwnObject> all;
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return all;
        }
        QStringList statements = OwnSchemaStatements();
        statements << QString::fromLatin1(kEarlierIndexes);
        for (const QString &sql : statements)
            sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        int rc = SQLITE_OK;
        Statement st = Prepare(db, "select type, name, tbl_name, sql from sqlite_schema", rc);
        while (rc == SQLITE_OK && sqlite3_step(st.get()) == SQLITE_ROW) {
            TOwnObject o;
            o.type = Text(st.get(), 0);
            o.table = Text(st.get(), 2).toLower();
            o.hasSql = sqlite3_column_type(st.get(), 3) != SQLITE_NULL;
            o.words = Words(Text(st.get(), 3));
            all.insert(Text(st.get(), 1).toLower(), o);
        }
        st.reset();
        sqlite3_close(db);
        return all;
    }();
    return objects;
}

QString KindName(const QString &type)
{
    if (type == QLatin1String("table"))
        return QStringLiteral("数据表");
    if (type == QLatin1String("index"))
        return QStringLiteral("索引");
    if (type == QLatin1String("trigger"))
        return QStringLiteral("触发器");
    if (type == QLatin1String("view"))
        return QStringLiteral("视图");
    return QStringLiteral("对象");
}

// A name of the file shown in a message: a plain name of at most 40 letters, digits and
// underscores as it is; any other name is described, so that it never reads as a message
// of its own.
QString ShownName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]{1,40}$"));
    return plain.match(name).hasMatch() ? name : QStringLiteral("（名称中含有特殊字符）");
}

} // namespace

QStringList OwnSchemaStatements()
{
    QStringList all{QString::fromUtf8(kLedgerSchemaSql)};
    return all << PlanSchemaStatements() << ImportSchemaStatements();
}

QString LedgerSchemaProblem(sqlite3 *db, int &rc)
{
    const QHash<QString, TOwnObject> &own = OwnObjects();
    Statement st = Prepare(db, "select type, name, tbl_name, sql from main.sqlite_schema", rc);
    if (rc != SQLITE_OK)
        return QString();
    QSet<QString> present;
    QString problem;
    // A trigger or view is named before anything else: it is the most harmful.
    int problemRank = 0;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const QString type = Text(st.get(), 0);
        const QString name = Text(st.get(), 1);
        const QString key = name.toLower();
        present.insert(key);
        if (problemRank == 2)
            continue;
        QString why;
        int rank = 1;
        const auto found = own.constFind(key);
        if (type == QLatin1String("trigger")) {
            why = QStringLiteral("文件中含有触发器“%1”（会在记账时自动执行文件里的指令），本程序的账本中不会有")
                      .arg(ShownName(name));
            rank = 2;
        } else if (type == QLatin1String("view")) {
            why = QStringLiteral("文件中含有视图“%1”，本程序的账本中不会有").arg(ShownName(name));
            rank = 2;
        } else if (found == own.constEnd()) {
            why = QStringLiteral("文件中含有本程序不会建立的%1“%2”").arg(KindName(type), ShownName(name));
        } else if (found->type != type || found->table != Text(st.get(), 2).toLower() ||
                   found->hasSql != (sqlite3_column_type(st.get(), 3) != SQLITE_NULL) ||
                   found->words != Words(Text(st.get(), 3))) {
            why = QStringLiteral("%1“%2”的定义与本程序建立的不同（字段、约束或索引的内容不对）")
                      .arg(KindName(found->type), ShownName(name));
        }
        if (!why.isEmpty() && rank > problemRank) {
            problem = why;
            problemRank = rank;
        }
    }
    if (rc != SQLITE_DONE)
        return QString();
    rc = SQLITE_OK;
    if (!problem.isEmpty())
        return problem;
    for (const char *required : {"users", "data", "cates"})
        if (!present.contains(QLatin1String(required)))
            return QStringLiteral("缺少数据表“%1”").arg(QLatin1String(required));
    return QString();
}

QString WalModeProblem(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(20);
    // Bytes 18 and 19 of the header are the read and write format versions: 2 means WAL.
    if (header.size() == 20 && header.startsWith("SQLite format 3") && (header[18] == 2 || header[19] == 2))
        return QStringLiteral("文件使用预写日志（WAL）模式，它的一部分数据在另外的“-wal”文件中，不能完整复制");
    return QString();
}

void CheckRegularFile(const QString &path, const QString &what)
{
    const QFileInfo info(path);
    if (info.isFile())
        return;
    if (info.isDir())
        throw TError(QStringLiteral("%1“%2”是一个文件夹，不是账本数据库").arg(what, path));
    if (info.exists())
        throw TError(QStringLiteral("%1“%2”不是普通文件（而是管道、设备等特殊文件），不能当作账本数据库").arg(what, path));
    if (info.isSymLink())
        throw TError(QStringLiteral("%1“%2”是一个指向不存在的文件的链接").arg(what, path));
    throw TError(QStringLiteral("找不到%1“%2”").arg(what, path));
}
