#include "output/XlrdReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {
const char *const kScript = R"(
import io, json, sys, xlrd
path, name = sys.argv[1], sys.argv[2]
log = io.StringIO()
out = {}
try:
    bk = xlrd.open_workbook(path, formatting_info=True, verbosity=1, logfile=log)
    out["biff"] = bk.biff_version
    out["codepage"] = bk.codepage
    out["sheets"] = bk.sheet_names()
    sh = bk.sheet_by_name(name)
    out["rows"] = [[str(sh.cell_value(r, c)) for c in range(sh.ncols)] for r in range(sh.nrows)]
except Exception as e:
    out["error"] = "%s: %s" % (type(e).__name__, e)
out["log"] = log.getvalue()
sys.stdout.write(json.dumps(out))
)";
}

bool TXlrdBook::CleanLog() const
{
    return !log.contains(QLatin1String("WARNING")) && !log.contains(QLatin1String("should be"));
}

TXlrdBook ReadWithXlrd(const QString &path, const QString &sheet)
{
    TXlrdBook book;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kScript), path, sheet});
    if (!python.waitForFinished(120000)) {
        book.error = QStringLiteral("python3 did not finish: ") + python.errorString();
        return book;
    }
    const QByteArray output = python.readAllStandardOutput();
    const QJsonObject o = QJsonDocument::fromJson(output).object();
    if (o.isEmpty()) {
        book.error = QString::fromUtf8(python.readAllStandardError() + output);
        return book;
    }
    book.log = o.value(QLatin1String("log")).toString();
    book.error = o.value(QLatin1String("error")).toString();
    book.biffVersion = o.value(QLatin1String("biff")).toInt();
    book.codepage = o.value(QLatin1String("codepage")).toInt();
    for (const QJsonValue &v : o.value(QLatin1String("sheets")).toArray())
        book.sheetNames << v.toString();
    for (const QJsonValue &r : o.value(QLatin1String("rows")).toArray()) {
        QStringList row;
        for (const QJsonValue &c : r.toArray())
            row << c.toString();
        book.rows << row;
    }
    book.opened = book.error.isEmpty();
    return book;
}
