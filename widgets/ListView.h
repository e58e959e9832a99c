#pragma once
#include <QTreeWidget>

// A list view in report style: whole-row single selection, read-only, no sorting, the
// first column an empty zero-wide caption. columns: header text, width, right-aligned.
struct TColumn {
    QString caption;
    int width;
    bool right = false;
};

// Report style on an existing tree view whose model already has the columns.
void SetReportStyle(QTreeView *view, const QList<TColumn> &columns);
QTreeWidget *CreateListView(QWidget *parent, const QString &name, const QList<TColumn> &columns);
// Number of rows and whether a row is selected, for any item view.
int RowCount(const QAbstractItemView *view);
bool HasSelection(const QAbstractItemView *view);

// The rows of a list view as texts: per row the texts of the visible columns (the empty
// first column left out), in list order. Works on any model behind the view.
QList<QStringList> ListRows(const QAbstractItemView *view);
// The captions of the visible columns (the empty first column left out).
QStringList ListCaptions(const QAbstractItemView *view);
