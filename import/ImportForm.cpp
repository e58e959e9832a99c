#include "import/ImportForm.h"
#include "widgets/Dialogs.h"
#include "base/HiClass.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kRowRole = Qt::UserRole + 1;

// The item cell edits in a drop-down of the user's items of the row's type; any text may
// be typed.
class TItemDelegate : public QStyledItemDelegate {
public:
    explicit TItemDelegate(TfrmImport *form) : QStyledItemDelegate(form), m_form(form) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("cboItem"));
        combo->setEditable(true);
        combo->setCompleter(nullptr);
        combo->setMaxVisibleItems(32);
        combo->addItems(m_form->ItemsOf(index.siblingAtColumn(TfrmImport::ColType).data().toString()));
        return combo;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        static_cast<QComboBox *>(editor)->setCurrentText(index.data().toString());
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        const QString text = THi::Trim(static_cast<QComboBox *>(editor)->currentText());
        // An item is never empty: an emptied cell keeps what it held.
        if (!text.isEmpty())
            model->setData(index, text);
    }

private:
    TfrmImport *m_form;
};

// Rows left out are greyed.
void ShowChecked(QTreeWidgetItem *item, bool checked)
{
    for (int c = 0; c < TfrmImport::ColCount; ++c)
        if (checked)
            item->setData(c, Qt::ForegroundRole, QVariant());
        else
            item->setForeground(c, QColor(128, 128, 128));
}

} // namespace

QString FenText(qint64 fen)
{
    const QString sign = fen < 0 ? QStringLiteral("-") : QString();
    fen = qAbs(fen);
    return sign + QStringLiteral("%1.%2").arg(fen / 100).arg(fen % 100, 2, 10, QLatin1Char('0'));
}

TfrmImport::TfrmImport(const QList<TPlanRow> &plan, const QStringList &outItems,
                       const QStringList &inItems, QWidget *parent)
    : QDialog(parent), m_plan(plan), m_itemByHand(plan.size(), false), m_outItems(outItems), m_inItems(inItems)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("导入账单"));
    resize(900, 560);

    lvwBill = new QTreeWidget(this);
    lvwBill->setAccessibleName(QStringLiteral("账单记录"));
    lvwBill->setAccessibleDescription(QStringLiteral("账单中的每笔交易；勾选的将导入"));
    lvwBill->setObjectName(QStringLiteral("lvwBill"));
    lvwBill->setRootIsDecorated(false);
    lvwBill->setUniformRowHeights(true);
    lvwBill->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwBill->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwBill->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    lvwBill->setHeaderLabels({QStringLiteral("导入"), QStringLiteral("日期"), QStringLiteral("类别"),
                              QStringLiteral("项目"), QStringLiteral("金额"), QStringLiteral("备注"),
                              QStringLiteral("账单状态"), QStringLiteral("未选原因")});
    const int widths[ColCount] = {44, 84, 64, 140, 84, 240, 104, 80};
    for (int c = 0; c < ColCount; ++c)
        lvwBill->setColumnWidth(c, widths[c]);
    lvwBill->headerItem()->setTextAlignment(ColAmount, Qt::AlignRight | Qt::AlignVCenter);
    lvwBill->setItemDelegateForColumn(ColItem, new TItemDelegate(this));

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    btnImport = new QPushButton(QStringLiteral("导入(&I)"), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    // Enter in the list must not import by surprise: the button is reached by Alt+I.
    btnImport->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblSummary, 1);
    bottom->addWidget(btnImport);
    bottom->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvwBill, 1);
    layout->addLayout(bottom);

    FillRows();
    connect(lvwBill, &QTreeWidget::itemChanged, this, &TfrmImport::lvwBillItemChanged);
    connect(btnImport, &QPushButton::clicked, this, &TfrmImport::btnImportClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateSummary();
    lvwBill->setFocus();
}

const QStringList &TfrmImport::ItemsOf(const QString &type) const
{
    return type == kTypeIn ? m_inItems : m_outItems;
}

void TfrmImport::FillRows()
{
    m_filling = true;
    QList<QTreeWidgetItem *> items;
    items.reserve(m_plan.size());
    for (int i = 0; i < m_plan.size(); ++i) {
        const TPlanRow &r = m_plan.at(i);
        auto *item = new QTreeWidgetItem;
        item->setData(ColCheck, kRowRole, i);
        item->setText(ColDate, r.bill.date().toString(QStringLiteral("yyyy-MM-dd")));
        item->setText(ColType, r.type.isEmpty() ? DirectionText(r.bill.direction) : r.type);
        item->setText(ColItem, r.item);
        item->setText(ColAmount, FenText(r.amountFen));
        item->setTextAlignment(ColAmount, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(ColNotes, r.notes);
        item->setText(ColStatus, r.bill.status);
        item->setText(ColReason, ReasonText(r.reason));
        if (!r.duplicateOf.isEmpty())
            for (int c = 0; c < ColCount; ++c)
                item->setToolTip(c, QStringLiteral("可能与已记的这条记录重复：%1").arg(r.duplicateOf));
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        // A row that is neither expense nor income has no type to be stored under, and a
        // row whose whole amount came back (0.00) has nothing to store.
        if (!r.type.isEmpty() && r.amountFen > 0)
            flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
        item->setFlags(flags);
        item->setCheckState(ColCheck, r.checked ? Qt::Checked : Qt::Unchecked);
        ShowChecked(item, r.checked);
        items << item;
    }
    lvwBill->addTopLevelItems(items);
    m_filling = false;
}

void TfrmImport::lvwBillItemChanged(QTreeWidgetItem *item, int column)
{
    if (m_filling)
        return;
    const int row = item->data(ColCheck, kRowRole).toInt();
    TPlanRow &p = m_plan[row];
    if (column == ColCheck) {
        p.checked = item->checkState(ColCheck) == Qt::Checked;
        m_filling = true;
        ShowChecked(item, p.checked);
        m_filling = false;
        UpdateSummary();
        return;
    }
    if (column != ColItem || item->text(ColItem) == p.item)
        return;
    p.item = item->text(ColItem);
    m_itemByHand[row] = true;
    // Other rows of the same counterpart follow, unless the user set their item too.
    const QString counterpart = THi::Trim(p.bill.counterpart);
    if (counterpart.isEmpty() || counterpart == QLatin1String("/"))
        return;
    m_filling = true;
    for (int i = 0; i < m_plan.size(); ++i) {
        TPlanRow &other = m_plan[i];
        if (i == row || m_itemByHand.at(i) || other.type != p.type ||
            other.bill.counterpart != p.bill.counterpart)
            continue;
        other.item = p.item;
        lvwBill->topLevelItem(i)->setText(ColItem, p.item);
    }
    m_filling = false;
}

QString TfrmImport::SummaryText() const
{
    int checked = 0;
    qint64 out = 0, in = 0;
    for (const TPlanRow &r : m_plan) {
        if (!r.checked)
            continue;
        ++checked;
        (r.type == kTypeIn ? in : out) += r.amountFen;
    }
    return QStringLiteral("共 %1 条，选中 %2 条：支出 %3 元，收入 %4 元")
        .arg(m_plan.size())
        .arg(checked)
        .arg(FenText(out), FenText(in));
}

void TfrmImport::UpdateSummary()
{
    lblSummary->setText(SummaryText());
    btnImport->setEnabled(std::any_of(m_plan.cbegin(), m_plan.cend(), [](const TPlanRow &r) { return r.checked; }));
}

void TfrmImport::btnImportClick()
{
    if (CheckedRecords().isEmpty())
        return;
    accept();
}

QList<TImportRecord> TfrmImport::CheckedRecords() const
{
    QList<TImportRecord> records;
    for (const TPlanRow &r : m_plan)
        if (r.checked && !r.type.isEmpty() && r.amountFen > 0)
            records << ToRecord(r);
    return records;
}

QList<TItemRule> TfrmImport::LearnedRules() const
{
    QList<TItemRule> rules;
    QSet<QString> seen;
    for (int i = 0; i < m_plan.size(); ++i) {
        const TPlanRow &r = m_plan.at(i);
        const QString counterpart = THi::Trim(r.bill.counterpart);
        if (!m_itemByHand.at(i) || counterpart.isEmpty() || counterpart == QLatin1String("/"))
            continue;
        if (seen.contains(r.type + QLatin1Char('\n') + counterpart))
            continue;
        seen.insert(r.type + QLatin1Char('\n') + counterpart);
        rules << TItemRule{r.type, counterpart, r.item};
    }
    return rules;
}
