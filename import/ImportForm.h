#pragma once
#include "import/ImportPlan.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The dialog "导入账单": one row per bill transaction with its check box, date, type,
// item (an editable drop-down of the user's items of that type), amount, notes, the
// bill's status and why a row is unchecked. Accepting it stores nothing: the caller
// takes CheckedRecords() and LearnedRules().
class TfrmImport : public QDialog {
    Q_OBJECT
public:
    enum Column { ColCheck, ColDate, ColType, ColItem, ColAmount, ColNotes, ColStatus, ColReason, ColCount };

    TfrmImport(const QList<TPlanRow> &plan, const QStringList &outItems, const QStringList &inItems,
               QWidget *parent = nullptr);

    QList<TImportRecord> CheckedRecords() const;
    // The items the user chose by hand, per type and counterpart.
    QList<TItemRule> LearnedRules() const;
    const QStringList &ItemsOf(const QString &type) const;

private:
    // "共 N 条，选中 M 条：支出 a 元，收入 b 元"
    QString SummaryText() const;
    void FillRows();
    void lvwBillItemChanged(QTreeWidgetItem *item, int column);
    void btnImportClick();
    void UpdateSummary();

    QList<TPlanRow> m_plan;
    QList<bool> m_itemByHand;
    QStringList m_outItems, m_inItems;
    bool m_filling = false;

    QTreeWidget *lvwBill = nullptr;
    QLabel *lblSummary = nullptr;
    QPushButton *btnImport = nullptr;
    QPushButton *btnCancel = nullptr;
};

// "12.34" from fen, exactly.
QString FenText(qint64 fen);
