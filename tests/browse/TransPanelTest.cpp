#include "browse/BrowseFixture.h"
#include "entry/EditRecForm.h"
#include "store/DbClass.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTreeView>

namespace {

const QColor kDayColour(224, 255, 224);

bool Marked(QAbstractItemView *view, int row)
{
    return view->model()->index(row, 2).data(Qt::BackgroundRole).value<QColor>() == kDayColour;
}

// The rows of the chosen day (or month): all of them, and no other.
QList<int> MarkedRows(QAbstractItemView *view)
{
    QList<int> rows;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (Marked(view, r))
            rows << r;
    return rows;
}

QList<int> RowRange(int first, int last)
{
    QList<int> rows;
    for (int r = first; r <= last; ++r)
        rows << r;
    return rows;
}

} // namespace

TEST_F(BrowseTest, StartsEmptyWithZeroTotalsAndTheMonthSoFar)
{
    Open();
    const QString zeros = QStringLiteral("收入合计：0.00    支出合计：0.00    结余合计：0.00");
    EXPECT_EQ(lblTransTotal()->text(), zeros);
    EXPECT_EQ(lblCatesTotal()->text(), zeros);
    EXPECT_TRUE(btnTransSearch()->isEnabled());
    // The panel starts on the transactions, whatever the main window does before.
    EXPECT_TRUE(rdoTransTransactions()->isChecked());
    EXPECT_FALSE(Child<QWidget>(panel, "pnlTransTransactions")->isHidden());
    EXPECT_TRUE(pnlTransCategories()->isHidden());
    EXPECT_TRUE(MarkedRows(lvwTrans()).isEmpty());
    EXPECT_FALSE(lvwDayTotal()->isHidden());
    EXPECT_TRUE(lvwMonthTotal()->isHidden());
    EXPECT_EQ(TabSet1()->tabText(0), QStringLiteral("按天统计"));
    EXPECT_EQ(TabSet1()->tabText(1), QStringLiteral("按月统计"));
    for (QAbstractItemView *list : {static_cast<QAbstractItemView *>(lvwDayTotal()),
                                    static_cast<QAbstractItemView *>(lvwMonthTotal()),
                                    static_cast<QAbstractItemView *>(lvwTrans()),
                                    static_cast<QAbstractItemView *>(lvwInCates()),
                                    static_cast<QAbstractItemView *>(lvwOutCates())})
        EXPECT_EQ(Rows(list), 0) << list->objectName().toStdString();
    EXPECT_EQ(ListCaptions(lvwTrans()),
              (QStringList{"", "日期", "项目", "收入", "支出", "备注"}));
    EXPECT_EQ(ListCaptions(lvwOutCates()),
              (QStringList{"类别", "项目", "数量", "支出", "0 - 100%"}));
}

TEST_F(BrowseTest, SearchFillsEveryListAndTheTotals)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "收入", "工资", "100", ""},
                         {"2009-08-20", "支出", "房租", "250.5", "八月"},
                         {"2009-09-01", "支出", "房租", "1", ""}}));
    db->AddRecords("V", NewRecords({{"2009-08-20", "支出", "别人的", "7", ""}}));
    Open();
    Search(QDate(2009, 8, 20), QDate(2009, 8, 20));

    const QString totals = QStringLiteral("收入合计：100.00    支出合计：250.50    结余合计：-150.50");
    EXPECT_EQ(lblTransTotal()->text(), totals);
    EXPECT_EQ(lblCatesTotal()->text(), totals);
    EXPECT_EQ(panel->LastSearch().inTotal, 10000);
    EXPECT_EQ(panel->LastSearch().outTotal, 25050);
    EXPECT_EQ(panel->LastSearch().fromDate, QDate(2009, 8, 20));
    EXPECT_EQ(panel->LastSearch().toDate, QDate(2009, 8, 20));

    EXPECT_EQ(ListRows(lvwDayTotal()), (QList<QStringList>{{"2009-08-20", "100.00", "250.50"}}));
    EXPECT_EQ(ListRows(lvwMonthTotal()), (QList<QStringList>{{"2009-08", "100.00", "250.50"}}));
    EXPECT_EQ(Column(lvwTrans(), 2), (QStringList{"房租", "工资"}));
    EXPECT_EQ(Cell(lvwTrans(), 0, 4), QStringLiteral("250.50"));
    EXPECT_EQ(Cell(lvwTrans(), 1, 3), QStringLiteral("100.00"));
    EXPECT_EQ(ListRows(lvwOutCates()), (QList<QStringList>{{"支出", "房租", "1", "250.50", "100.00%"}}));
    EXPECT_EQ(ListRows(lvwInCates()), (QList<QStringList>{{"收入", "工资", "1", "100.00", "100.00%"}}));

    // A range without records empties every list; the pickers' later change does not
    // reach the remembered range.
    Search(QDate(2010, 1, 1), QDate(2010, 1, 31));
    EXPECT_EQ(Rows(lvwDayTotal()) + Rows(lvwMonthTotal()) + Rows(lvwTrans()) +
                  Rows(lvwInCates()) + Rows(lvwOutCates()),
              0);
    EXPECT_EQ(lblTransTotal()->text(), QStringLiteral("收入合计：0.00    支出合计：0.00    结余合计：0.00"));
    dtpTransDate1()->setDate(QDate(2001, 1, 1));
    EXPECT_EQ(panel->LastSearch().fromDate, QDate(2010, 1, 1));
}

TEST_F(BrowseTest, ReversedRangeDisablesSearchAndKeepsTheListsAfterDeleteOrEdit)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "支出", "a", "1", ""}, {"2009-08-21", "支出", "b", "2", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    dtpTransDate1()->setDate(QDate(2009, 9, 1));
    EXPECT_FALSE(btnTransSearch()->isEnabled());
    dtpTransDate2()->setDate(QDate(2009, 9, 1));
    EXPECT_TRUE(btnTransSearch()->isEnabled());
    dtpTransDate2()->setDate(QDate(2009, 8, 31));
    EXPECT_FALSE(btnTransSearch()->isEnabled());

    Click(lvwTrans(), 0);
    dialogs->answers.enqueue(true);
    QTest::mouseClick(btnTransDelete(), Qt::LeftButton);
    // The record is gone from the ledger, but the lists show the old rows until the next
    // search.
    EXPECT_EQ(Column(lvwTrans(), 2), (QStringList{"a", "b"}));
    EXPECT_TRUE(db->GetCateRecords("U", QDate(2009, 8, 1), QDate(2009, 8, 31), kTypeOut, "a").isEmpty());

    Click(lvwTrans(), 1);
    dialogs->answers.enqueue(true);
    OnModal([](QWidget *dialog) {
        auto *edit = static_cast<TfrmEditRec *>(dialog);
        Child<QLineEdit>(edit, "edtAmount")->setText(QStringLiteral("3"));
        QTest::mouseClick(Child<QPushButton>(edit, "btnSave"), Qt::LeftButton);
    });
    QTest::mouseClick(btnTransEdit(), Qt::LeftButton);
    EXPECT_EQ(Cell(lvwTrans(), 1, 4), QStringLiteral("2.00"));
    const QList<TRecord> rows = db->GetCateRecords("U", QDate(2009, 8, 1), QDate(2009, 8, 31), kTypeOut, "b");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].amount, 300);
}

TEST_F(BrowseTest, SelectingADayMarksItsRecordsAndScrollsTheFirstToTheTop)
{
    QList<QStringList> records;
    for (int day = 1; day <= 30; ++day)
        for (int k = 0; k < 4; ++k)
            records << QStringList{QDate(2009, 4, day).toString(Qt::ISODate), k == 3 ? "收入" : "支出",
                                   QStringLiteral("项目%1").arg(k), "1", ""};
    db->AddRecords("U", NewRecords(records));
    Open();
    Search(QDate(2009, 4, 1), QDate(2009, 4, 30));
    ASSERT_EQ(Rows(lvwTrans()), 120);

    // A selected record is let go when a day is chosen.
    Click(lvwTrans(), 0);
    EXPECT_TRUE(btnTransEdit()->isEnabled());
    lvwDayTotal()->scrollTo(lvwDayTotal()->model()->index(19, 1));
    Click(lvwDayTotal(), 19);  // 2009-04-20, records 76 to 79
    EXPECT_EQ(MarkedRows(lvwTrans()), RowRange(76, 79));
    const QModelIndex top = lvwTrans()->indexAt(QPoint(5, 2));
    EXPECT_EQ(top.row(), 76);
    EXPECT_FALSE(HasSelection(lvwTrans()));
    EXPECT_FALSE(btnTransEdit()->isEnabled());
    EXPECT_FALSE(btnTransDelete()->isEnabled());
    EXPECT_FALSE(Marked(lvwTrans(), 75));
    for (int r = 76; r < 80; ++r)
        EXPECT_TRUE(Marked(lvwTrans(), r)) << r;
    EXPECT_FALSE(Marked(lvwTrans(), 80));

    // The month tab and back keep the day's selection and its marks.
    TabSet1()->setCurrentIndex(1);
    EXPECT_TRUE(lvwDayTotal()->isHidden());
    EXPECT_FALSE(lvwMonthTotal()->isHidden());
    TabSet1()->setCurrentIndex(0);
    EXPECT_EQ(SelectedRow(lvwDayTotal()), 19);
    EXPECT_EQ(MarkedRows(lvwTrans()), RowRange(76, 79));
    EXPECT_TRUE(Marked(lvwTrans(), 76));

    // Letting go of the day removes the marks.
    lvwDayTotal()->clearSelection();
    EXPECT_TRUE(MarkedRows(lvwTrans()).isEmpty());
    EXPECT_FALSE(Marked(lvwTrans(), 76));

    // A month marks the records of that month; a new search forgets the key.
    TabSet1()->setCurrentIndex(1);
    Click(lvwMonthTotal(), 0);
    EXPECT_EQ(MarkedRows(lvwTrans()), RowRange(0, 119));
    EXPECT_TRUE(Marked(lvwTrans(), 0) && Marked(lvwTrans(), 119));
    Search(QDate(2009, 4, 1), QDate(2009, 4, 30));
    EXPECT_TRUE(MarkedRows(lvwTrans()).isEmpty());
    EXPECT_FALSE(Marked(lvwTrans(), 0));
}

TEST_F(BrowseTest, EditingAnIncomeRecordKeepsItIncomeUnderANewId)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "收入", "工资", "100", "八月"},
                         {"2009-08-20", "收入", "奖金", "5", ""},
                         {"2009-08-20", "支出", "房租", "50", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    EXPECT_EQ(Column(lvwTrans(), 2), (QStringList{"房租", "工资", "奖金"}));
    const QString oldId = Cell(lvwTrans(), 1, 0);

    Click(lvwTrans(), 1);
    // No: nothing happens.
    QTest::mouseClick(btnTransEdit(), Qt::LeftButton);
    EXPECT_EQ(dialogs->Of("question").size(), 1);
    EXPECT_EQ(dialogs->calls.last().text, QStringLiteral("您真的想要编辑它吗？"));
    EXPECT_EQ(dialogs->calls.last().caption, QStringLiteral("确认"));
    EXPECT_EQ(Cell(lvwTrans(), 1, 0), oldId);

    // Cancel in the dialog: nothing is stored.
    dialogs->answers.enqueue(true);
    QString shown;
    OnModal([&shown](QWidget *dialog) {
        auto *edit = static_cast<TfrmEditRec *>(dialog);
        shown = QStringList{Child<QDateEdit>(edit, "dtpDate")->date().toString(Qt::ISODate),
                            Child<QLineEdit>(edit, "edtCate")->text(), Child<QLineEdit>(edit, "edtAmount")->text(),
                            Child<QLineEdit>(edit, "edtNotes")->text()}
                    .join(QLatin1Char('|'));
        QTest::mouseClick(Child<QPushButton>(edit, "btnCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(btnTransEdit(), Qt::LeftButton);
    EXPECT_EQ(shown, QStringLiteral("2009-08-20|工资|100.00|八月"));
    EXPECT_EQ(Cell(lvwTrans(), 1, 0), oldId);

    dialogs->answers.enqueue(true);
    OnModal([](QWidget *dialog) {
        auto *edit = static_cast<TfrmEditRec *>(dialog);
        Child<QLineEdit>(edit, "edtAmount")->setText(QStringLiteral(" 120.5 "));
        QTest::mouseClick(Child<QPushButton>(edit, "btnSave"), Qt::LeftButton);
    });
    QTest::mouseClick(btnTransEdit(), Qt::LeftButton);
    // The changed record now comes last among the day's incomes, still an income.
    EXPECT_EQ(ListRows(lvwTrans()).mid(1),
              (QList<QStringList>{{Cell(lvwTrans(), 1, 0), "2009-08-20", "奖金", "5.00", "", ""},
                                  {Cell(lvwTrans(), 2, 0), "2009-08-20", "工资", "120.50", "", "八月"}}));
    EXPECT_NE(Cell(lvwTrans(), 2, 0), oldId);
    EXPECT_GT(Cell(lvwTrans(), 2, 0).toLongLong(), oldId.toLongLong());
    EXPECT_EQ(panel->LastSearch().inTotal, 12550);
    EXPECT_EQ(window->focusWidget(), btnTransSearch());
}

TEST_F(BrowseTest, DeleteKeyAsksOnlyWithASelectedRecord)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "支出", "a", "1", ""}, {"2009-08-21", "支出", "b", "2", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    lvwTrans()->setFocus();
    QTest::keyClick(lvwTrans(), Qt::Key_Delete);
    EXPECT_TRUE(dialogs->calls.isEmpty());

    Click(lvwTrans(), 0);
    QTest::keyClick(lvwTrans(), Qt::Key_Delete);  // answered No
    ASSERT_EQ(dialogs->calls.size(), 1);
    EXPECT_EQ(dialogs->calls[0].text, QStringLiteral("您真的想要删除它吗？"));
    EXPECT_EQ(Rows(lvwTrans()), 2);

    dialogs->answers.enqueue(true);
    QTest::keyClick(lvwTrans(), Qt::Key_Delete);
    EXPECT_EQ(Column(lvwTrans(), 2), (QStringList{"b"}));
    EXPECT_EQ(lblTransTotal()->text(), QStringLiteral("收入合计：0.00    支出合计：2.00    结余合计：-2.00"));
    EXPECT_FALSE(btnTransDelete()->isEnabled());
}

TEST_F(BrowseTest, BrowsingButtonsFollowTheListsAndTheCurrentRanking)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "支出", "a", "1", ""}, {"2009-08-21", "收入", "b", "2", ""}}));
    Open();
    const auto states = [this] {
        QString s;
        for (QPushButton *b : {btnTransMore(), btnTransEdit(), btnTransDelete(),
                               btnMoreInfo(), btnCatesExport(), btnCatesPrint()})
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    };
    EXPECT_EQ(states(), QStringLiteral("000000"));
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    EXPECT_EQ(states(), QStringLiteral("100011"));
    Click(lvwTrans(), 1);
    EXPECT_EQ(states(), QStringLiteral("111011"));

    rdoTransCategories()->setChecked(true);
    Click(lvwInCates(), 0);
    EXPECT_EQ(panel->CurrentCatesList(), lvwInCates());
    EXPECT_EQ(states(), QStringLiteral("111111"));
    // Clicking into the empty part of the other list makes no list current, although the
    // income row stays selected.
    ClickEmpty(lvwOutCates());
    EXPECT_EQ(panel->CurrentCatesList(), nullptr);
    EXPECT_TRUE(HasSelection(lvwInCates()));
    EXPECT_EQ(states(), QStringLiteral("111011"));
    // Entering the income list again makes it current.
    lvwInCates()->setFocus();
    EXPECT_EQ(panel->CurrentCatesList(), lvwInCates());
    // Clicking into its own empty part lets go of its row.
    ClickEmpty(lvwInCates());
    EXPECT_FALSE(HasSelection(lvwInCates()));
    EXPECT_EQ(panel->CurrentCatesList(), nullptr);

    // A search leaves nothing selected, so "详情(&M)" is disabled, also when rows are found.
    Click(lvwOutCates(), 0);
    EXPECT_EQ(states(), QStringLiteral("111111"));
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    EXPECT_EQ(panel->CurrentCatesList(), nullptr);
    EXPECT_EQ(states(), QStringLiteral("100011"));
    Click(lvwOutCates(), 0);
    Search(QDate(2010, 1, 1), QDate(2010, 1, 2));
    EXPECT_EQ(states(), QStringLiteral("000000"));
    dialogs->Reset();
    QTest::mouseClick(btnMoreInfo(), Qt::LeftButton);
    EXPECT_TRUE(dialogs->calls.isEmpty());
}

TEST_F(BrowseTest, DatabaseErrorsLeaveTheButtonsUsable)
{
    db->AddRecords("U", NewRecords({{"2009-08-20", "支出", "a", "1", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    rdoTransCategories()->setChecked(true);
    Click(lvwOutCates(), 0);
    rdoTransTransactions()->setChecked(true);
    Click(lvwTrans(), 0);
    ASSERT_TRUE(QFile::remove(ledger.Path()));

    dialogs->answers.enqueue(true);
    QTest::mouseClick(btnTransDelete(), Qt::LeftButton);
    ASSERT_EQ(dialogs->Of("message").size(), 1);
    EXPECT_EQ(dialogs->Of("message")[0].icon, IDialogs::Icon::Error);
    EXPECT_TRUE(btnTransDelete()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    rdoTransCategories()->setChecked(true);
    QTest::mouseClick(btnMoreInfo(), Qt::LeftButton);
    EXPECT_EQ(dialogs->Of("message").size(), 2);
    EXPECT_TRUE(btnMoreInfo()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QTest::mouseClick(btnTransSearch(), Qt::LeftButton);
    EXPECT_EQ(dialogs->Of("message").size(), 3);
    EXPECT_TRUE(btnTransSearch()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The failed search emptied the lists, and the buttons know it.
    EXPECT_EQ(Rows(lvwTrans()), 0);
    EXPECT_FALSE(btnTransDelete()->isEnabled());
    EXPECT_FALSE(btnTransMore()->isEnabled());
}
