#include "bench/Bench.h"
#include "base/HiClass.h"
#include "store/DbClass.h"

#include <QCoreApplication>
#include <QFile>

#include <sqlite3.h>

// A record whose note of thirty million characters was stored by other means: the search
// over its day decodes only as much of the note as it shows.
TALLYFERN_BENCH(search_with_30m_character_note)
{
    const QString path = BenchDir() + QStringLiteral("/hugenote.zovalt");
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/db.zovalt"), path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray user = THi::EncodeText(QStringLiteral("U")).toLatin1();
    const QByteArray note = THi::EncodeText(QString(30'000'000, QChar(0x6C34))).toLatin1();
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "insert into data(user,date,type,cate,amount,notes) values(?,'2009-08-22','支出','',1,?)",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, user.constData(), int(user.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, note.constData(), int(note.size()), SQLITE_STATIC);
    sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);

    TDbMan ledger(path);
    TSearchResult result;
    const double ms = TimeMs([&] { result = ledger.Search(QStringLiteral("U"), QDate(2009, 8, 1), QDate(2009, 8, 31)); });
    if (result.records.size() != 1)
        std::abort();
    ReportFigure(QStringLiteral("search_with_30m_character_note"), ms);
}
