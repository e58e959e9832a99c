#pragma once
#include "app/MainForm.h"
#include "browse/RowsView.h"
#include "browse/TransPanel.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

// A signed-in main window, shown offscreen in the browsing mode, on a fresh ledger.
class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs = &Scripted();
        db = std::make_unique<TDbMan>(ledger.Path());
    }
    void TearDown() override
    {
        window.reset();
        // Every command must give the cursor back, whatever happened.
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    TTransPanel *Open(const QString &user = QStringLiteral("U"))
    {
        window = SignedInMainWindow(ledger.Path(), user);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        Child<QRadioButton>(window.get(), "rdoTransactions")->setChecked(true);
        panel = TransactionsPanel(window);
        return panel;
    }

    void Search(const QDate &from, const QDate &to)
    {
        dtpTransDate1()->setDate(from);
        dtpTransDate2()->setDate(to);
        QTest::mouseClick(btnTransSearch(), Qt::LeftButton);
    }

    // The panel's controls, found by their object names.
    QDateEdit *dtpTransDate1() const { return Child<QDateEdit>(panel, "dtpTransDate1"); }
    QDateEdit *dtpTransDate2() const { return Child<QDateEdit>(panel, "dtpTransDate2"); }
    QPushButton *btnTransSearch() const { return Child<QPushButton>(panel, "btnTransSearch"); }
    QRadioButton *rdoTransTransactions() const { return Child<QRadioButton>(panel, "rdoTransTransactions"); }
    QRadioButton *rdoTransCategories() const { return Child<QRadioButton>(panel, "rdoTransCategories"); }
    QRadioButton *rdoTransCharts() const { return Child<QRadioButton>(panel, "rdoTransCharts"); }
    QTreeView *lvwDayTotal() const { return Child<QTreeView>(panel, "lvwDayTotal"); }
    QTreeView *lvwMonthTotal() const { return Child<QTreeView>(panel, "lvwMonthTotal"); }
    QTabBar *TabSet1() const { return Child<QTabBar>(panel, "TabSet1"); }
    QTreeView *lvwTrans() const { return Child<QTreeView>(panel, "lvwTrans"); }
    QLabel *lblTransTotal() const { return Child<QLabel>(panel, "lblTransTotal"); }
    QPushButton *btnTransDelete() const { return Child<QPushButton>(panel, "btnTransDelete"); }
    QPushButton *btnTransEdit() const { return Child<QPushButton>(panel, "btnTransEdit"); }
    QPushButton *btnTransMore() const { return Child<QPushButton>(panel, "btnTransMore"); }
    QMenu *mnuTransMenu() const { return Child<QMenu>(panel, "mnuTransMenu"); }
    QWidget *pnlTransCategories() const { return Child<QWidget>(panel, "pnlTransCategories"); }
    QTreeView *lvwInCates() const { return Child<QTreeView>(panel, "lvwInCates"); }
    QTreeView *lvwOutCates() const { return Child<QTreeView>(panel, "lvwOutCates"); }
    QLabel *lblCatesTotal() const { return Child<QLabel>(panel, "lblCatesTotal"); }
    QPushButton *btnMoreInfo() const { return Child<QPushButton>(panel, "btnMoreInfo"); }
    QPushButton *btnCatesExport() const { return Child<QPushButton>(panel, "btnCatesExport"); }
    QPushButton *btnCatesPrint() const { return Child<QPushButton>(panel, "btnCatesPrint"); }

    static void Click(QAbstractItemView *view, int row)
    {
        const QRect rect = view->visualRect(view->model()->index(row, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // A click below the last row.
    static void ClickEmpty(QAbstractItemView *view)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          QPoint(20, view->viewport()->height() - 3));
    }
    static int Rows(QAbstractItemView *view) { return view->model()->rowCount(); }
    static QString Cell(QAbstractItemView *view, int row, int field)
    {
        return view->model()->index(row, field + 1).data().toString();
    }
    // Fields of a column of a list (field counted from the first visible column).
    static QStringList Column(QAbstractItemView *view, int field)
    {
        QStringList out;
        for (int r = 0; r < Rows(view); ++r)
            out << Cell(view, r, field);
        return out;
    }

    // Runs action on the next modal dialog once it is shown.
    static void OnModal(std::function<void(QWidget *)> action)
    {
        QTimer::singleShot(0, [action] {
            QWidget *modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            action(modal);
        });
    }

    TScriptedDialogs *dialogs = nullptr;
    TTempLedger ledger;
    std::unique_ptr<TDbMan> db;
    std::unique_ptr<TfrmMain> window;
    TTransPanel *panel = nullptr;
};
