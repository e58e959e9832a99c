#pragma once
#include "store/SearchResult.h"

#include <QStringList>
#include <QWidget>

class ISession;
class QDate;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// One of the twin entry panels: expense ("Out", pnlExpense) or income ("In", pnlIncome).
// Records are collected in the pending list and stored together by Save. Handlers carry
// the generic names; on the expense panel btnAddClick is btnOutAddClick, on the income
// panel btnInAddClick, and so on for every control.
class TEntryPanel : public QWidget {
    Q_OBJECT
public:
    enum class Twin { Out, In };
    TEntryPanel(ISession &session, Twin twin, QWidget *parent);

    // Start-up: today's date, the total, the stored item list and the Add-enabling rule.
    void StartUp();
    // Reads this panel's stored item list again into the drop-down (after an import added
    // items), leaving what the user typed in the field alone.
    void ReloadCates();

    // Save needs pending rows; Delete one or more selected rows, Edit exactly one.
    void UpdateCommandStates();
    // Lists a row for the user to check and save, as Add lists a typed one. A non-zero
    // origin names where the row came from; it travels with the row into the fields and
    // back by Edit and Add, and comes back in RowsSaved or RowsWithdrawn.
    void AddPendingRow(const QDate &date, const QString &item, TFen amount, const QString &notes,
                       qint64 origin = 0);
    // How many rows wait in the pending list.
    int PendingCount() const { return int(m_pending.size()); }

public slots:
    // Asks once, then removes every selected row of the pending list (Delete, Alt+D).
    void DeleteSelectedRows();

signals:
    // After a Save has stored the rows; origins are those of the rows that had one.
    void RowsSaved(const QList<TNewRecord> &rows, const QList<qint64> &origins);
    // The origins of rows the user removed from the pending list.
    void RowsWithdrawn(const QList<qint64> &origins);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString TypeText() const;   // "支出" or "收入"
    QString CateKey() const;    // "out" or "in"
    QStringList StepTexts() const;

    // Handlers (twin names: btnOutAddClick / btnInAddClick, ...).
    void btnAddClick();
    void btnSaveClick();
    void btnEditClick();      // takes the selected row back into the fields
    void btnHelpClick();
    void btnCalcClick();
    void btnEditCatesClick();
    void cboCateChange();     // the Add-enabling rule

    void ShowSaveSuccess();
    // Puts a trimmed item that the item list does not hold yet at its top and stores the
    // list at once under this panel's key.
    void AddToCateList(const QString &item);
    // The working copy of the item list: the drop-down's entries.
    QStringList CateEntries() const;
    void SetCateEntries(const QStringList &entries);

    QString Name(const char *kind, const char *rest) const;
    void CreateControls();
    // Takes the selected rows out of the list, in list order.
    void TakeSelectedRows(QList<qint64> *origins);
    // Accessible names and descriptions for screen readers.
    void NameControls();
    void AfterRowsChanged();
    // Writes "合计：%0.2f" with the sum of the pending records into lblTotal.
    void UpdatePendingTotal();

    ISession &m_session;
    Twin m_twin;
    // The records waiting to be saved, in list order: the rows lvwRecs shows.
    QList<TNewRecord> m_pending;
    QList<qint64> m_origins;  // of each pending row, 0 for one typed by hand
    // The origin of the row Edit put into the fields, given to the next row added.
    qint64 m_fieldsOrigin = 0;

    QLabel *lblStep[6] = {};
    QDateEdit *dtpDate = nullptr;
    QComboBox *cboCate = nullptr;
    QLineEdit *edtAmount = nullptr;
    QLineEdit *edtNotes = nullptr;
    QPushButton *btnHelp = nullptr;
    QPushButton *btnEditCates = nullptr;
    QPushButton *btnCalc = nullptr;
    QPushButton *btnAdd = nullptr;
    QTreeWidget *lvwRecs = nullptr;
    QLabel *lblTotal = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnEdit = nullptr;
    QPushButton *btnSave = nullptr;
};
