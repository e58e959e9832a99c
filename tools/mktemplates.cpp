// Writes the export templates delivered beside the program: cates.xls, trans.xls,
// cates.html and trans.html (the pages in GB18030, as their charset says).
// Usage: tallyfern-mktemplates <folder>; the results are kept in resources/.
#include "base/Errors.h"
#include "base/HiClass.h"
#include "base/AtomicFile.h"
#include "output/xls/Workbook.h"
#include "output/xls/XlsTemplate.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

const char *const kPageHead = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="gb18030">
<title>%1</title>
<style>
body { font-family: "WenQuanYi Micro Hei", "Microsoft YaHei", SimSun, sans-serif; font-size: 10.5pt; color: #222; margin: 24px; }
h1 { font-size: 15pt; margin: 0 0 4px 0; }
p.period { color: #555; margin: 0 0 12px 0; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #b8b8b8; padding: 3px 8px; vertical-align: top; }
th { background: #e6e6e6; font-weight: bold; text-align: center; }
td.num { text-align: right; white-space: nowrap; }
td.date { white-space: nowrap; }
tbody tr:nth-child(even) td { background: #f5f5f5; }
p.totals { margin-top: 12px; font-weight: bold; color: #800000; }
@media print {
  body { margin: 0; font-size: 9.5pt; }
  thead { display: table-header-group; }
  tr { page-break-inside: avoid; }
  tbody tr:nth-child(even) td { background: none; }
}
</style>
</head>
<body>
<h1>%1</h1>
<p class="period">#top</p>
<table>
<thead>
<tr>%2</tr>
</thead>
<tbody>
)";

const char *const kPageTail = R"(</tbody>
</table>
<p class="totals">#bottom</p>
</body>
</html>
)";

QString Page(const QString &title, const QStringList &captions, const QString &row)
{
    QString header;
    for (const QString &c : captions)
        header += QStringLiteral("<th>%1</th>").arg(c);
    return QString::fromUtf8(kPageHead).arg(title, header) + QStringLiteral("\n<!-- - -->\n") + row +
           QStringLiteral("\n<!-- - -->\n") + QString::fromUtf8(kPageTail);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tallyfern-mktemplates <folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    try {
        WriteFileReplacing(dir.filePath(QStringLiteral("trans.xls")),
                                xls::BuildTemplateWorkbook(QStringLiteral("Sheet1"),
                                                           {{QStringLiteral("日期"), 12, false},
                                                            {QStringLiteral("项目"), 32, false},
                                                            {QStringLiteral("收入"), 12, true},
                                                            {QStringLiteral("支出"), 12, true},
                                                            {QStringLiteral("备注"), 44, false}}));
        WriteFileReplacing(dir.filePath(QStringLiteral("cates.xls")),
                                xls::BuildTemplateWorkbook(QStringLiteral("Sheet1"),
                                                           {{QStringLiteral("类别"), 8, false},
                                                            {QStringLiteral("项目"), 32, false},
                                                            {QStringLiteral("数量"), 8, true},
                                                            {QStringLiteral("收入"), 12, true},
                                                            {QStringLiteral("支出"), 12, true},
                                                            {QStringLiteral("比例"), 10, true}}));
        const QString trans = Page(
            QStringLiteral("收支记录明细"),
            {QStringLiteral("日期"), QStringLiteral("项目"), QStringLiteral("收入"), QStringLiteral("支出"),
             QStringLiteral("备注")},
            QStringLiteral("<tr><td class=\"date\">#date</td><td>#category</td><td class=\"num\">#in</td>"
                           "<td class=\"num\">#out</td><td>#notes</td></tr>"));
        const QString cates = Page(
            QStringLiteral("收支项目排行"),
            {QStringLiteral("类别"), QStringLiteral("项目"), QStringLiteral("数量"), QStringLiteral("收入"),
             QStringLiteral("支出"), QStringLiteral("比例")},
            QStringLiteral("<tr><td>#type</td><td>#category</td><td class=\"num\">#qty</td>"
                           "<td class=\"num\">#in</td><td class=\"num\">#out</td><td class=\"num\">#ratio</td></tr>"));
        WriteFileReplacing(dir.filePath(QStringLiteral("trans.html")), THi::ToLocalBytes(trans));
        WriteFileReplacing(dir.filePath(QStringLiteral("cates.html")), THi::ToLocalBytes(cates));
    } catch (const TError &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
