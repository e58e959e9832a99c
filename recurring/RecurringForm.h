#pragma once
#include "store/RecurringStore.h"

#include <QDialog>

class ISession;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// One recurring record, new or changed. OK checks the fields and keeps the dialog open
// with a message while one of them is wrong.
class TfrmRecurringEdit : public QDialog {
    Q_OBJECT
public:
    TfrmRecurringEdit(QWidget *parent, const TRecurring &rec, const QStringList &outItems,
                      const QStringList &inItems);

    // The record as the fields give it; valid after the dialog was accepted.
    TRecurring Record() const { return m_rec; }

private:
    QComboBox *cboType = nullptr;
    QComboBox *cboCate = nullptr;
    QLineEdit *edtAmount = nullptr;
    QLineEdit *edtNotes = nullptr;
    QSpinBox *spnDay = nullptr;
    QDateEdit *dtpFirst = nullptr;
    QCheckBox *chkLast = nullptr;
    QDateEdit *dtpLast = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    void btnOKClick();
    void FillItems();

    TRecurring m_rec;
    QStringList m_outItems;
    QStringList m_inItems;
};

// The list of the signed-in user's recurring records.
class TfrmRecurring : public QDialog {
    Q_OBJECT
public:
    TfrmRecurring(ISession &session, QWidget *parent);

private:
    void btnAddClick();
    void btnEditClick();
    void btnDeleteClick();

    QTreeWidget *lvwRecurring = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnEdit = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnClose = nullptr;

    void Reload(qint64 selectId);
    void UpdateButtons();
    bool RunEdit(TRecurring &rec);

    ISession &m_session;
    QList<TRecurring> m_records;
};
