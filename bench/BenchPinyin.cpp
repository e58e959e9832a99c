#include "bench/Bench.h"
#include "pinyin/ItemMatcher.h"

#include <QStringList>

#include <cstdio>

namespace {

// 1,000 distinct household-like items of two to six characters drawn from everyday words.
QStringList ThousandItems()
{
    const QString chars = QStringLiteral("宝奶粉钱房租水电煤气费银行手续自车午晚餐早饭菜米面油盐酱醋茶衣服鞋帽"
                                         "医药学费书本话网交通公交地铁出租打车停加班工资奖金红包礼物旅游门票"
                                         "电影保险物业暖维修家具器玩具零食水果蔬肉蛋");
    QStringList items;
    unsigned seed = 17;
    while (items.size() < 1000) {
        QString item;
        seed = seed * 1103515245u + 12345u;
        const int length = 2 + int((seed >> 16) % 5);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            item += chars.at(int((seed >> 16) % unsigned(chars.size())));
        }
        if (!items.contains(item))
            items << item;
    }
    return items;
}

} // namespace

// One keystroke's filtering over a list of 1,000 items whose readings are already made,
// averaged over the keystrokes of typing initials, full pinyin and characters.
TALLYFERN_BENCH(pinyin_filter_1000_items)
{
    const QStringList items = ThousandItems();
    // Loading ICU's rules happens once a run, normally on a worker thread at start-up.
    const double loadMs = TimeMs([] { Pinyin::Available(); });
    TItemMatcher matcher;
    const double readMs = TimeMs([&] { matcher = TItemMatcher(items); });
    const QStringList keystrokes = {QStringLiteral("b"),      QStringLiteral("bb"),      QStringLiteral("bbn"),
                                    QStringLiteral("bbnf"),   QStringLiteral("f"),       QStringLiteral("fa"),
                                    QStringLiteral("fan"),    QStringLiteral("fang"),    QStringLiteral("fangz"),
                                    QStringLiteral("fangzu"), QStringLiteral("yinhang"), QStringLiteral("奶"),
                                    QStringLiteral("奶粉")};
    const int rounds = 50;
    qsizetype found = 0;
    const double ms = TimeMs([&] {
        for (int r = 0; r < rounds; ++r)
            for (const QString &typed : keystrokes)
                found += matcher.Filter(typed).size();
    });
    if (found == 0)
        std::fprintf(stderr, "pinyin_filter_1000_items: nothing matched\n");
    ReportFigure(QStringLiteral("pinyin_filter_1000_items"), ms / (rounds * keystrokes.size()));
    ReportFigure(QStringLiteral("pinyin_rules_load"), loadMs);
    ReportFigure(QStringLiteral("pinyin_read_1000_items"), readMs);
}
