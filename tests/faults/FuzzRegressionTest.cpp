// Inputs that once made a fuzzer fail are kept and replayed here on every test run.
#include "base/Errors.h"
#include "base/HiClass.h"
#include "output/WebExport.h"
#include "output/xls/Workbook.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {
// Runs body on every kept crash input and corpus file of the fuzzer name, and on the
// delivered templates matching seeds (the fuzzer's seeds too). Returns how many inputs ran.
int Replay(const QString &name, const std::function<void(const QByteArray &)> &body,
           const QString &seeds = QString())
{
    const QString root = QStringLiteral(TALLYFERN_SOURCE_DIR);
    QList<QPair<QDir, QStringList>> sources = {
        {QDir(root + QStringLiteral("/fuzz/regressions/") + name), {}},
        {QDir(root + QStringLiteral("/fuzz/corpus/") + name), {}}};
    if (!seeds.isEmpty())
        sources.append({QDir(root + QStringLiteral("/resources")), {seeds}});
    int count = 0;
    for (const auto &[dir, filter] : sources) {
        for (const QString &file : dir.entryList(filter, QDir::Files)) {
            QFile f(dir.filePath(file));
            if (!f.open(QIODevice::ReadOnly)) {
                ADD_FAILURE() << "cannot read " << file.toStdString();
                continue;
            }
            SCOPED_TRACE(file.toStdString());
            body(f.readAll());
            ++count;
        }
    }
    return count;
}
} // namespace

TEST(FuzzRegressions, DecodeText)
{
    const int ran = Replay(QStringLiteral("decode_text"), [](const QByteArray &input) {
        const QString decoded = THi::DecodeText(QString::fromUtf8(input));
        EXPECT_EQ(THi::DecodeText(THi::EncodeText(decoded)), decoded);
    });
    EXPECT_GT(ran, 0);
}

TEST(FuzzRegressions, XlsReader)
{
    const int ran = Replay(QStringLiteral("xls_reader"), [](const QByteArray &input) {
        try {
            xls::TWorkbook book = xls::TWorkbook::FromBytes(input);
            book.AppendRows(QStringLiteral("Sheet1"), {{QStringLiteral("x"), QStringLiteral("😀")}});
            EXPECT_NO_THROW(xls::TWorkbook::FromBytes(book.ToBytes()));
        } catch (const TError &e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }, QStringLiteral("*.xls"));
    EXPECT_GT(ran, 0);
}

TEST(FuzzRegressions, WebTemplate)
{
    const int ran = Replay(QStringLiteral("web_template"), [](const QByteArray &input) {
        TReportHeader context;
        context.userName = QStringLiteral("U");
        try {
            const QByteArray page = BuildPage(input, {{{"#date", "2026-01-02"}}}, context);
            EXPECT_FALSE(page.isEmpty());
        } catch (const TError &e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }, QStringLiteral("*.html"));
    EXPECT_GT(ran, 0);
}
