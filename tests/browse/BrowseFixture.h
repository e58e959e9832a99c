#pragma once
#include "app/MainForm.h"
#include "browse/RowsView.h"
#include "browse/TransPanel.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "support/WindowParts.h"

#include <QApplication>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

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
        panel->dtpTransDate1->setDate(from);
        panel->dtpTransDate2->setDate(to);
        QTest::mouseClick(panel->btnTransSearch, Qt::LeftButton);
    }

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
