#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// A workbook as python3-xlrd, a reader written elsewhere, sees it.
struct TXlrdBook {
    bool opened = false;
    QString error;          // why xlrd could not open it
    int biffVersion = 0;
    int codepage = 0;
    QString log;            // xlrd's own report at verbosity 1
    QStringList sheetNames;
    QList<QStringList> rows;   // cell values of the requested sheet, as text (numbers as
                               // their format "0.00" or "0.00%" shows them)
    QList<QList<double>> numbers;   // the value of each number cell, NaN for other cells

    // The log holds none of xlrd's complaints ("WARNING", "should be").
    bool CleanLog() const;
};

TXlrdBook ReadWithXlrd(const QString &path, const QString &sheet = QStringLiteral("Sheet1"));
