#pragma once
#include "store/SearchResult.h"

#include <QDialog>

class QFrame;
class QTreeView;

// Lists the records of one item in a range of days. The caller sets the caption and the
// records.
class TfrmMoreInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMoreInfo(QWidget *parent = nullptr);

    // Shows records (date, item, amount, notes) with amountCaption above their amounts.
    void ShowRecords(const QString &amountCaption, QList<TRecord> records);

private:
    QFrame *bvlRect = nullptr;
    QTreeView *lvwRecs = nullptr;
};
