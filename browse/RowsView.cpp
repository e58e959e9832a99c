#include "browse/RowsView.h"
#include "base/HiClass.h"

#include <QHeaderView>

TRowsModel::TRowsModel(const QList<TColumn> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
    m_columns.prepend(TColumn{QString(), 0});
}

int TRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount)
        return QVariant();
    const int field = index.column() - 1;
    switch (role) {
    case Qt::DisplayRole:
        return field >= 0 ? m_text(index.row(), field) : QString();
    case Qt::TextAlignmentRole:
        return m_columns[index.column()].right ? int(Qt::AlignRight | Qt::AlignVCenter)
                                               : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return IsMarked(index.row()) ? QVariant(m_markColor) : QVariant();
    default:
        return QVariant();
    }
}

QVariant TRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_columns[section].caption;
    if (role == Qt::TextAlignmentRole)
        return m_columns[section].right ? int(Qt::AlignRight | Qt::AlignVCenter)
                                        : int(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags TRowsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TRowsModel::SetSource(int rowCount, TFieldText text)
{
    beginResetModel();
    m_rowCount = rowCount;
    m_text = std::move(text);
    endResetModel();
}

void TRowsModel::SetCaption(int column, const QString &caption)
{
    m_columns[column].caption = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TRowsModel::SetMarkedDay(int field, const QString &key, const QColor &color)
{
    m_markField = field;
    m_markKey = key;
    m_markColor = color;
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

bool TRowsModel::IsMarked(int row) const
{
    if (m_markKey.isEmpty() || m_markField < 0)
        return false;
    const QString day = THi::Trim(m_text(row, m_markField));
    return day == m_markKey ||
           (day.size() > m_markKey.size() && day.startsWith(m_markKey) && day[m_markKey.size()] == u'-');
}

int TRowsModel::FirstMarkedRow() const
{
    for (int r = 0; r < m_rowCount; ++r)
        if (IsMarked(r))
            return r;
    return -1;
}

QTreeView *CreateRowsView(QWidget *parent, const QString &name, const QList<TColumn> &columns)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(name);
    auto *model = new TRowsModel(columns, view);
    view->setModel(model);
    // A tab stop: the rows are read and chosen with the arrow keys.
    view->setFocusPolicy(Qt::StrongFocus);
    SetReportStyle(view, columns);
    return view;
}

TRowsModel *RowsModel(const QAbstractItemView *view)
{
    return view ? qobject_cast<TRowsModel *>(view->model()) : nullptr;
}

int SelectedRow(const QAbstractItemView *view)
{
    if (!view || !view->selectionModel())
        return -1;
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}
