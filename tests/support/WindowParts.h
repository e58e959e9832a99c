#pragma once
#include <QList>
#include <QStringList>

#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;
class TEntryPanel;
class TTransPanel;
class TfrmMain;

// The controls of one entry panel, found by their object names ("btnOutAdd", "btnInAdd",
// ...), for tests that work a panel as the user does.
struct TEntryControls {
    explicit TEntryControls(TEntryPanel *panel);

    // The drop-down's entries: the working copy of the item list.
    QStringList CateEntries() const;
    // The pending rows as the five texts the list shows: date, type, item, amount, notes.
    QList<QStringList> PendingRows() const;

    TEntryPanel *panel;
    QDateEdit *dtpDate;
    QComboBox *cboCate;
    QLineEdit *edtAmount;
    QLineEdit *edtNotes;
    QPushButton *btnHelp;
    QPushButton *btnEditCates;
    QPushButton *btnCalc;
    QPushButton *btnAdd;
    QTreeWidget *lvwRecs;
    QLabel *lblTotal;
    QPushButton *btnDelete;
    QPushButton *btnEdit;
    QPushButton *btnSave;
};

// The expense ("pnlExpense") and income ("pnlIncome") panels of a main window.
TEntryControls Expense(const QWidget *window);
TEntryControls Income(const QWidget *window);
TEntryControls Expense(const std::unique_ptr<TfrmMain> &window);
TEntryControls Income(const std::unique_ptr<TfrmMain> &window);

// The browsing panel ("pnlTransactions") of a main window.
TTransPanel *TransactionsPanel(const QWidget *window);
TTransPanel *TransactionsPanel(const std::unique_ptr<TfrmMain> &window);
