#pragma once
#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;
class TDbMan;

// The sign-in dialog: lists the accounts newest first, signs a user in, or creates an
// account for a new name after one question.
class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    // dbFileName: the prepared ledger file (see PrepareLedgerFile).
    explicit TfrmLogin(const QString &dbFileName, QWidget *parent = nullptr);
    ~TfrmLogin() override;

    const QString &DbFileName() const { return m_dbFileName; }
    const QString &UserName() const { return m_userName; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    QFrame *bvlRect = nullptr;
    QLabel *lblStep1 = nullptr;
    QLabel *lblStep2 = nullptr;
    QLabel *lblStep3 = nullptr;
    QLabel *lblUsername = nullptr;
    QComboBox *cboUsername = nullptr;
    QLabel *lblPassword = nullptr;
    QLineEdit *edtPassword = nullptr;
    QPushButton *btnSubmit = nullptr;
    QPushButton *btnCancel = nullptr;

    void btnSubmitClick();
    void btnCancelClick();
    void UpdateSubmitState();
    // The stored form of name when an account matches it with ASCII letters folded.
    QString FindStoredName(const QString &name);
    void FormCreate();

    QString m_dbFileName;
    QString m_userName;
    std::unique_ptr<TDbMan> m_db;
};
