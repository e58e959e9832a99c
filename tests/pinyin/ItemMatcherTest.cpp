#include "pinyin/ItemMatcher.h"
#include "pinyin/PinyinReadings.h"

#include <gtest/gtest.h>

namespace {

const QStringList kItems = {QStringLiteral("宝宝奶粉钱"), QStringLiteral("房租"),
                            QStringLiteral("水电煤气费"), QStringLiteral("银行手续费"),
                            QStringLiteral("自行车"),     QStringLiteral("A4纸 (办公)"),
                            QStringLiteral("绿豆"),       QStringLiteral("Bread")};

QStringList Found(const TItemMatcher &m, const QString &typed)
{
    QStringList out;
    for (const int i : m.Filter(typed))
        out << m.Items().at(i);
    return out;
}

} // namespace

TEST(PinyinReadings, ChineseCharactersAreReadTonelessAndOtherCharactersAsThemselves)
{
    ASSERT_TRUE(Pinyin::Available());
    EXPECT_EQ(Pinyin::CharReadings(U'宝'), QStringList{"bao"});
    EXPECT_EQ(Pinyin::CharReadings(U'A'), QStringList());
    // Both readings of a polyphonic character, ICU's first; ü typed either way.
    EXPECT_TRUE(Pinyin::CharReadings(U'行').contains("hang"));
    EXPECT_TRUE(Pinyin::CharReadings(U'行').contains("xing"));
    EXPECT_EQ(Pinyin::CharReadings(U'绿'), (QStringList{"lv", "lu"}));
    // A character beyond the basic plane is read too.
    EXPECT_FALSE(Pinyin::CharReadings(U'\U00020000').isEmpty());

    // Blanks and punctuation have no token; letters are lowered; a Chinese character also
    // stands for itself.
    const TReadings tokens = Pinyin::ReadingsOf(QStringLiteral("A4纸 (办公)"));
    ASSERT_EQ(tokens.size(), 5);
    EXPECT_EQ(tokens[0].spellings, QStringList{"a"});
    EXPECT_EQ(tokens[1].spellings, QStringList{"4"});
    EXPECT_EQ(tokens[2].spellings, (QStringList{"zhi", "纸"}));
    EXPECT_EQ(tokens[4].spellings, (QStringList{"gong", "公"}));
}

TEST(ItemMatcher, InitialsFullPinyinAndTextFindTheItem)
{
    const TItemMatcher m(kItems);
    for (const char *typed : {"bbnf", "BBNF", "baobao", "baobaonaifenqian", "bao bao", "baobnf", "nf",
                              "naifen", "奶粉", "宝宝n", " bbnf "})
        EXPECT_EQ(Found(m, QString::fromUtf8(typed)), QStringList{"宝宝奶粉钱"}) << typed;
    EXPECT_EQ(Found(m, QStringLiteral("fangzu")), QStringList{"房租"});
    EXPECT_EQ(Found(m, QStringLiteral("fang zu")), QStringList{"房租"});
    EXPECT_EQ(Found(m, QStringLiteral("fz")), QStringList{"房租"});
    EXPECT_EQ(Found(m, QStringLiteral("sdmqf")), QStringList{"水电煤气费"});
    EXPECT_EQ(Found(m, QStringLiteral("a4z")), QStringList{"A4纸 (办公)"});
    EXPECT_EQ(Found(m, QStringLiteral("bg")), QStringList{"A4纸 (办公)"});
    EXPECT_EQ(Found(m, QStringLiteral("(办")), QStringList{"A4纸 (办公)"});
    EXPECT_EQ(Found(m, QStringLiteral("READ")), QStringList{"Bread"});
    EXPECT_EQ(Found(m, QStringLiteral("ldou")), QStringList{"绿豆"});
    EXPECT_EQ(Found(m, QStringLiteral("lvdou")), QStringList{"绿豆"});
}

TEST(ItemMatcher, EveryReadingOfAPolyphonicCharacterMatches)
{
    const TItemMatcher m(kItems);
    EXPECT_EQ(Found(m, QStringLiteral("yinhang")), QStringList{"银行手续费"});
    EXPECT_EQ(Found(m, QStringLiteral("yinxing")), QStringList{"银行手续费"});
    EXPECT_EQ(Found(m, QStringLiteral("yh")), QStringList{"银行手续费"});
    EXPECT_EQ(Found(m, QStringLiteral("yx")), QStringList{"银行手续费"});
    EXPECT_EQ(Found(m, QStringLiteral("zixingche")), QStringList{"自行车"});
    // Both items hold 行; each reading finds the item whatever the word.
    EXPECT_EQ(Found(m, QStringLiteral("xing")), (QStringList{"银行手续费", "自行车"}));
}

TEST(ItemMatcher, TypedTextsThatSpellNoRunMatchNothing)
{
    const TItemMatcher m(kItems);
    // Letters out of order, a run broken by a character, letters inside a syllable, and
    // more letters than the item has.
    for (const char *typed : {"nfbb", "bbf", "ao", "an", "fangzux", "fzz", "x y z", "", "   ", "'"})
        EXPECT_TRUE(Found(m, QString::fromUtf8(typed)).isEmpty()) << typed;
    EXPECT_TRUE(TItemMatcher().Filter(QStringLiteral("a")).isEmpty());
}

TEST(ItemMatcher, ItemsMatchingFromTheirStartComeFirstInListOrder)
{
    const TItemMatcher m({QStringLiteral("早餐费"), QStringLiteral("房租"), QStringLiteral("水费"),
                          QStringLiteral("费用报销"), QStringLiteral("Coffee")});
    // "fei" spells the first character of 费用报销 but only the last of the others; "fe"
    // also finds the text of Coffee inside it.
    EXPECT_EQ(Found(m, QStringLiteral("fei")), (QStringList{"费用报销", "早餐费", "水费"}));
    EXPECT_EQ(Found(m, QStringLiteral("f")), (QStringList{"房租", "费用报销", "早餐费", "水费", "Coffee"}));
    EXPECT_EQ(m.MatchOf(1, QStringLiteral("fz")), TItemMatcher::Match::FromStart);
    EXPECT_EQ(m.MatchOf(1, QStringLiteral("z")), TItemMatcher::Match::Inside);
    EXPECT_EQ(m.MatchOf(1, QStringLiteral("q")), TItemMatcher::Match::None);
    EXPECT_EQ(m.MatchOf(9, QStringLiteral("f")), TItemMatcher::Match::None);
}

TEST(ItemMatcher, LongAndRepetitiveTextsAreMatchedWithoutBlowingUp)
{
    const QString item = QString(40, QChar(u'长')) + QStringLiteral("行");
    const TItemMatcher m({item});
    // Every 长 can be spelled by any beginning of chang or zhang: a walk that tried each
    // choice in turn would never finish.
    EXPECT_EQ(m.Filter(QString(60, QChar(u'z')) + QStringLiteral("q")).size(), 0);
    EXPECT_EQ(m.Filter(QStringLiteral("zhangchangzhzhanghang")).size(), 1);
    // Beyond 63 letters only the text itself is compared.
    EXPECT_EQ(m.Filter(QString(64, QChar(u'z'))).size(), 0);
    EXPECT_EQ(m.Filter(QString(40, QChar(u'长'))).size(), 1);
}
