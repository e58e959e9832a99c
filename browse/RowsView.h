#pragma once
#include "widgets/ListView.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTreeView>

// The texts of a list's rows, field by field.
using TTextRows = QList<QStringList>;

// The rows of a report-style list as texts, ready for views of tens of thousands of rows.
// Column 0 is the empty, zero-wide caption column; column c shows field c - 1 of a row.
class TRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TRowsModel(const QList<TColumn> &columns, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void SetRows(TTextRows rows);
    const QStringList &Row(int row) const { return m_rows[row]; }
    // The caption of a column, counting the empty first one as column 0.
    void SetCaption(int column, const QString &caption);

    // Rows whose field, trimmed, is the day key, or a day of the month key "yyyy-mm",
    // are drawn on color. An empty key marks no row.
    void SetMarkedDay(int field, const QString &key, const QColor &color);
    bool IsMarked(int row) const;
    // The first marked row, or -1.
    int FirstMarkedRow() const;

private:
    QList<TColumn> m_columns;
    TTextRows m_rows;
    int m_markField = -1;
    QString m_markKey;
    QColor m_markColor;
};

// A report-style list view backed by a TRowsModel: whole-row single selection, read-only,
// no sorting, not a tab stop.
QTreeView *CreateRowsView(QWidget *parent, const QString &name, const QList<TColumn> &columns);
// The model of a view made by CreateRowsView.
TRowsModel *RowsModel(const QAbstractItemView *view);
// The selected row of a view, or -1.
int SelectedRow(const QAbstractItemView *view);
