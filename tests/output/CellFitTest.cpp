#include "output/CellFit.h"
#include "output/Reports.h"

#include <gtest/gtest.h>

TEST(CellFit, LongTextsAreCutAtWholeCharactersAndEndInAnEllipsis)
{
    TPageReport page(QSizeF(96, 96));
    TReportLabel *label = CreateReportLabel(page);
    const QChar ellipsis(0x2026);

    EXPECT_EQ(SetFittedCaption(*label, QStringLiteral("短备注"), 200), QStringLiteral("短备注"));
    EXPECT_EQ(SetFittedCaption(*label, QString(), 0), QString());

    const struct {
        QString text;
        int unit;  // UTF-16 units of one character
    } cases[] = {{QStringLiteral("长长的备注").repeated(20), 1},
                 {QStringLiteral("😀").repeated(60), 2},
                 {QStringLiteral("e\u0301").repeated(80), 2}};
    for (const auto &c : cases) {
        const QString fitted = SetFittedCaption(*label, c.text, 100);
        EXPECT_EQ(label->Caption(), fitted);
        EXPECT_LE(label->Width(), 100);
        ASSERT_TRUE(fitted.endsWith(ellipsis)) << fitted.toStdString();
        const QString kept = fitted.chopped(1);
        EXPECT_EQ(kept.size() % c.unit, 0) << fitted.toStdString();
        EXPECT_TRUE(c.text.startsWith(kept));
        // One more character would not have fitted.
        label->SetCaption(c.text.left(kept.size() + c.unit) + ellipsis);
        EXPECT_GT(label->Width(), 100) << fitted.toStdString();
    }
    // A column too narrow for a single character still says that something is missing.
    EXPECT_EQ(SetFittedCaption(*label, QStringLiteral("长长的"), 1), QString(ellipsis));
}
