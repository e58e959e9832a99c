#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace xls {

struct TTemplateColumn {
    QString caption;
    int widthChars;      // column width in characters of the default font
    bool rightAligned;   // cells appended below take this column's right-aligned format
};

// A new workbook whose only worksheet, sheetName, holds the captions in its first row:
// bold on a grey band with a rule below, the given column widths, the first row frozen.
QByteArray BuildTemplateWorkbook(const QString &sheetName, const QList<TTemplateColumn> &columns);

// The same workbook's Workbook stream before it is put into its compound file.
QByteArray BuildTemplateStream(const QString &sheetName, const QList<TTemplateColumn> &columns);

} // namespace xls
