#include "browse/FindRecords.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "browse/RowsView.h"
#include "pinyin/ItemMatcher.h"

#include <QAction>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>

namespace {

const QColor kFoundColour(255, 240, 150);

// Found rows stand out on their own colour, over the colour of a chosen day.
class TFoundRowsDelegate : public QStyledItemDelegate {
public:
    TFoundRowsDelegate(const TRecordFinder &finder, QObject *parent)
        : QStyledItemDelegate(parent), m_finder(finder)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_finder.IsFound(index.row()))
            option->backgroundBrush = kFoundColour;
    }

private:
    const TRecordFinder &m_finder;
};

} // namespace

QList<int> FindRecords(const QList<TRecord> &records, const QString &text)
{
    const QString wanted = text.trimmed();
    QList<int> found;
    if (wanted.isEmpty())
        return found;
    // A ledger repeats a few hundred items over thousands of records: each item is read
    // and matched once.
    QHash<QString, int> itemIndex;
    QStringList items;
    for (const TRecord &record : records) {
        const QString &item = record.item;
        if (!itemIndex.contains(item)) {
            itemIndex.insert(item, int(items.size()));
            items << item;
        }
    }
    const TItemMatcher matcher(items);
    QList<bool> itemFound(items.size(), false);
    for (const int i : matcher.Filter(wanted))
        itemFound[i] = true;
    for (int r = 0; r < records.size(); ++r)
        if (itemFound[itemIndex.value(records[r].item)] ||
            records[r].notes.contains(wanted, Qt::CaseInsensitive))
            found << r;
    return found;
}

TRecordFinder::TRecordFinder(QWidget *owner, QTreeView *list, QWidget *statusHost,
                             std::function<const QList<TRecord> &()> records)
    : QObject(owner), m_owner(owner), m_list(list), m_records(std::move(records))
{
    setObjectName(QStringLiteral("recordFinder"));
    Pinyin::WarmUp();
    m_list->setItemDelegate(new TFoundRowsDelegate(*this, m_list));

    m_status = new QLabel(statusHost);
    m_status->setObjectName(QStringLiteral("lblFindStatus"));
    m_status->setContentsMargins(4, 2, 4, 2);
    // Read by a screen reader as its text, like the totals.
    m_status->setAccessibleDescription(QStringLiteral("查找的结果"));
    m_status->hide();
    statusHost->layout()->addWidget(m_status);

    m_next = new QAction(owner);
    m_next->setObjectName(QStringLiteral("actFindNext"));
    m_next->setShortcut(QKeySequence(Qt::Key_F3));
    m_next->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(m_next);
    connect(m_next, &QAction::triggered, this, Guarded(owner, [this] { Next(); }));

    connect(m_list->model(), &QAbstractItemModel::modelReset, this, [this] { Clear(); });
}

bool TRecordFinder::IsFound(int row) const
{
    return std::binary_search(m_found.cbegin(), m_found.cend(), row);
}

void TRecordFinder::Find()
{
    QString text = m_text;
    if (!Dialogs().InputText(m_owner->window(), QStringLiteral("查找"),
                             QStringLiteral("查找项目或备注（项目也可用拼音首字母）："), text, false))
        return;
    if (text.trimmed().isEmpty())
        return;
    FindText(text);
}

void TRecordFinder::FindText(const QString &text)
{
    m_text = text.trimmed();
    m_found = FindRecords(m_records(), m_text);
    m_current = -1;
    m_status->setText(QStringLiteral("共找到 %1 条").arg(m_found.size()));
    m_status->show();
    m_list->viewport()->update();
    if (m_found.isEmpty()) {
        m_list->clearSelection();
        return;
    }
    Show(0);
}

void TRecordFinder::Next()
{
    // Only the records list on screen takes F3.
    if (!m_list->isVisible())
        return;
    if (!m_found.isEmpty())
        Show((m_current + 1) % int(m_found.size()));
    else if (!m_text.isEmpty() && m_status->isHidden())
        FindText(m_text);
    else if (m_text.isEmpty())
        Find();
}

void TRecordFinder::Show(int which)
{
    m_current = which;
    const QModelIndex index = m_list->model()->index(m_found[which], 1);
    m_list->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_list->setFocus();
}

void TRecordFinder::Clear()
{
    m_found.clear();
    m_current = -1;
    m_status->hide();
}
