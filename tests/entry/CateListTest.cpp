#include "store/CateLists.h"
#include "entry/EditCateForm.h"
#include "entry/EntryFixture.h"
#include "store/DbClass.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <functional>

TEST(CateText, LinesBecomeEntriesAndBack)
{
    EXPECT_EQ(CateTextToEntries(QString()), QStringList());
    EXPECT_EQ(CateTextToEntries(QStringLiteral("a\r\n\r\nb")), (QStringList{"a", "", "b"}));
    EXPECT_EQ(CateTextToEntries(QStringLiteral("a\rb\nc\r\n")), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(CateTextToEntries(QStringLiteral(" x \n\n")), (QStringList{" x ", ""}));
    EXPECT_EQ(CateEntriesToText({"", " a", "", "b ", ""}), QStringLiteral("a\r\n\r\nb"));
    EXPECT_EQ(CateEntriesToText({}), QString());
}

TEST(CateText, MatchFoldsOnlyAsciiLettersAndIgnoresOuterBlanks)
{
    const QStringList entries{"rent", " food ", "饮料", "Ｂus", "Café"};
    EXPECT_EQ(FindCate(entries, QStringLiteral("Rent")), 0);
    EXPECT_EQ(FindCate(entries, QStringLiteral("food")), 1);
    EXPECT_EQ(FindCate(entries, QStringLiteral("饮料")), 2);
    EXPECT_EQ(FindCate(entries, QStringLiteral("ｂus")), -1);  // full-width letters do not fold
    EXPECT_EQ(FindCate(entries, QStringLiteral("CAFÉ")), -1);
    EXPECT_EQ(FindCate(entries, QStringLiteral("饮料 2")), -1);
}

class CateList : public EntryFixture {
protected:
    // Signs in again after storing the user's two lists.
    void SignInWithLists(const QString &out, const QString &in)
    {
        window.reset();
        TDbMan db(ledger.Path());
        db.SetCates(user, QStringLiteral("out"), out);
        db.SetCates(user, QStringLiteral("in"), in);
        window = SignedInMainWindow(ledger.Path(), user);
    }
    QString Stored(const char *key) { return TDbMan(ledger.Path()).GetCates(user, QString::fromLatin1(key)); }

    // Clicks the panel's editor button and lets act work the modal editor once it is up.
    void RunEditor(const TEntryControls &panel, const std::function<void(TfrmEditCate *)> &act)
    {
        bool seen = false;
        QTimer::singleShot(0, panel.panel, [&] {
            auto *editor = window->findChild<TfrmEditCate *>();
            if (!editor)
                return;
            seen = true;
            EXPECT_FALSE(panel.btnEditCates->isEnabled());
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
            act(editor);
            if (editor->isVisible())
                editor->reject();
        });
        panel.btnEditCates->click();
        EXPECT_TRUE(seen);
        EXPECT_TRUE(panel.btnEditCates->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(window->findChild<TfrmEditCate *>(), nullptr);
    }
};

TEST_F(CateList, AddingAKnownItemChangesNothing)
{
    SignInWithLists(QStringLiteral("rent\r\n food \r\n饮料"), QString());
    const TEntryControls p = Expense(window);
    EXPECT_EQ(p.CateEntries(), (QStringList{"rent", " food ", "饮料"}));
    Add(p, QStringLiteral("Rent"), QStringLiteral("1"));
    Add(p, QStringLiteral("food"), QStringLiteral("1"));
    Add(p, QStringLiteral("饮料"), QStringLiteral("1"));
    EXPECT_EQ(p.CateEntries(), (QStringList{"rent", " food ", "饮料"}));
    EXPECT_EQ(Stored("out"), QStringLiteral("rent\r\n food \r\n饮料"));
    EXPECT_EQ(Column(p, 3), (QStringList{"Rent", "food", "饮料"}));

    Add(p, QStringLiteral("饮料 Milk"), QStringLiteral("1"));
    EXPECT_EQ(p.CateEntries(), (QStringList{"饮料 Milk", "rent", " food ", "饮料"}));
    // The stored text is trimmed as a whole; the working copy keeps its entries as they are.
    EXPECT_EQ(Stored("out"), QStringLiteral("饮料 Milk\r\nrent\r\n food \r\n饮料"));
    EXPECT_EQ(Stored("in"), QString());
}

TEST_F(CateList, NewItemsGoOnTopOfTheirOwnList)
{
    Add(Income(window), QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_EQ(Stored("in"), QStringLiteral("A"));
    Add(Income(window), QStringLiteral("B"), QStringLiteral("1"));
    EXPECT_EQ(Income(window).CateEntries(), (QStringList{"B", "A"}));
    EXPECT_EQ(Stored("in"), QStringLiteral("B\r\nA"));
    EXPECT_EQ(Stored("out"), QString());
    EXPECT_EQ(Expense(window).CateEntries(), QStringList());

    // Deleting the pending row keeps the item it brought.
    auto &dlg = Scripted();
    dlg.answers << true;
    Income(window).lvwRecs->setCurrentItem(Income(window).lvwRecs->topLevelItem(1));
    Income(window).btnDelete->click();
    EXPECT_EQ(Stored("in"), QStringLiteral("B\r\nA"));
}

TEST_F(CateList, EditorStartsWithSaveDisabledUntilTheTextChanges)
{
    TfrmEditCate editor(window.get());
    editor.CatesText = QStringLiteral("a\r\nb");
    auto *memText = Child<QPlainTextEdit>(&editor, "memText");
    auto *btnSave = Child<QPushButton>(&editor, "btnSave");
    editor.show();
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("编辑"));
    EXPECT_EQ(memText->toPlainText(), QStringLiteral("a\nb"));
    EXPECT_FALSE(btnSave->isEnabled());
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_TRUE(editor.isVisible());

    QTest::keyClicks(memText, QStringLiteral("c"));
    QTest::keyClick(memText, Qt::Key_Backspace);
    EXPECT_EQ(memText->toPlainText(), QStringLiteral("a\nb"));
    EXPECT_TRUE(btnSave->isEnabled());
}

TEST_F(CateList, EditorSaveStoresTheLinesAsEntries)
{
    SignInWithLists(QStringLiteral("x"), QStringLiteral("keep\r\nme"));
    const TEntryControls p = Expense(window);
    p.cboCate->setEditText(QStringLiteral("typing"));
    auto &dlg = Scripted();
    RunEditor(p, [](TfrmEditCate *editor) {
        EXPECT_EQ(Child<QPlainTextEdit>(editor, "memText")->toPlainText(), QStringLiteral("x"));
        EXPECT_FALSE(Child<QPushButton>(editor, "btnSave")->isEnabled());
        Child<QPlainTextEdit>(editor, "memText")->setPlainText(QStringLiteral("\n  \na\n\n b \n\n"));
        Child<QPushButton>(editor, "btnSave")->click();
    });
    EXPECT_EQ(Stored("out"), QStringLiteral("a\r\n\r\n b"));
    EXPECT_EQ(p.CateEntries(), (QStringList{"a", "", " b"}));
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("typing"));
    EXPECT_EQ(Stored("in"), QStringLiteral("keep\r\nme"));
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].text, QStringLiteral("成功！"));
    EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("Tallyfern"));
    EXPECT_EQ(dlg.calls[0].icon, IDialogs::Icon::Information);
}

TEST_F(CateList, SavingAnEmptyEditorEmptiesTheDropDown)
{
    SignInWithLists(QString(), QStringLiteral("工资\r\n奖金"));
    const TEntryControls p = Income(window);
    EXPECT_EQ(p.cboCate->count(), 2);
    RunEditor(p, [](TfrmEditCate *editor) {
        Child<QPlainTextEdit>(editor, "memText")->clear();
        Child<QPushButton>(editor, "btnSave")->click();
    });
    EXPECT_EQ(Stored("in"), QString());
    EXPECT_EQ(p.cboCate->count(), 0);
}

TEST_F(CateList, CancelOrCloseLeavesEverythingAsItWas)
{
    SignInWithLists(QStringLiteral("a\r\nb"), QString());
    const TEntryControls p = Expense(window);
    auto &dlg = Scripted();
    RunEditor(p, [](TfrmEditCate *editor) {
        Child<QPlainTextEdit>(editor, "memText")->setPlainText(QStringLiteral("changed"));
        Child<QPushButton>(editor, "btnCancel")->click();
    });
    RunEditor(p, [](TfrmEditCate *editor) {
        Child<QPlainTextEdit>(editor, "memText")->setPlainText(QStringLiteral("changed"));
        editor->close();
    });
    EXPECT_EQ(Stored("out"), QStringLiteral("a\r\nb"));
    EXPECT_EQ(p.CateEntries(), (QStringList{"a", "b"}));
    EXPECT_TRUE(dlg.calls.isEmpty());
}
