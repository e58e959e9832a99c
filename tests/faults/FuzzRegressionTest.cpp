// Inputs that once made a fuzzer fail are kept and replayed here on every test run.
#include "app/Errors.h"
#include "app/HiClass.h"
#include "output/WebExport.h"
#include "output/xls/Workbook.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {
void Replay(const QString &name, const std::function<void(const QByteArray &)> &body)
{
    const QDir dir(QStringLiteral(TALLYFERN_SOURCE_DIR "/fuzz/regressions/") + name);
    const QDir corpus(QStringLiteral(TALLYFERN_SOURCE_DIR "/fuzz/corpus/") + name);
    for (const QDir &d : {dir, corpus}) {
        for (const QString &file : d.entryList(QDir::Files)) {
            QFile f(d.filePath(file));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            SCOPED_TRACE(file.toStdString());
            body(f.readAll());
        }
    }
}
} // namespace

TEST(FuzzRegressions, DecodeText)
{
    Replay(QStringLiteral("decode_text"), [](const QByteArray &input) {
        const QString decoded = THi::DecodeText(QString::fromUtf8(input));
        EXPECT_EQ(THi::DecodeText(THi::EncodeText(decoded)), decoded);
    });
}

TEST(FuzzRegressions, XlsReader)
{
    Replay(QStringLiteral("xls_reader"), [](const QByteArray &input) {
        try {
            xls::TWorkbook book = xls::TWorkbook::FromBytes(input);
            book.AppendRows(QStringLiteral("Sheet1"), {{QStringLiteral("x"), QStringLiteral("😀")}});
            EXPECT_NO_THROW(xls::TWorkbook::FromBytes(book.ToBytes()));
        } catch (const TError &e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    });
}

TEST(FuzzRegressions, WebTemplate)
{
    Replay(QStringLiteral("web_template"), [](const QByteArray &input) {
        TExportContext context;
        context.user = QStringLiteral("U");
        try {
            const QByteArray page = BuildPage(input, {{{"#date", "2026-01-02"}}}, context);
            EXPECT_FALSE(page.isEmpty());
        } catch (const TError &e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    });
}
