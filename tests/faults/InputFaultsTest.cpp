// Texts that mean something to a statement, a format, a page or an encoding are stored,
// listed and exported exactly as typed.
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "base/HiClass.h"
#include "entry/EditRecForm.h"
#include "entry/EntryPanel.h"
#include "faults/FaultSupport.h"
#include "output/XlrdReader.h"
#include "store/DbClass.h"
#include "store/TextLimits.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace faults;

namespace {

QStringList AwkwardTexts()
{
    return {QStringLiteral("O'Brien \"quoted\" ; drop table data; --"),
            QStringLiteral("C:\\path\\to %s %d %1 %2 %%"),
            QStringLiteral("<b>bold</b> &amp; <script>alert(1)</script> <!-- - --> #USER#"),
            QStringLiteral("表情😀 罕见字𠀀 €"),
            QString(10000, QChar(0x6C34))};
}

} // namespace

TEST(InputFaults, AwkwardTextsTravelUnchangedThroughStoreListAndExports)
{
    TTempLedger ledger;
    Scripted();
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls p = Expense(window);
    const QStringList texts = AwkwardTexts();
    p.dtpDate->setDate(QDate(2009, 8, 20));
    for (const QString &text : texts) {
        p.cboCate->setEditText(text);
        p.edtAmount->setText(QStringLiteral("1"));
        p.edtNotes->setText(text);
        ASSERT_TRUE(p.btnAdd->isEnabled());
        p.btnAdd->click();
    }
    ASSERT_EQ(p.lvwRecs->topLevelItemCount(), texts.size());
    TScriptedDialogs &dialogs = Scripted();
    dialogs.answers.enqueue(true);
    p.btnSave->click();
    ASSERT_EQ(dialogs.calls.last().icon, IDialogs::Icon::Information) << dialogs.calls.last().text.toStdString();

    // The item list keeps each text as one entry, and a new window reads them back.
    window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    EXPECT_EQ(Expense(window).CateEntries(), QStringList(texts.rbegin(), texts.rend()));

    TTransPanel *t = TransactionsPanel(window);
    Child<QDateEdit>(t, "dtpTransDate1")->setDate(QDate(2009, 8, 1));
    Child<QDateEdit>(t, "dtpTransDate2")->setDate(QDate(2009, 8, 31));
    Child<QPushButton>(t, "btnTransSearch")->click();
    QAbstractItemModel *m = Child<QTreeView>(t, "lvwTrans")->model();
    ASSERT_EQ(m->rowCount(), texts.size());
    QStringList items, notes;
    for (int r = 0; r < m->rowCount(); ++r) {
        items << m->index(r, 3).data().toString();
        notes << m->index(r, 6).data().toString();
    }
    EXPECT_EQ(items, texts);
    EXPECT_EQ(notes, texts);

    QTemporaryDir out;
    Scripted().fileNames.enqueue(out.filePath(QStringLiteral("t.xls")));
    Child<QAction>(t, "btnTransMore_ToXls")->trigger();
    const TXlrdBook book = ReadWithXlrd(out.filePath(QStringLiteral("t.xls")));
    ASSERT_TRUE(book.opened) << book.error.toStdString();
    QString sheet;
    for (const QStringList &row : book.rows)
        sheet += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const QString &text : texts)
        EXPECT_EQ(sheet.count(text), 2) << text.left(40).toStdString();

    Scripted().fileNames.enqueue(out.filePath(QStringLiteral("t.html")));
    Child<QAction>(t, "btnTransMore_ToHtml")->trigger();
    const QString page = QStringDecoder("GB18030").decode(FileBytes(out.filePath(QStringLiteral("t.html"))));
    EXPECT_FALSE(page.contains(QStringLiteral("<script>")));
    EXPECT_TRUE(page.contains(QStringLiteral("&lt;b&gt;bold&lt;/b&gt; &amp;amp;")));
    EXPECT_TRUE(page.contains(QStringLiteral("表情😀 罕见字𠀀 €")));
    EXPECT_TRUE(page.contains(texts[1]));
    EXPECT_TRUE(page.contains(texts[4]));
}

// A line break set into a one-line field (as a paste may do) must not split the item
// into two entries of the stored item list.
TEST(InputFaults, LineBreaksInAnItemNeverSplitTheItemList)
{
    TTempLedger ledger;
    Scripted();
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls p = Expense(window);
    p.cboCate->setEditText(QStringLiteral("早餐\r\n午餐"));
    p.edtAmount->setText(QStringLiteral("2"));
    p.edtNotes->setText(QStringLiteral("第一行\n第二行"));
    p.btnAdd->click();
    ASSERT_EQ(p.lvwRecs->topLevelItemCount(), 1);
    const QString item = p.lvwRecs->topLevelItem(0)->text(3);
    EXPECT_FALSE(item.contains(QLatin1Char('\n')) || item.contains(QLatin1Char('\r'))) << item.toStdString();
    EXPECT_EQ(TDbMan(ledger.Path()).GetCates(QStringLiteral("U"), QStringLiteral("out")), item);
}

// Amounts no household ledger means (ten digits or more before the point) are refused like
// any other amount that is not accepted; the largest accepted one is stored as shown.
TEST(InputFaults, AmountsOfTenDigitsOrMoreAreRefused)
{
    for (const char *bad : {"1e308", "99999999999999999999", "1000000000", "1e9", "999999999.995"})
        EXPECT_FALSE(THi::IsAcceptedAmount(QString::fromLatin1(bad))) << bad;
    double v = 0;
    ASSERT_TRUE(THi::IsAcceptedAmount(QStringLiteral("999999999.99"), &v));
    EXPECT_EQ(THi::FormatAmount(v), QStringLiteral("999999999.99"));

    TTempLedger ledger;
    Scripted();
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls p = Expense(window);
    p.cboCate->setEditText(QStringLiteral("房子"));
    p.edtAmount->setText(QStringLiteral("1e308"));
    EXPECT_FALSE(p.btnAdd->isEnabled());
    p.edtAmount->setText(QStringLiteral("999999999.99"));
    ASSERT_TRUE(p.btnAdd->isEnabled());
    p.btnAdd->click();
    Scripted().answers.enqueue(true);
    p.btnSave->click();
    TTransPanel *t = TransactionsPanel(window);
    Child<QDateEdit>(t, "dtpTransDate1")->setDate(p.dtpDate->date());
    Child<QDateEdit>(t, "dtpTransDate2")->setDate(p.dtpDate->date());
    Child<QPushButton>(t, "btnTransSearch")->click();
    const QAbstractItemModel *records = Child<QTreeView>(t, "lvwTrans")->model();
    ASSERT_EQ(records->rowCount(), 1);
    EXPECT_EQ(records->index(0, 5).data().toString(), QStringLiteral("999999999.99"));
}

// A paste longer than a field takes is cut by the field, and the user is told so.
TEST(InputFaults, TextsPastTheFieldLimitAreNeverCutSilently)
{
    TTempLedger ledger;
    Scripted();
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("U"));
    const TEntryControls p = Expense(window);
    for (QLineEdit *field : {p.edtNotes, p.cboCate->lineEdit()}) {
        TScriptedDialogs &dialogs = Scripted();
        field->clear();
        field->insert(QString(kLongestText, QLatin1Char('a')));
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialogs.calls.isEmpty()) << field->objectName().toStdString();
        field->insert(QStringLiteral("bc"));
        QCoreApplication::processEvents();
        EXPECT_EQ(field->text().size(), kLongestText);
        ASSERT_EQ(dialogs.calls.size(), 1) << field->objectName().toStdString();
        EXPECT_EQ(dialogs.calls[0].icon, IDialogs::Icon::Warning);
        EXPECT_TRUE(dialogs.calls[0].text.contains(QString::number(kLongestText))) << dialogs.calls[0].text.toStdString();
    }

    // The record dialog takes 100 typed characters, or the length of a longer text handed in.
    TfrmEditRec dialog;
    dialog.RecDate = QStringLiteral("2009-08-20");
    dialog.RecCate = QStringLiteral("菜");
    dialog.RecAmount = QStringLiteral("1.00");
    dialog.RecNotes = QString(150, QLatin1Char('n'));
    dialog.show();
    auto *edtNotes = Child<QLineEdit>(&dialog, "edtNotes");
    EXPECT_EQ(edtNotes->text(), dialog.RecNotes);
    edtNotes->insert(QStringLiteral("more"));
    EXPECT_EQ(edtNotes->text(), dialog.RecNotes);
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("150"))) << QToolTip::text().toStdString();
}
