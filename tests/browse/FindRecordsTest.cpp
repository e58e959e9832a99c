#include "browse/BrowseFixture.h"
#include "browse/FindRecords.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTreeView>

TEST(FindRecords, ItemsByTextOrPinyinAndNotesByText)
{
    const QList<TRecord> rows = {Rec(1, "2024-01-01", kTypeOut, "房租", 150000, "一月"),
                                 Rec(2, "2024-01-02", kTypeOut, "宝宝奶粉钱", 20000, "Fangzi nearby"),
                                 Rec(3, "2024-01-03", kTypeIn, "工资", 800000),
                                 Rec(4, "2024-01-04", kTypeOut, "房租", 150000, "二月"),
                                 Rec(5, "2024-01-05", kTypeOut, "Bread", 500, "奶粉 for later")};
    const auto find = [&rows](const char *text) { return FindRecords(rows, QString::fromUtf8(text)); };
    EXPECT_EQ(find("fz"), (QList<int>{0, 3}));
    EXPECT_EQ(find("FANGZU"), (QList<int>{0, 3}));
    // Notes are compared as text only: "fangz" finds them by their letters, never by pinyin.
    EXPECT_EQ(find("fangz"), (QList<int>{0, 1, 3}));
    EXPECT_EQ(find("奶粉"), (QList<int>{1, 4}));
    EXPECT_EQ(find("bbnf"), QList<int>{1});
    EXPECT_EQ(find("二月"), QList<int>{3});
    EXPECT_EQ(find("bread"), QList<int>{4});
    EXPECT_EQ(find("yiyue"), QList<int>{});
    EXPECT_EQ(find("  "), QList<int>{});
    EXPECT_EQ(FindRecords({}, QStringLiteral("fz")), QList<int>{});
}

class FindInBrowse : public BrowseTest {
protected:
    void SetUp() override
    {
        BrowseTest::SetUp();
        db->AddRecords("U", NewRecords({{"2009-08-01", "支出", "房租", "1500", "八月"},
                             {"2009-08-02", "支出", "宝宝奶粉钱", "200", ""},
                             {"2009-08-03", "收入", "工资", "8000", "含房租补贴"},
                             {"2009-08-04", "支出", "水电煤气费", "300", ""},
                             {"2009-08-05", "支出", "房租", "100", "押金"}}));
        Open();
        Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
        finder = panel->findChild<TRecordFinder *>(QStringLiteral("recordFinder"));
        ASSERT_NE(finder, nullptr);
        findAction = panel->findChild<QAction *>(QStringLiteral("btnTransMore_Find"));
        ASSERT_NE(findAction, nullptr);
    }
    void FindByMenu(const QString &text)
    {
        dialogs->inputs.enqueue(text);
        findAction->trigger();
    }
    int Selected() const { return SelectedRow(lvwTrans()); }
    // The rows the finder marks, as the list draws them.
    QList<int> Found() const
    {
        QList<int> rows;
        for (int r = 0; r < lvwTrans()->model()->rowCount(); ++r)
            if (finder->IsFound(r))
                rows << r;
        return rows;
    }
    QStringList FoundItems() const
    {
        QStringList out;
        for (const int r : Found())
            out << Cell(lvwTrans(), r, 2);
        return out;
    }

    // The status line below the records.
    QLabel *Status() const { return Child<QLabel>(panel, "lblFindStatus"); }

    TRecordFinder *finder = nullptr;
    QAction *findAction = nullptr;
};

TEST_F(FindInBrowse, TheMenuEntryAsksMarksSelectsAndCounts)
{
    // The entry stands with the exports, before the separator and printing.
    const QList<QAction *> entries = mnuTransMenu()->actions();
    ASSERT_EQ(entries.size(), 7);
    EXPECT_EQ(entries[4], findAction);
    EXPECT_EQ(findAction->text(), QStringLiteral("查找..."));
    EXPECT_TRUE(entries[5]->isSeparator());

    const QStringList items = Column(lvwTrans(), 2);
    ASSERT_EQ(items.size(), 5);
    FindByMenu(QStringLiteral("fz"));
    ASSERT_EQ(dialogs->Of("input").size(), 1);
    EXPECT_EQ(dialogs->Of("input").first().caption, QStringLiteral("查找"));
    // Both rent records by the pinyin of their item; notes are not read as pinyin.
    EXPECT_EQ(FoundItems(), (QStringList{"房租", "房租"}));
    EXPECT_EQ(Selected(), Found().first());
    EXPECT_TRUE(Status()->isVisible());
    EXPECT_EQ(Status()->text(), QStringLiteral("共找到 2 条"));
    // The found record is the selected one, so Edit and Delete act on it.
    EXPECT_TRUE(btnTransEdit()->isEnabled());

    // Nothing found: no row selected, the count says so.
    FindByMenu(QStringLiteral("qq"));
    EXPECT_TRUE(Found().isEmpty());
    EXPECT_EQ(Selected(), -1);
    EXPECT_EQ(Status()->text(), QStringLiteral("共找到 0 条"));

    // Cancel, or a blank text, changes nothing.
    dialogs->inputs.enqueue(QString());
    findAction->trigger();
    FindByMenu(QStringLiteral("   "));
    EXPECT_EQ(Status()->text(), QStringLiteral("共找到 0 条"));
    EXPECT_EQ(dialogs->Of("input").size(), 4);
    EXPECT_EQ(dialogs->Of("message").size(), 0);
}

TEST_F(FindInBrowse, F3GoesToTheNextFoundRecordAndWraps)
{
    FindByMenu(QStringLiteral("房租"));
    const QList<int> found = Found();
    ASSERT_EQ(found.size(), 3);  // two items and one note
    const auto f3 = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3); };
    EXPECT_EQ(Selected(), found[0]);
    f3();
    EXPECT_EQ(Selected(), found[1]);
    f3();
    EXPECT_EQ(Selected(), found[2]);
    f3();
    EXPECT_EQ(Selected(), found[0]);

    // A new list drops the marks and the count; F3 then finds the same text again.
    Search(QDate(2009, 8, 2), QDate(2009, 8, 31));
    EXPECT_TRUE(Found().isEmpty());
    EXPECT_FALSE(Status()->isVisible());
    lvwTrans()->setFocus();
    f3();
    EXPECT_EQ(FoundItems(), (QStringList{"工资", "房租"}));
    EXPECT_EQ(Status()->text(), QStringLiteral("共找到 2 条"));
    EXPECT_EQ(dialogs->Of("input").size(), 1);

    // The ranking view is not searched by F3.
    Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
    rdoTransCategories()->setChecked(true);
    lvwOutCates()->setFocus();
    const int before = Selected();
    f3();
    EXPECT_EQ(Selected(), before);
}

TEST_F(FindInBrowse, F3BeforeAnyFindAsksForTheText)
{
    lvwTrans()->setFocus();
    dialogs->inputs.enqueue(QStringLiteral("sdmqf"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
    EXPECT_EQ(dialogs->Of("input").size(), 1);
    EXPECT_EQ(FoundItems(), QStringList{"水电煤气费"});
}
