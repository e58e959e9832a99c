#pragma once
#include <QWidget>

class ISession;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// One of the twin entry panels: expense ("Out", pnlExpense) or income ("In", pnlIncome).
class TEntryPanel : public QWidget {
    Q_OBJECT
public:
    enum class Twin { Out, In };
    TEntryPanel(ISession &session, Twin twin, QWidget *parent);

    Twin Kind() const { return m_twin; }
    QString TypeText() const;   // "支出" or "收入"
    QString CateKey() const;    // "out" or "in"

    // Start-up: today's date, the stored item list, the total and the Add-enabling rule.
    void StartUp();

    QDateEdit *dtpDate = nullptr;
    QComboBox *cboCate = nullptr;
    QLineEdit *edtAmount = nullptr;
    QLineEdit *edtNotes = nullptr;
    QPushButton *btnAdd = nullptr;
    QTreeWidget *lvwRecs = nullptr;
    QLabel *lblTotal = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnEdit = nullptr;
    QPushButton *btnSave = nullptr;

private:
    QString Name(const char *kind, const char *rest) const;

    ISession &m_session;
    Twin m_twin;
};
