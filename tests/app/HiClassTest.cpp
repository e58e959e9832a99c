#include "base/Errors.h"
#include "base/HiClass.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// What the system's iconv and base64 make of text.
QString ShellEncode(const QString &text)
{
    QProcess p;
    p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("iconv -f UTF-8 -t GB18030 | base64 -w0")});
    p.write(text.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished();
    return QString::fromLatin1(p.readAllStandardOutput());
}
} // namespace

TEST(HiClass, EncodeTextMatchesIconvAndBase64)
{
    for (const QString &text : {QStringLiteral("宝宝奶粉钱"), QStringLiteral("Rent 'quoted' \"x\""),
                                QStringLiteral("支出"), QStringLiteral("饮料\r\n水果")}) {
        EXPECT_EQ(THi::EncodeText(text), ShellEncode(text)) << text.toStdString();
    }
}

TEST(HiClass, EncodeTextIsOneLineAndRoundTrips)
{
    const QString sixty(60, QLatin1Char('a'));
    const QString encoded = THi::EncodeText(sixty);
    EXPECT_EQ(encoded.size(), 80);
    EXPECT_FALSE(encoded.contains(QLatin1Char('\r')) || encoded.contains(QLatin1Char('\n')));
    EXPECT_EQ(THi::DecodeText(encoded), sixty);

    // Characters outside GBK survive: GB18030 encodes them losslessly.
    const QString wide = QStringLiteral("备注 😀 𠀀 ₿");
    EXPECT_EQ(THi::DecodeText(THi::EncodeText(wide)), wide);
    EXPECT_EQ(THi::EncodeText(QString()), QString());
    EXPECT_EQ(THi::DecodeText(QString()), QString());
}

TEST(HiClass, DecodeTextSkipsLineBreaksAndBlanks)
{
    const QString text = QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
    const QString encoded = THi::EncodeText(text);
    QString broken;
    for (int i = 0; i < encoded.size(); i += 4)
        broken += encoded.mid(i, 4) + QStringLiteral(" \r\n");
    EXPECT_EQ(THi::DecodeText(broken), text);
}

TEST(HiClass, ParseYmdDate)
{
    EXPECT_EQ(THi::ParseYmdDate(QStringLiteral("2009-03-05")), QDate(2009, 3, 5));
    EXPECT_EQ(THi::ParseYmdDate(QStringLiteral("2009-3-5")), QDate(2009, 3, 5));
    EXPECT_THROW(THi::ParseYmdDate(QStringLiteral("2009-02-30")), TError);
    EXPECT_THROW(THi::ParseYmdDate(QStringLiteral("abc")), TError);
}

TEST(HiClass, AcceptedAmounts)
{
    double v = 0;
    EXPECT_TRUE(THi::IsAcceptedAmount(QStringLiteral("0.01"), &v));
    EXPECT_TRUE(THi::IsAcceptedAmount(QStringLiteral(" 12 "), &v));
    EXPECT_EQ(v, 12.0);
    EXPECT_TRUE(THi::IsAcceptedAmount(QStringLiteral("1.5E2"), &v));
    EXPECT_EQ(v, 150.0);
    for (const char *bad : {"0.009", "0", "-5", "abc", "1,000", "", "  ", "1e999", "nan", "inf", "0x10"})
        EXPECT_FALSE(THi::IsAcceptedAmount(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(THi::FormatAmount(3.456), QStringLiteral("3.46"));
    EXPECT_EQ(THi::FormatAmount(-150.5), QStringLiteral("-150.50"));
}

TEST(HiClass, TrimRemovesOnlyControlCharactersAndSpaces)
{
    EXPECT_EQ(THi::Trim(QStringLiteral("\t a b \r\n")), QStringLiteral("a b"));
    EXPECT_EQ(THi::Trim(QStringLiteral("　x　")), QStringLiteral("　x　"));  // full-width spaces stay
    EXPECT_EQ(THi::AsciiLower(QStringLiteral("ÄBc饮料")), QStringLiteral("Äbc饮料"));
}

TEST(HiClass, WholeFilesAndFolders)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    const QByteArray bytes("\x00\x01\xff zovalt", 10);
    THi::WriteWholeFile(path, bytes);
    EXPECT_EQ(THi::ReadWholeFile(path), bytes);
    EXPECT_THROW(THi::ReadWholeFile(dir.filePath(QStringLiteral("missing"))), TError);
    EXPECT_THROW(THi::WriteWholeFile(dir.filePath(QStringLiteral("no/such/folder/f")), bytes), TError);
    EXPECT_TRUE(THi::ProgramPath().endsWith(QLatin1Char('/')));
    EXPECT_EQ(THi::ProgramPath(), THi::ProgramDir() + QLatin1Char('/'));

    const QString app = THi::AppDataDir(QString());
    EXPECT_TRUE(app.endsWith(QStringLiteral("/Tallyfern"))) << app.toStdString();
    EXPECT_EQ(QFile::permissions(THi::AppDataDir(QStringLiteral("TallyfernModeCheck"))) & 0x0077, 0);
}

TEST(HiClass, ErrorBoxTextAppendsAFullStop)
{
    EXPECT_EQ(ErrorBoxText(QStringLiteral("disk full")), QStringLiteral("disk full."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("done.")), QStringLiteral("done."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("why!")), QStringLiteral("why!"));
    // Chinese text takes the Chinese full stop, also after a quoted path or a name.
    EXPECT_EQ(ErrorBoxText(QStringLiteral("无法写入")), QStringLiteral("无法写入。"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("…数据文件")), QStringLiteral("…数据文件。"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("无法写入 /tmp/a.xls")), QStringLiteral("无法写入 /tmp/a.xls。"));
    for (const char *done : {"已完成。", "确定吗？", "好！", "未完…"})
        EXPECT_EQ(ErrorBoxText(QString::fromUtf8(done)), QString::fromUtf8(done));
}

// In the build tree the delivered files lie beside the program; an installed program finds
// them in the read-only share folder next to its bin folder.
TEST(HiClass, DeliveredFilesBesideTheProgramOrInShare)
{
    EXPECT_EQ(THi::DeliveredFile(QStringLiteral("db.zovalt")), THi::ProgramPath() + QStringLiteral("db.zovalt"));
    QDir up(THi::ProgramDir());
    ASSERT_TRUE(up.cdUp());
    EXPECT_EQ(THi::DeliveredFile(QStringLiteral("not-delivered.xls")),
              up.absolutePath() + QStringLiteral("/share/tallyfern/not-delivered.xls"));
}
