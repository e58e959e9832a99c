#include "browse/BrowseFixture.h"
#include "entry/EditRecForm.h"
#include "pinyin/ItemCompleter.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QListView>

// The record editor offers the user's items of the record's own type.
TEST_F(BrowseTest, EditingARecordOffersTheItemsOfItsType)
{
    db->SetCates("U", "out", "房租\r\n宝宝奶粉钱");
    db->SetCates("U", "in", "工资\r\n房租补贴");
    db->AddRecords("U", NewRecords({{"2009-08-20", "收入", "工资", "100", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    Click(lvwTrans(), 0);

    dialogs->answers.enqueue(true);
    QStringList offered;
    OnModal([&offered](QWidget *dialog) {
        auto *edit = static_cast<TfrmEditRec *>(dialog);
        auto *edtCate = Child<QLineEdit>(edit, "edtCate");
        edtCate->setFocus();
        edtCate->clear();
        QTest::keyClicks(edtCate, QStringLiteral("f"));
        auto *completer = edtCate->findChild<TItemCompleter *>(QStringLiteral("itemCompleter"));
        offered = completer ? completer->Offered() : QStringList{QStringLiteral("no completer")};
        QTest::keyClick(edtCate, Qt::Key_Down);
        QTest::keyClick(edtCate, Qt::Key_Return);
        QTest::mouseClick(Child<QPushButton>(edit, "btnSave"), Qt::LeftButton);
    });
    QTest::mouseClick(btnTransEdit(), Qt::LeftButton);
    EXPECT_EQ(offered, QStringList{"房租补贴"});
    EXPECT_EQ(Column(lvwTrans(), 2), QStringList{"房租补贴"});
    EXPECT_EQ(Column(lvwTrans(), 3), QStringList{"100.00"});
}
