#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/XlsxSheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <minizip/zip.h>
#include <zlib.h>

#include <gtest/gtest.h>

namespace {

QByteArray FixtureBytes(const char *name)
{
    QFile f(QStringLiteral(TALLYFERN_TEST_DATA "/import/") + QString::fromLatin1(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

// A ZIP archive holding one file without a password. (The zip library here writes no
// encrypted entries; the locked fixture comes from Info-ZIP's zip, see tools/mkbills.py.)
QByteArray ZipOf(const char *name, const QByteArray &data)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bill.zip"));
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    EXPECT_NE(zip, nullptr);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
    EXPECT_EQ(zipOpenNewFileInZip3_64(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                      nullptr, crc, 0),
              ZIP_OK);
    zipWriteInFileInZip(zip, data.constData(), unsigned(data.size()));
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The same archive marked as AES-encrypted (method 99) in both of its headers.
QByteArray MarkedAes(QByteArray zip)
{
    const qsizetype local = zip.indexOf("PK\x03\x04");
    const qsizetype central = zip.indexOf("PK\x01\x02");
    zip[local + 8] = char(99);
    zip[local + 9] = 0;
    zip[central + 10] = char(99);
    zip[central + 11] = 0;
    return zip;
}

QString Outcome(const QByteArray &bytes, const QString &password)
{
    try {
        return QStringLiteral("%1 rows").arg(ReadBill(bytes, {}, password).rows.size());
    } catch (const TZipPasswordNeeded &) {
        return QStringLiteral("password needed");
    } catch (const TError &e) {
        return e.message();
    }
}

} // namespace

TEST(ZipBill, PasswordArchivesOpenWithTheRightPasswordOnly)
{
    // wechat.csv locked with the password 123456.
    const QByteArray locked = FixtureBytes("wechat-locked.zip");
    const struct {
        const char *what;
        QByteArray zip;
        const char *password;
        const char *outcome;
    } cases[] = {
        {"right password", locked, "123456", "7 rows"},
        {"wrong password", locked, "654321", "解压密码不正确"},
        {"no password yet", locked, "", "password needed"},
        {"no password needed", ZipOf("支付宝交易明细.csv", FixtureBytes("alipay-app.csv")), "", "7 rows"},
        {"a workbook inside", ZipOf("bill.xlsx", FixtureBytes("wechat.xlsx")), "", "7 rows"},
        {"AES", MarkedAes(locked), "123456", "这个压缩包使用 AES 加密，无法直接打开。请先用解压软件解压，再导入其中的账单文件"},
        {"nothing to import", ZipOf("readme.txt", "hello"), "", "压缩包中没有 CSV 或 Excel 账单文件"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Outcome(c.zip, QString::fromUtf8(c.password)).toStdString(), std::string(c.outcome));
    }
}
