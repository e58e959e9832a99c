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
    def shown(cell):
        # Numbers as their number format shows them, so they compare with the lists' texts.
        if cell.ctype == xlrd.XL_CELL_NUMBER:
            fmt = bk.format_map[bk.xf_list[cell.xf_index].format_key].format_str
            if fmt == "0.00":
                return "%.2f" % cell.value
            if fmt == "0":
                return "%d" % cell.value
            if fmt == "0.00%":
                return "%.2f%%" % (cell.value * 100)
        return str(cell.value)
    cells = [[sh.cell(r, c) for c in range(sh.ncols)] for r in range(sh.nrows)]
    out["rows"] = [[shown(c) for c in row] for row in cells]
    out["numbers"] = [[c.value if c.ctype == xlrd.XL_CELL_NUMBER else None for c in row] for row in cells]
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
    for (const QJsonValue &r : o.value(QLatin1String("numbers")).toArray()) {
        QList<double> row;
        for (const QJsonValue &c : r.toArray())
            row << (c.isDouble() ? c.toDouble() : qQNaN());
        book.numbers << row;
    }
    book.opened = book.error.isEmpty();
    return book;
}
