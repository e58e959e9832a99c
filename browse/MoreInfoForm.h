#pragma once
#include <QDialog>

class QFrame;
class QTreeView;

// Lists the records of one item in a range of days. The caller sets the caption, the
// caption of the amount column and the rows (see RowsView.h).
class TfrmMoreInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMoreInfo(QWidget *parent = nullptr);

    QFrame *bvlRect = nullptr;
    QTreeView *lvwRecs = nullptr;
};
