#pragma once
#include "widgets/ListView.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTreeView>

#include <functional>

// The text of one field of one row, made when a view asks for it.
using TFieldText = std::function<QString(int row, int field)>;

// The rows of a report-style list, ready for views of hundreds of thousands of rows: the
// texts come from a source that formats a field when it is shown, so a long list of typed
// rows is never copied into texts. Column 0 is the empty, zero-wide caption column; column
// c shows field c - 1 of a row.
class TRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TRowsModel(const QList<TColumn> &columns, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // rowCount rows whose fields text gives.
    void SetSource(int rowCount, TFieldText text);
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
    int m_rowCount = 0;
    TFieldText m_text;
    int m_markField = -1;
    QString m_markKey;
    QColor m_markColor;
};

// A report-style list view backed by a TRowsModel: whole-row single selection, read-only,
// no sorting, a tab stop.
QTreeView *CreateRowsView(QWidget *parent, const QString &name, const QList<TColumn> &columns);
// The model of a view made by CreateRowsView.
TRowsModel *RowsModel(const QAbstractItemView *view);
// The selected row of a view, or -1.
int SelectedRow(const QAbstractItemView *view);
