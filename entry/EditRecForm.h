#pragma once
#include <QDialog>
#include <QStringList>

class QDateEdit;
class QFrame;
class QLineEdit;
class QPushButton;

// Edits the date, item, amount and notes of one stored record. The caller sets the four
// Rec fields, runs the dialog and, after OK, reads them back; the dialog knows nothing of
// the ledger.
class TfrmEditRec : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditRec(QWidget *parent = nullptr);

    QString RecDate;    // "yyyy-mm-dd"
    QString RecCate;
    QString RecAmount;  // after Save formatted "%0.2f"
    QString RecNotes;
    // The user's items of the record's type, offered while the item is typed.
    QStringList RecCateEntries;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void edtCateChange();
    void btnSaveClick();
    void btnCancelClick();

    bool m_filled = false;

    QFrame *bvlRect = nullptr;
    QDateEdit *dtpDate = nullptr;
    QLineEdit *edtCate = nullptr;
    QLineEdit *edtAmount = nullptr;
    QLineEdit *edtNotes = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
};
