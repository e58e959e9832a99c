// The fuzzers' seeds and any input that once made them fail are replayed on every run.
#include "base/Errors.h"
#include "import/BillReader.h"
#include "import/ImportPlan.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(BillFuzzReplay, SeedsAndKeptInputsGiveABillOrAMessage)
{
    int ran = 0;
    for (const char *name : {"bill_csv", "bill_xlsx", "bill_mapped", "bill_zip"}) {
        for (const char *kind : {"corpus", "regressions"}) {
            const QDir dir(QStringLiteral(TALLYFERN_SOURCE_DIR "/fuzz/%1/%2").arg(QLatin1String(kind), QLatin1String(name)));
            for (const QString &file : dir.entryList(QDir::Files)) {
                SCOPED_TRACE(file.toStdString());
                QFile f(dir.filePath(file));
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                const QByteArray bytes = f.readAll();
                ++ran;
                try {
                    // The password of the locked seed.
                    for (const TPlanRow &row : PlanImport(ReadBill(bytes, {}, QStringLiteral("123456")), {}))
                        EXPECT_LE(row.notes.size(), kImportNotesLimit);
                } catch (const TError &e) {
                    EXPECT_FALSE(e.message().isEmpty());
                }
            }
        }
    }
    EXPECT_GE(ran, 4);
}
