#include "budget/BudgetForm.h"
#include "base/AmountInput.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QColor kOverColor(200, 0, 0);
const QColor kWithinColor(0, 150, 60);

QDate FirstOf(const QDate &date)
{
    return QDate(date.year(), date.month(), 1);
}

// How much of the budget is spent, as a bar that turns red past the budget.
class TBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QVariant share = index.data(TfrmBudget::BarRole);
        if (!share.isValid())
            return;
        const QRect frame = option.rect.adjusted(4, 4, -4, -4);
        const double ratio = share.toDouble();
        painter->save();
        painter->setPen(QColor(160, 160, 160));
        painter->setBrush(Qt::white);
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        const int width = int((frame.width() - 2) * std::min(ratio, 1.0));
        painter->fillRect(QRect(frame.left() + 1, frame.top() + 1, width, frame.height() - 2),
                          ratio > 1.0 ? kOverColor : kWithinColor);
        painter->restore();
    }
};

QTableWidgetItem *Cell(const QString &text, bool editable, bool right)
{
    auto *cell = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable)
        flags |= Qt::ItemIsEditable;
    cell->setFlags(flags);
    if (right)
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

} // namespace

TfrmBudget::TfrmBudget(ISession &session, QWidget *parent, const QDate &month)
    : QDialog(parent), m_session(session), m_month(FirstOf(month))
{
    setObjectName(QStringLiteral("frmBudget"));
    setWindowTitle(QStringLiteral("月度预算"));
    resize(640, 420);

    auto *monthLabel = new QLabel(QStringLiteral("月份(&M)："), this);
    dtpMonth = new QDateEdit(m_month, this);
    dtpMonth->setObjectName(QStringLiteral("dtpMonth"));
    dtpMonth->setDisplayFormat(QStringLiteral("yyyy-MM"));
    dtpMonth->setCalendarPopup(true);
    monthLabel->setBuddy(dtpMonth);

    grdBudgets = new QTableWidget(0, 5, this);
    grdBudgets->setAccessibleName(QStringLiteral("月度预算"));
    grdBudgets->setAccessibleDescription(QStringLiteral("所选月份各支出项目的预算、已支出与结余"));
    grdBudgets->setObjectName(QStringLiteral("grdBudgets"));
    grdBudgets->setHorizontalHeaderLabels(
        {QStringLiteral("项目"), QStringLiteral("预算"), QStringLiteral("支出"), QStringLiteral("剩余"),
         QStringLiteral("进度")});
    grdBudgets->verticalHeader()->hide();
    grdBudgets->setSelectionMode(QAbstractItemView::SingleSelection);
    grdBudgets->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    grdBudgets->setItemDelegateForColumn(colBar, new TBarDelegate(grdBudgets));
    const int widths[] = {170, 100, 100, 110, 120};
    for (int c = 0; c < 5; ++c)
        grdBudgets->setColumnWidth(c, widths[c]);

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    btnSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton *b : {btnSave, btnClose})
        b->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(monthLabel);
    top->addWidget(dtpMonth);
    top->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblTotal);
    bottom->addStretch();
    bottom->addWidget(btnSave);
    bottom->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grdBudgets);
    layout->addLayout(bottom);

    connect(dtpMonth, &QDateEdit::dateChanged, this, Guarded(this, [this] { dtpMonthChange(); }));
    connect(btnSave, &QPushButton::clicked, this, Guarded(this, [this] { btnSaveClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &TfrmBudget::reject);
    connect(grdBudgets, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *cell) {
        if (!m_loading && cell->column() == colBudget)
            m_modified = true;
    });
    Reload();
}

void TfrmBudget::Reload()
{
    const QString user = m_session.SessionUser();
    TBudgetStore store(m_session.SessionDb().FileName());
    m_lines = store.MonthLines(user, m_month, CateTextToEntries(store.GetCates(user, QStringLiteral("out"))));

    m_loading = true;
    grdBudgets->setRowCount(int(m_lines.size()));
    TFen budgetSum = 0, spentSum = 0;
    for (int r = 0; r < m_lines.size(); ++r) {
        const TBudgetLine &line = m_lines[r];
        grdBudgets->setItem(r, colItem, Cell(line.item, false, false));
        grdBudgets->setItem(r, colBudget, Cell(line.budget ? FormatFen(*line.budget) : QString(), true, true));
        grdBudgets->setItem(r, colSpent, Cell(FormatFen(line.spent), false, true));
        QString left;
        if (line.Over())
            left = QStringLiteral("超出 %1").arg(FormatFen(-*line.Left()));
        else if (line.budget)
            left = FormatFen(*line.Left());
        QTableWidgetItem *leftCell = Cell(left, false, true);
        if (line.Over())
            leftCell->setForeground(kOverColor);
        grdBudgets->setItem(r, colLeft, leftCell);
        QTableWidgetItem *bar = Cell(QString(), false, false);
        if (line.budget)
            bar->setData(BarRole, *line.budget > 0 ? double(line.spent) / double(*line.budget) : 2.0);
        grdBudgets->setItem(r, colBar, bar);
        if (line.budget)
            budgetSum += *line.budget;
        spentSum += line.spent;
    }
    lblTotal->setText(QStringLiteral("预算合计：%1    支出合计：%2").arg(FormatFen(budgetSum), FormatFen(spentSum)));
    m_loading = false;
    m_modified = false;
}

bool TfrmBudget::btnSaveClick()
{
    QList<QPair<QString, std::optional<TFen>>> budgets;
    for (int r = 0; r < m_lines.size(); ++r) {
        const QString text = grdBudgets->item(r, colBudget)->text();
        if (THi::Trim(text).isEmpty()) {
            budgets.append({m_lines[r].item, std::nullopt});
            continue;
        }
        const std::optional<TFen> amount = TypedAmount(text);
        if (!amount) {
            grdBudgets->setCurrentCell(r, colBudget);
            Dialogs().Message(this,
                              QStringLiteral("“%1”的预算“%2”无效：请填写至少 0.01 的数字，或留空表示不设预算。")
                                  .arg(m_lines[r].item, text),
                              QStringLiteral("Tallyfern"), IDialogs::Icon::Warning);
            return false;
        }
        budgets.append({m_lines[r].item, amount});
    }
    {
        TBusyScope busy(m_session, btnSave);
        TBudgetStore(m_session.SessionDb().FileName()).SetBudgets(m_session.SessionUser(), m_month, budgets);
    }
    Reload();
    return true;
}

bool TfrmBudget::SettleChanges()
{
    if (!m_modified)
        return true;
    if (!Dialogs().Question(this, QStringLiteral("%1年%2月的预算已修改，要先保存吗？").arg(m_month.year()).arg(m_month.month()),
                            QStringLiteral("Tallyfern")))
        return true;
    bool saved = false;
    RunGuarded(this, [&] { saved = btnSaveClick(); });
    return saved;
}

void TfrmBudget::dtpMonthChange()
{
    const QDate month = FirstOf(dtpMonth->date());
    if (month == m_month)
        return;
    if (!SettleChanges()) {
        // The typed budgets stay on screen with their own month.
        const QSignalBlocker block(dtpMonth);
        dtpMonth->setDate(m_month);
        return;
    }
    m_month = month;
    Reload();
}

void TfrmBudget::reject()
{
    if (SettleChanges())
        QDialog::reject();
}
