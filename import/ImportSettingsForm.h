#pragma once
#include "import/BillReader.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

// The dialog "导入设置" for a CSV file or workbook of no known form: its first 30 lines as
// a table, the encoding, the header line, and which columns give the date (with its
// pattern), the item, the notes, and the amount (one signed column, or income and expense
// apart). It reads the file's bytes only; accepting it stores nothing.
class TfrmImportSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmImportSettings(const QByteArray &bytes, QWidget *parent = nullptr);

    TImportMapping Mapping() const;
    int HeaderIndex() const;
    TTextEncoding Encoding() const;
    QStringList Header() const;
    // The name given through "保存为方案", empty when none.
    const QString &PlanName() const { return m_planName; }

private:
    void LoadPreview();
    void FillColumns();
    void UpdateState();
    void btnSavePlanClick();
    void btnOkClick();

    QByteArray m_bytes;
    QList<TTableRow> m_rows;
    bool m_sheet = false;
    QString m_planName;

    QComboBox *cboEncoding = nullptr;
    QSpinBox *spnHeader = nullptr;
    QTableWidget *lvwPreview = nullptr;
    QComboBox *cboDate = nullptr;
    QLineEdit *edtDatePattern = nullptr;
    QComboBox *cboItem = nullptr;
    QListWidget *lvwNotes = nullptr;
    QRadioButton *rdoSigned = nullptr;
    QRadioButton *rdoSeparate = nullptr;
    QComboBox *cboAmount = nullptr;
    QComboBox *cboIncome = nullptr;
    QComboBox *cboExpense = nullptr;
    QLabel *lblPlan = nullptr;
    QPushButton *btnSavePlan = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};
