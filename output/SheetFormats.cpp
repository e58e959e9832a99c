// The .xlsx and .csv forms of an exported sheet.
#include "output/SheetExport.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "output/xls/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/statvfs.h>

namespace {

// Closes (and so writes) the workbook once, on every path out.
class TXlsxBook {
public:
    TXlsxBook(const QByteArray &path, const QByteArray &tempFolder) : m_tempFolder(tempFolder)
    {
        lxw_workbook_options options{};
        // Rows go to a temporary file as they are written, so a large sheet needs little
        // memory; the rows are written in order anyway. The library's own temporary files
        // go where the program's do (TMPDIR honoured).
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_tempFolder.data();
        m_book = workbook_new_opt(path.constData(), &options);
    }
    ~TXlsxBook()
    {
        if (m_book)
            workbook_close(m_book);
    }
    lxw_workbook *get() const { return m_book; }
    lxw_error Close()
    {
        lxw_workbook *book = m_book;
        m_book = nullptr;
        return workbook_close(book);
    }

private:
    QByteArray m_tempFolder;
    lxw_workbook *m_book = nullptr;
};

// Every file the library writes lies in the temporary folder: a failure there is the
// folder's, said in the program's words (the library's own are English and name its files).
QString TempFolderReason()
{
    const QString folder = QDir::tempPath();
    struct statvfs room {};
    const bool full = ::statvfs(QFile::encodeName(folder).constData(), &room) == 0 && room.f_bavail < 16;
    return full ? QStringLiteral("临时文件夹“%1”已满").arg(folder)
                : QStringLiteral("无法在临时文件夹“%1”中写入文件").arg(folder);
}

QString Reason(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("单元格文本过长（超过 32767 个字符）");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("超出了工作表的范围");
    default:
        return TempFolderReason();
    }
}

void Check(lxw_error error, const QString &path)
{
    if (error != LXW_NO_ERROR)
        throw TError(QStringLiteral("无法写入文件“%1”：%2，原有的文件保持不变").arg(path, Reason(error)));
}

void WriteXlsx(const QByteArray &path, const QString &shownPath, const TSheetRows &rows)
{
    TXlsxBook book(path, QFile::encodeName(QDir::tempPath()));
    if (!book.get())
        throw TError(QStringLiteral("无法写入文件“%1”：%2，原有的文件保持不变").arg(shownPath, TempFolderReason()));
    lxw_worksheet *sheet = workbook_add_worksheet(book.get(), "Sheet1");
    lxw_format *caption = workbook_add_format(book.get());
    format_set_bold(caption);
    format_set_align(caption, LXW_ALIGN_CENTER);
    format_set_bg_color(caption, 0xC0C0C0);
    format_set_bottom(caption, LXW_BORDER_THIN);
    lxw_format *amount = workbook_add_format(book.get());
    format_set_num_format(amount, "0.00");
    lxw_format *share = workbook_add_format(book.get());
    format_set_num_format(share, "0.00%");

    for (int c = 0; c < rows.columns.size(); ++c) {
        const double width = c < rows.widths.size() ? rows.widths[c] : 10;
        Check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr), shownPath);
        Check(worksheet_write_string(sheet, 0, lxw_col_t(c), rows.columns[c].toUtf8().constData(), caption),
              shownPath);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    if (rows.rows.size() >= qsizetype(LXW_ROW_MAX))
        throw TError(QStringLiteral("工作表最多只能容纳 %1 行").arg(LXW_ROW_MAX - 1));
    lxw_row_t r = 1;
    for (const QList<TSheetCell> &row : rows.rows) {
        for (int c = 0; c < row.size(); ++c) {
            const TSheetCell &cell = row[c];
            if (cell.IsNumber()) {
                lxw_format *format = cell.kind == TSheetCell::Kind::Share   ? share
                                     : cell.kind == TSheetCell::Kind::Count ? nullptr
                                                                            : amount;
                Check(worksheet_write_number(sheet, r, lxw_col_t(c), cell.number, format), shownPath);
            } else if (!cell.text.isNull()) {
                Check(worksheet_write_string(sheet, r, lxw_col_t(c), cell.text.toUtf8().constData(), nullptr),
                      shownPath);
            }
        }
        ++r;
    }
    Check(book.Close(), shownPath);
}

// What a spreadsheet opening the file would start a formula with.
bool LooksLikeFormula(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@') ||
           c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

void AppendCsvField(QByteArray &out, const QString &text)
{
    const bool quoted = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
    });
    if (!quoted) {
        out.append(text.toUtf8());
        return;
    }
    out.append('"');
    out.append(QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")).toUtf8());
    out.append('"');
}

} // namespace

void WriteXlsxExport(const QString &targetPath, const TSheetRows &rows)
{
    // The library writes by name: it writes a scratch file, whose bytes then replace the
    // target as every other export does.
    const QString cannot = QStringLiteral("无法写入文件“%1”：%2，原有的文件保持不变");
    QTemporaryFile scratch(QDir::temp().filePath(QStringLiteral("tallyfern-XXXXXX.xlsx")));
    if (!scratch.open())
        throw TError(cannot.arg(targetPath, TempFolderReason()));
    scratch.close();
    WriteXlsx(QFile::encodeName(scratch.fileName()), targetPath, rows);
    if (!scratch.open())
        throw TError(cannot.arg(targetPath, TempFolderReason()));
    const QByteArray bytes = scratch.readAll();
    if (scratch.error() != QFileDevice::NoError)
        throw TError(cannot.arg(targetPath, TempFolderReason()));
    WriteFileReplacing(targetPath, bytes);
}

QByteArray CsvBytes(const TSheetRows &rows)
{
    QByteArray out("\xEF\xBB\xBF");
    out.reserve(3 + rows.rows.size() * 64);
    for (qsizetype i = 0; i < rows.columns.size(); ++i) {
        if (i > 0)
            out.append(',');
        AppendCsvField(out, rows.columns[i]);
    }
    out.append("\r\n");
    for (const QList<TSheetCell> &row : rows.rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                out.append(',');
            const TSheetCell &cell = row[i];
            AppendCsvField(out, !cell.IsNumber() && LooksLikeFormula(cell.text) ? QLatin1Char('\'') + cell.text
                                                                                : cell.text);
        }
        out.append("\r\n");
    }
    return out;
}

void WriteCsvExport(const QString &targetPath, const TSheetRows &rows)
{
    WriteFileReplacing(targetPath, CsvBytes(rows));
}
