#include "support/WindowParts.h"
#include "app/MainForm.h"
#include "browse/TransPanel.h"
#include "entry/EntryPanel.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

template <class T>
T *Part(const TEntryPanel *panel, const char *kind, const char *rest)
{
    const bool out = panel->objectName() == QStringLiteral("pnlExpense");
    return Child<T>(panel, QString::fromLatin1(kind) + (out ? QStringLiteral("Out") : QStringLiteral("In")) +
                               QString::fromLatin1(rest));
}

} // namespace

TEntryControls::TEntryControls(TEntryPanel *p)
    : panel(p),
      dtpDate(Part<QDateEdit>(p, "dtp", "Date")),
      cboCate(Part<QComboBox>(p, "cbo", "Cate")),
      edtAmount(Part<QLineEdit>(p, "edt", "Amount")),
      edtNotes(Part<QLineEdit>(p, "edt", "Notes")),
      btnHelp(Part<QPushButton>(p, "btn", "Help")),
      btnEditCates(Part<QPushButton>(p, "btn", "EditCates")),
      btnCalc(Part<QPushButton>(p, "btn", "Calc")),
      btnAdd(Part<QPushButton>(p, "btn", "Add")),
      lvwRecs(Part<QTreeWidget>(p, "lvw", "Recs")),
      lblTotal(Part<QLabel>(p, "lbl", "Total")),
      btnDelete(Part<QPushButton>(p, "btn", "Delete")),
      btnEdit(Part<QPushButton>(p, "btn", "Edit")),
      btnSave(Part<QPushButton>(p, "btn", "Save"))
{
}

QStringList TEntryControls::CateEntries() const
{
    QStringList entries;
    for (int i = 0; i < cboCate->count(); ++i)
        entries << cboCate->itemText(i);
    return entries;
}

QList<QStringList> TEntryControls::PendingRows() const
{
    QList<QStringList> rows;
    for (int i = 0; i < lvwRecs->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = lvwRecs->topLevelItem(i);
        rows << QStringList{row->text(1), row->text(2), row->text(3), row->text(4), row->text(5)};
    }
    return rows;
}

TEntryControls Expense(const QWidget *window)
{
    return TEntryControls(Child<TEntryPanel>(window, "pnlExpense"));
}

TEntryControls Income(const QWidget *window)
{
    return TEntryControls(Child<TEntryPanel>(window, "pnlIncome"));
}

TEntryControls Expense(const std::unique_ptr<TfrmMain> &window)
{
    return Expense(window.get());
}

TEntryControls Income(const std::unique_ptr<TfrmMain> &window)
{
    return Income(window.get());
}

TTransPanel *TransactionsPanel(const QWidget *window)
{
    return Child<TTransPanel>(window, "pnlTransactions");
}

TTransPanel *TransactionsPanel(const std::unique_ptr<TfrmMain> &window)
{
    return TransactionsPanel(window.get());
}
