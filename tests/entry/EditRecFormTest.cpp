#include "entry/EditRecForm.h"
#include "support/TestSupport.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// An edit dialog shown with a stored record's texts, and its controls.
struct ShownEditor {
    TfrmEditRec dialog;
    QDateEdit *dtpDate = Child<QDateEdit>(&dialog, "dtpDate");
    QLineEdit *edtCate = Child<QLineEdit>(&dialog, "edtCate");
    QLineEdit *edtAmount = Child<QLineEdit>(&dialog, "edtAmount");
    QLineEdit *edtNotes = Child<QLineEdit>(&dialog, "edtNotes");
    QPushButton *btnSave = Child<QPushButton>(&dialog, "btnSave");
    QPushButton *btnCancel = Child<QPushButton>(&dialog, "btnCancel");

    ShownEditor(const QString &date, const QString &item, const QString &amount, const QString &notes)
    {
        dialog.RecDate = date;
        dialog.RecCate = item;
        dialog.RecAmount = amount;
        dialog.RecNotes = notes;
        dialog.show();
    }
};

} // namespace

TEST(EditRec, OpensFilledWithSaveDisabledAndReturnsTrimmedTexts)
{
    ShownEditor e("2009-08-20", "午餐", "12.50", "同事");
    EXPECT_EQ(e.dialog.windowTitle(), QStringLiteral("编辑"));
    EXPECT_EQ(e.dialog.size(), QSize(380, 196));
    EXPECT_EQ(e.dtpDate->date(), QDate(2009, 8, 20));
    EXPECT_EQ(e.edtCate->text(), QStringLiteral("午餐"));
    EXPECT_EQ(e.edtAmount->text(), QStringLiteral("12.50"));
    EXPECT_FALSE(e.btnSave->isEnabled());

    // Tabbing into a field leaves its text unselected.
    e.dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e.dialog));
    e.edtCate->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(e.edtCate->hasFocus());
    EXPECT_FALSE(e.edtCate->hasSelectedText());

    // Changing only the date leaves Save disabled.
    e.dtpDate->setDate(QDate(2009, 8, 21));
    EXPECT_FALSE(e.btnSave->isEnabled());

    QTest::keyClick(e.edtNotes, Qt::Key_End);
    QTest::keyClick(e.edtNotes, Qt::Key_Space);
    EXPECT_TRUE(e.btnSave->isEnabled());
    e.edtCate->setText(QStringLiteral("  午餐\t"));
    QTest::mouseClick(e.btnSave, Qt::LeftButton);
    EXPECT_EQ(e.dialog.result(), QDialog::Accepted);
    EXPECT_EQ(e.dialog.RecDate, QStringLiteral("2009-08-21"));
    EXPECT_EQ(e.dialog.RecCate, QStringLiteral("午餐"));
    EXPECT_EQ(e.dialog.RecAmount, QStringLiteral("12.50"));
    EXPECT_EQ(e.dialog.RecNotes, QStringLiteral("同事"));
}

TEST(EditRec, SaveNeedsAnItemAndAnAcceptedAmount)
{
    ShownEditor e("2009-08-20", "午餐", "12.50", "");
    for (const char *amount : {"0", "0.009", "-5", "abc", "", "  ", "inf", "nan", "1e999", "5元"}) {
        e.edtAmount->setText(QString::fromUtf8(amount));
        EXPECT_FALSE(e.btnSave->isEnabled()) << amount;
    }
    e.edtAmount->setText(QStringLiteral("0.01"));
    EXPECT_TRUE(e.btnSave->isEnabled());
    e.edtCate->setText(QStringLiteral(" \t"));
    EXPECT_FALSE(e.btnSave->isEnabled());
    e.edtCate->setText(QStringLiteral("x"));
    EXPECT_TRUE(e.btnSave->isEnabled());
}

TEST(EditRec, AmountsAreReturnedWithTwoDecimals)
{
    for (const auto &[typed, stored] : {std::pair{"5", "5.00"}, std::pair{"2.346", "2.35"},
                                        std::pair{" 7.1 ", "7.10"}, std::pair{"1e3", "1000.00"}}) {
        ShownEditor e("2009-08-20", "x", "1.00", "");
        e.edtAmount->setText(QString::fromLatin1(typed));
        QTest::mouseClick(e.btnSave, Qt::LeftButton);
        EXPECT_EQ(e.dialog.RecAmount, QString::fromLatin1(stored)) << typed;
    }
}

TEST(EditRec, TypingStopsAtOneHundredCharactersButLongerTextsAreShownWhole)
{
    const QString longNote(120, QChar(u'备'));
    ShownEditor e("2009-08-20", "x", "1.00", longNote);
    EXPECT_EQ(e.edtNotes->text(), longNote);
    QTest::keyClick(e.edtNotes, Qt::Key_End);
    QTest::keyClicks(e.edtNotes, QStringLiteral("abc"));
    EXPECT_EQ(e.edtNotes->text(), longNote);
    // Shortened by the user, the text still cannot grow past its length.
    QTest::keyClick(e.edtNotes, Qt::Key_Backspace);
    QTest::keyClicks(e.edtNotes, QStringLiteral("ab"));
    EXPECT_EQ(e.edtNotes->text().size(), 119);

    e.edtCate->clear();
    QTest::keyClicks(e.edtCate, QString(105, QChar(u'a')));
    EXPECT_EQ(e.edtCate->text().size(), 100);
}

TEST(EditRec, CancelGivesCancel)
{
    ShownEditor e("2009-08-20", "x", "1.00", "");
    e.edtAmount->setText(QStringLiteral("2"));
    QTest::mouseClick(e.btnCancel, Qt::LeftButton);
    EXPECT_EQ(e.dialog.result(), QDialog::Rejected);
    EXPECT_EQ(e.dialog.RecAmount, QStringLiteral("1.00"));
}

TEST(EditRec, TypedChangesSurviveHideAndShowAndEscapeIsIgnored)
{
    ShownEditor e("2009-08-20", "午餐", "12.50", "同事");
    e.dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e.dialog));
    e.edtCate->setText(QStringLiteral("晚餐"));
    e.dtpDate->setDate(QDate(2009, 8, 22));
    ASSERT_TRUE(e.btnSave->isEnabled());

    // As after a minimize or a switch of desktops.
    e.dialog.hide();
    e.dialog.show();
    EXPECT_EQ(e.edtCate->text(), QStringLiteral("晚餐"));
    EXPECT_EQ(e.dtpDate->date(), QDate(2009, 8, 22));
    EXPECT_TRUE(e.btnSave->isEnabled());

    QTest::keyClick(e.edtCate, Qt::Key_Escape);
    QTest::keyClick(&e.dialog, Qt::Key_Escape);
    EXPECT_TRUE(e.dialog.isVisible());
    EXPECT_EQ(e.edtCate->text(), QStringLiteral("晚餐"));

    // Enter on a focused button presses it.
    e.btnCancel->setFocus();
    QTest::keyClick(e.btnCancel, Qt::Key_Return);
    EXPECT_FALSE(e.dialog.isVisible());
    EXPECT_EQ(e.dialog.result(), QDialog::Rejected);
}

TEST(EditRec, AFullWidthAmountIsReadAsHalfWidth)
{
    ShownEditor e("2009-08-20", "午餐", "1", "");
    e.edtAmount->setText(QStringLiteral("１２．５"));
    ASSERT_TRUE(e.btnSave->isEnabled());
    e.btnSave->click();
    EXPECT_EQ(e.dialog.RecAmount, QStringLiteral("12.50"));
}
