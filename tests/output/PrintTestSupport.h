#pragma once
#include "preview/PrintForm.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

// Runs check on the preview window that a command is about to show modally, then closes
// the window. Returns a flag that tells whether check ran.
inline std::shared_ptr<bool> OnPreview(std::function<void(TfrmPrint &)> check)
{
    auto ran = std::make_shared<bool>(false);
    QTimer::singleShot(0, [check, ran] {
        auto *form = qobject_cast<TfrmPrint *>(QApplication::activeModalWidget());
        if (!form) {
            ADD_FAILURE() << "no preview window is open";
            return;
        }
        *ran = true;
        check(*form);
        form->close();
    });
    return ran;
}

// Text of a PDF file as pdftotext -raw reads it, pages separated by form feeds. crop, when
// given, is x, y, width, height in points.
inline QString PdfText(const QString &path, const QList<int> &crop = {})
{
    QStringList args{QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (crop.size() == 4) {
        const char *names[] = {"-x", "-y", "-W", "-H"};
        for (int i = 0; i < 4; ++i)
            args << QString::fromLatin1(names[i]) << QString::number(crop[i]);
    }
    args << path << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        ADD_FAILURE() << "pdftotext failed on " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The pages of a PDF file as texts.
inline QStringList PdfPages(const QString &path)
{
    QStringList pages = PdfText(path).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// What pdfinfo says about a PDF file, e.g. the line starting "Page size:".
inline QString PdfInfoLine(const QString &path, const QString &key)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(30000);
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed();
    return {};
}
