#pragma once
#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;

// Edits one category list as plain text, one entry per line. The caller fills CatesText
// before showing the dialog; after Save (result Accepted) it holds the edited text.
class TfrmEditCate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditCate(QWidget *owner);

    QString CatesText;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void memTextChange();
    void btnSaveClick();
    void btnCancelClick();

    QFrame *bvlFrame = nullptr;
    QPlainTextEdit *memText = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
};
