#include "browse/BrowseFixture.h"
#include "browse/MoreInfoForm.h"

#include <QTreeView>

namespace {

// The colour in the middle of a row's item cell, as the list paints it.
QColor RowColour(QTreeView *list, int row)
{
    const QImage image = list->viewport()->grab().toImage();
    return image.pixelColor(list->visualRect(list->model()->index(row, 2)).center() + QPoint(30, 0));
}

struct DetailSeen {
    QString caption;
    QString amountCaption;
    QList<QStringList> rows;
};

} // namespace

TEST_F(BrowseTest, DetailListsTheItemsRecordsInDateAndSavingOrder)
{
    db->AddRecords("U", NewRecords({{"2009-08-21", "支出", "书", "20", "c"},
                         {"2009-08-02", "支出", "书", "10", "a"},
                         {"2009-08-21", "支出", "书", "15", "d"},
                         {"2009-08-02", "收入", "书", "99", "sold"},
                         {"2009-08-05", "支出", "菜", "1", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    rdoTransCategories()->setChecked(true);
    EXPECT_EQ(Column(lvwOutCates(), 1), (QStringList{"书", "菜"}));
    Click(lvwOutCates(), 0);

    DetailSeen seen;
    OnModal([&seen](QWidget *dialog) {
        auto *info = static_cast<TfrmMoreInfo *>(dialog);
        seen = {info->windowTitle(), ListCaptions(Child<QTreeView>(info, "lvwRecs")).value(2), ListRows(Child<QTreeView>(info, "lvwRecs"))};
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // no hourglass over the dialog
        info->close();
    });
    QTest::mouseClick(btnMoreInfo(), Qt::LeftButton);
    EXPECT_EQ(seen.caption, QStringLiteral("数量：3  合计：45.00"));
    EXPECT_EQ(seen.amountCaption, QStringLiteral("支出"));
    EXPECT_EQ(seen.rows, (QList<QStringList>{{"2009-08-02", "书", "10.00", "a"},
                                             {"2009-08-21", "书", "20.00", "c"},
                                             {"2009-08-21", "书", "15.00", "d"}}));
    EXPECT_TRUE(btnMoreInfo()->isEnabled());

    // A double click on the income row shows only the income record of the same item, in
    // the range the pickers show now; the caption keeps the searched count and sum.
    dtpTransDate1()->setDate(QDate(2009, 8, 3));
    OnModal([&seen](QWidget *dialog) {
        auto *info = static_cast<TfrmMoreInfo *>(dialog);
        seen = {info->windowTitle(), ListCaptions(Child<QTreeView>(info, "lvwRecs")).value(2), ListRows(Child<QTreeView>(info, "lvwRecs"))};
        info->close();
    });
    const QRect rect = lvwInCates()->visualRect(lvwInCates()->model()->index(0, 1));
    QTest::mouseClick(lvwInCates()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(lvwInCates()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(seen.caption, QStringLiteral("数量：1  合计：99.00"));
    EXPECT_EQ(seen.amountCaption, QStringLiteral("收入"));
    EXPECT_TRUE(seen.rows.isEmpty());
}

TEST_F(BrowseTest, DoubleClickOnAnEmptyAreaShowsNothing)
{
    db->AddRecords("U", NewRecords({{"2009-08-21", "支出", "书", "20", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    rdoTransCategories()->setChecked(true);
    Click(lvwOutCates(), 0);
    bool shown = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&shown] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    guard.start(0);
    const QPoint empty(20, lvwOutCates()->viewport()->height() - 3);
    QTest::mouseClick(lvwOutCates()->viewport(), Qt::LeftButton, {}, empty);
    QTest::mouseDClick(lvwOutCates()->viewport(), Qt::LeftButton, {}, empty);
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(BrowseTest, TheCurrentRankingRowStaysNavyWhileTheFocusIsElsewhere)
{
    db->AddRecords("U", NewRecords({{"2009-08-21", "支出", "书", "20", ""},
                         {"2009-08-21", "支出", "菜", "2", ""},
                         {"2009-08-22", "收入", "奖", "5", ""}}));
    Open();
    Search(QDate(2009, 8, 1), QDate(2009, 8, 31));
    rdoTransCategories()->setChecked(true);
    Click(lvwOutCates(), 1);
    btnMoreInfo()->setFocus();
    EXPECT_EQ(RowColour(lvwOutCates(), 1), QColor(0, 0, 128));
    EXPECT_NE(RowColour(lvwOutCates(), 0), QColor(0, 0, 128));

    // Another list becomes current: the expense row is selected still, but no longer navy.
    Click(lvwInCates(), 0);
    QTest::mouseMove(btnMoreInfo());
    btnMoreInfo()->setFocus();
    EXPECT_EQ(SelectedRow(lvwOutCates()), 1);
    EXPECT_NE(RowColour(lvwOutCates(), 1), QColor(0, 0, 128));
    EXPECT_EQ(RowColour(lvwInCates(), 0), QColor(0, 0, 128));
}
