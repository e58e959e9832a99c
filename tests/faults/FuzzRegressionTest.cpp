// Inputs that once made a fuzzer fail are kept and replayed here on every test run.
#include "app/HiClass.h"

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
