#include "widgets/ListView.h"

#include <QHeaderView>

void SetReportStyle(QTreeView *view, const QList<TColumn> &columns)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(false);
    view->setAllColumnsShowFocus(true);
    QHeaderView *header = view->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    view->setColumnWidth(0, 0);
    for (int i = 0; i < columns.size(); ++i)
        view->setColumnWidth(i + 1, columns[i].width);
}

QTreeWidget *CreateListView(QWidget *parent, const QString &name, const QList<TColumn> &columns)
{
    auto *view = new QTreeWidget(parent);
    view->setObjectName(name);
    view->setColumnCount(int(columns.size()) + 1);
    QStringList headers{QString()};
    for (const TColumn &c : columns)
        headers << c.caption;
    view->setHeaderLabels(headers);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].right)
            view->headerItem()->setTextAlignment(i + 1, Qt::AlignRight | Qt::AlignVCenter);
    SetReportStyle(view, columns);
    return view;
}

int RowCount(const QAbstractItemView *view)
{
    return view && view->model() ? view->model()->rowCount() : 0;
}

bool HasSelection(const QAbstractItemView *view)
{
    return view && view->selectionModel() && !view->selectionModel()->selectedRows().isEmpty();
}

QList<QStringList> ListRows(const QAbstractItemView *view)
{
    QList<QStringList> rows;
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    if (!model)
        return rows;
    const int count = model->rowCount();
    const int cols = model->columnCount();
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        QStringList row;
        row.reserve(cols - 1);
        for (int c = 1; c < cols; ++c)
            row << model->index(r, c).data(Qt::DisplayRole).toString();
        rows << row;
    }
    return rows;
}

QStringList ListCaptions(const QAbstractItemView *view)
{
    QStringList captions;
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    if (!model)
        return captions;
    for (int c = 1; c < model->columnCount(); ++c)
        captions << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return captions;
}
