#pragma once
#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// One row of a worksheet: its row number and the texts of its cells by column (A is 0);
// cells missing from the file are empty texts.
struct TSheetRow {
    int number = 0;
    QStringList cells;
};

// The rows of the first worksheet of an XLSX workbook, in file order. Numbers come as the
// text the file stores them in; date1904, when given, tells whether the workbook counts
// its dates from 1904. Throws TError when the bytes are not a readable workbook or when
// the sheet holds more than a bill ever does. progress is told how far the sheet has been
// read (0 to 100) now and then; when it returns false the reading stops with an empty list.
QList<TSheetRow> ReadFirstSheet(const QByteArray &bytes, bool *date1904 = nullptr,
                                const std::function<bool(int)> &progress = {});

// Whether the ZIP archive is a workbook rather than an archive holding files.
bool IsWorkbookZip(const QByteArray &bytes);

// Thrown when the archive's file is encrypted and no password was given.
struct TZipPasswordNeeded {};

// The first file of a ZIP archive (as Alipay and WeChat Pay deliver their bills) whose name
// ends in .csv, .xlsx or .xls, decrypted with password when it is encrypted the traditional
// way. Throws TZipPasswordNeeded without a password, TError "解压密码不正确" for a wrong one
// and TError for an AES-encrypted or damaged archive or one without such a file.
QByteArray ReadFileInZip(const QByteArray &bytes, const QString &password, QString *name = nullptr);
