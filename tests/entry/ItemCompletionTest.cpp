#include "entry/EditRecForm.h"
#include "entry/EntryFixture.h"
#include "pinyin/ItemCompleter.h"
#include "store/CateLists.h"
#include "store/DbClass.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QListView>
#include <QTest>

namespace {

// Keys go where the application sends them: to the widget that has the focus. Chinese
// characters come as an input method's commit, as they do from a real one.
void Type(const QString &text)
{
    if (text.front().unicode() < 0x80) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(QApplication::focusWidget(), &commit);
}
void Press(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

TItemCompleter *CompleterOf(QObject *field)
{
    return field->findChild<TItemCompleter *>(QStringLiteral("itemCompleter"));
}

const QStringList kItems = {QStringLiteral("房租"), QStringLiteral("宝宝奶粉钱"), QStringLiteral("银行手续费"),
                            QStringLiteral("宝宝衣服"), QStringLiteral("水电煤气费")};

} // namespace

class ItemCompletion : public EntryFixture {
protected:
    // The expense panel, shown, its item list set and the focus in the item field.
    TEntryControls Ready()
    {
        const TEntryControls p = Expense(window);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        Scripted();
        StoreItems(kItems);
        p.panel->ReloadCates();
        p.cboCate->setFocus();
        completer = CompleterOf(p.cboCate);
        EXPECT_NE(completer, nullptr);
        return p;
    }
    QStringList Offered() const { return completer->Offered(); }
    void StoreItems(const QStringList &items) const
    {
        window->SessionDb().SetCates(user, QStringLiteral("out"), CateEntriesToText(items));
    }

    TItemCompleter *completer = nullptr;
};

TEST_F(ItemCompletion, TypingOffersTheItemsByInitialsPinyinOrText)
{
    const TEntryControls p = Ready();
    Type(QStringLiteral("bb"));
    EXPECT_TRUE(completer->Popup()->isVisible());
    EXPECT_EQ(Offered(), (QStringList{"宝宝奶粉钱", "宝宝衣服"}));
    Type(QStringLiteral("nf"));
    EXPECT_EQ(Offered(), QStringList{"宝宝奶粉钱"});
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("bbnf"));
    // The popup lies below the field and the field keeps the keyboard.
    EXPECT_GE(completer->Popup()->geometry().top(), p.cboCate->mapToGlobal(QPoint(0, 0)).y());
    EXPECT_TRUE(p.cboCate->hasFocus());

    // Characters from an input method are offered by the text.
    p.cboCate->lineEdit()->clear();
    Type(QStringLiteral("奶粉"));
    EXPECT_EQ(Offered(), QStringList{"宝宝奶粉钱"});
    p.cboCate->lineEdit()->clear();
    Type(QStringLiteral("YinHang"));
    EXPECT_EQ(Offered(), QStringList{"银行手续费"});

    // Emptying the field, or typing what matches nothing, closes the popup.
    Press(Qt::Key_Backspace);
    EXPECT_TRUE(completer->Popup()->isVisible());
    p.cboCate->lineEdit()->selectAll();
    Press(Qt::Key_Backspace);
    EXPECT_FALSE(completer->Popup()->isVisible());
    Type(QStringLiteral("qq"));
    EXPECT_FALSE(completer->Popup()->isVisible());
}

TEST_F(ItemCompletion, EnterTakesTheChosenItemAndGoesOnThroughTheFields)
{
    const TEntryControls p = Ready();
    Type(QStringLiteral("bb"));
    // The first row is chosen as the popup opens; Down chooses the second, Up goes back;
    // past the last row the choice stays on it.
    EXPECT_EQ(completer->Popup()->currentIndex().row(), 0);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    EXPECT_EQ(completer->Popup()->currentIndex().row(), 1);
    Press(Qt::Key_Up);
    EXPECT_EQ(completer->Popup()->currentIndex().row(), 0);
    // The drop-down's own entry did not move, nor did the text.
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("bb"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(completer->Popup()->isVisible());
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝奶粉钱"));
    EXPECT_TRUE(p.edtAmount->hasFocus());
    Type(QStringLiteral("88.5"));
    Press(Qt::Key_Return);
    EXPECT_TRUE(p.edtNotes->hasFocus());
    Press(Qt::Key_Enter);
    EXPECT_EQ(p.PendingRows().size(), 1);
    EXPECT_EQ(Column(p, 3), QStringList{"宝宝奶粉钱"});
    EXPECT_EQ(Column(p, 4), QStringList{"88.50"});
    // A known item is not added to the list a second time.
    EXPECT_EQ(p.CateEntries(), kItems);
    EXPECT_TRUE(p.cboCate->hasFocus());
    EXPECT_TRUE(Scripted().calls.isEmpty());
}

TEST_F(ItemCompletion, EscapeAndEnterWithoutAChoiceKeepTheTypedTextAsANewItem)
{
    const TEntryControls p = Ready();
    // "宝宝" is part of two items, but typed in full it is an item of its own.
    Type(QStringLiteral("宝宝"));
    EXPECT_EQ(Offered().size(), 2);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(completer->Popup()->isVisible());
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝"));
    EXPECT_TRUE(p.cboCate->hasFocus());
    // Escape without a popup is the window's again; here it changes nothing.
    Press(Qt::Key_Escape);
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝"));

    // Typing again reopens it; Up from the first row leaves no choice, and Enter then
    // keeps the typed text.
    Type(QStringLiteral("y"));
    EXPECT_EQ(Offered(), QStringList{"宝宝衣服"});
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Down);
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    Press(Qt::Key_Return);
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝"));
    EXPECT_TRUE(p.edtAmount->hasFocus());
    Type(QStringLiteral("3"));
    Press(Qt::Key_Return);
    Press(Qt::Key_Return);
    EXPECT_EQ(Column(p, 3), QStringList{"宝宝"});
    EXPECT_EQ(p.CateEntries().first(), QStringLiteral("宝宝"));

    // A text matching nothing never shows the popup and also becomes a new item; at
    // once it is offered like the others.
    Type(QStringLiteral("停车费"));
    EXPECT_FALSE(completer->Popup()->isVisible());
    Press(Qt::Key_Return);
    Type(QStringLiteral("10"));
    Press(Qt::Key_Return);
    Press(Qt::Key_Return);
    EXPECT_EQ(Column(p, 3), (QStringList{"宝宝", "停车费"}));
    Type(QStringLiteral("tcf"));
    EXPECT_EQ(Offered(), QStringList{"停车费"});
}

TEST_F(ItemCompletion, EnterAndTabTakeTheFirstOfferAsThePopupOpens)
{
    const TEntryControls p = Ready();
    // "bbnf" with its one offer showing: Enter takes the offer, not the letters.
    Type(QStringLiteral("bbnf"));
    EXPECT_EQ(Offered(), QStringList{"宝宝奶粉钱"});
    Press(Qt::Key_Return);
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝奶粉钱"));
    EXPECT_TRUE(p.edtAmount->hasFocus());
    Type(QStringLiteral("20"));
    Press(Qt::Key_Return);
    Press(Qt::Key_Return);
    EXPECT_EQ(Column(p, 3), QStringList{"宝宝奶粉钱"});
    EXPECT_EQ(p.CateEntries(), kItems);

    // Tab takes it as well and goes on to the amount.
    Type(QStringLiteral("fz"));
    Press(Qt::Key_Tab);
    EXPECT_FALSE(completer->Popup()->isVisible());
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("房租"));
    EXPECT_TRUE(p.edtAmount->hasFocus());

    // An item typed in full stands first among longer ones, so Enter keeps it.
    StoreItems({QStringLiteral("宝宝衣服鞋子"), QStringLiteral("宝宝衣服")});
    p.panel->ReloadCates();
    p.cboCate->setFocus();
    p.cboCate->lineEdit()->clear();
    Type(QStringLiteral("宝宝衣服"));
    EXPECT_EQ(Offered(), (QStringList{"宝宝衣服", "宝宝衣服鞋子"}));
    Press(Qt::Key_Return);
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("宝宝衣服"));
}

TEST_F(ItemCompletion, TheListFollowsEditedItemsAndAClickTakesAnItem)
{
    const TEntryControls p = Ready();
    // One letter is the start of 房租 and a later syllable of the others.
    Type(QStringLiteral("f"));
    EXPECT_EQ(Offered(), (QStringList{"房租", "宝宝奶粉钱", "银行手续费", "宝宝衣服", "水电煤气费"}));
    // The item list replaced (as the item editor does) is what the next keystroke sees.
    StoreItems({QStringLiteral("飞机票"), QStringLiteral("房租")});
    p.panel->ReloadCates();
    Type(QStringLiteral("j"));
    EXPECT_EQ(Offered(), QStringList{"飞机票"});
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("fj"));

    p.cboCate->lineEdit()->clear();
    Type(QStringLiteral("f"));
    QListView *popup = completer->Popup();
    const QRect second = popup->visualRect(popup->model()->index(1, 0));
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(p.cboCate->currentText(), QStringLiteral("房租"));
    EXPECT_TRUE(p.cboCate->hasFocus());
    EXPECT_FALSE(p.btnAdd->isEnabled());  // still waiting for the amount

    // Leaving the field closes the popup.
    Type(QStringLiteral("x"));
    p.cboCate->lineEdit()->clear();
    Type(QStringLiteral("f"));
    EXPECT_TRUE(popup->isVisible());
    p.edtNotes->setFocus();
    EXPECT_FALSE(popup->isVisible());
}

TEST(ItemCompletionInEditor, TheItemFieldOffersTheGivenItemsAndEscapeLeavesTheDialogOpen)
{
    TfrmEditRec dialog;
    dialog.RecDate = QStringLiteral("2024-05-01");
    dialog.RecCate = QStringLiteral("午餐");
    dialog.RecAmount = QStringLiteral("12.00");
    dialog.RecCateEntries = {QStringLiteral("午餐"), QStringLiteral("晚餐"), QStringLiteral(u"水电煤气费"),
                             QString(120, QChar(u'长'))};
    QLineEdit *edtCate = Child<QLineEdit>(&dialog, "edtCate");
    QPushButton *btnSave = Child<QPushButton>(&dialog, "btnSave");
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    TItemCompleter *completer = CompleterOf(edtCate);
    ASSERT_NE(completer, nullptr);
    edtCate->setFocus();
    edtCate->clear();

    QTest::keyClicks(edtCate, QStringLiteral("wc"));
    EXPECT_EQ(completer->Offered(), (QStringList{"午餐", "晚餐"}));
    QTest::keyClick(edtCate, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(completer->Popup()->isVisible());
    EXPECT_EQ(edtCate->text(), QStringLiteral("wc"));

    QTest::keyClick(edtCate, Qt::Key_Backspace);
    QTest::keyClicks(edtCate, QStringLiteral("c"));
    QTest::keyClick(edtCate, Qt::Key_Down);
    QTest::keyClick(edtCate, Qt::Key_Down);
    QTest::keyClick(edtCate, Qt::Key_Return);
    EXPECT_EQ(edtCate->text(), QStringLiteral("晚餐"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(btnSave->isEnabled());

    // An item longer than a field takes by typing is taken whole.
    edtCate->clear();
    QTest::keyClicks(edtCate, QStringLiteral("zhangzhang"));
    QTest::keyClick(edtCate, Qt::Key_Down);
    QTest::keyClick(edtCate, Qt::Key_Return);
    EXPECT_EQ(edtCate->text(), QString(120, QChar(u'长')));

    QTest::mouseClick(btnSave, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.RecCate, QString(120, QChar(u'长')));
}
