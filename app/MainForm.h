#pragma once
#include "widgets/Session.h"

#include <QDateTime>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractItemView;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;
class QShortcut;
class QTreeWidget;
class TDbMan;
class TSkinManEx;
class TEntryPanel;
class TTransPanel;
class TRecurringOffers;
class TAutoBackupScheduler;
class QCloseEvent;

// Result of the sign-in: the ledger file and the user's stored name (both empty when the
// sign-in was abandoned).
struct TLoginResult {
    QString dbFileName;
    QString userName;
};

// What the program says after a restore: where the ledger it replaced was kept.
QString RestoredMessage(const QString &snapshot);

// The main window: the mode bar, the three mode panels and the menu.
class TfrmMain : public QWidget, public ISession {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // How the window signs the user in; the default shows the login dialog. Tests put a
    // runner of their own here before FormCreate.
    std::function<TLoginResult()> LoginRunner;
    // How the successor instance is started (switch user, delete user, restore); the
    // default starts this executable detached. Returns false when it could not start.
    std::function<bool(const QString &argument)> SuccessorStarter;
    // The time of day the automatic backups go by; the default is the system clock. Tests
    // put a simulated one here before FormCreate.
    std::function<QDateTime()> AutoBackupClock;
    // The automatic backups of the signed-in ledger (null before sign-in).
    TAutoBackupScheduler *AutoBackups() const { return m_autoBackups; }

    // Signs in and prepares the window. Returns false when the sign-in was abandoned;
    // the program then ends silently. Database errors propagate to the caller.
    bool FormCreate();

    // ISession
    QString SessionUser() const override { return m_sessionUser; }
    TDbMan &SessionDb() override;
    QString DbFileName() const override { return m_dbFileName; }
    void UpdateCommandStates() override;
    void SetBusy(bool busy, QWidget *control) override;
    QWidget *Window() override { return this; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Asks before pending rows are lost, unless a successor instance has taken over.
    void closeEvent(QCloseEvent *event) override;

private:
    TLoginResult RunLogin();
    void ShowMenuImage(bool raised);
    // Opens the main menu below the "菜单" image with its first entry highlighted (F10,
    // the Menu key, Alt+M).
    void OpenMenuByKeyboard();
    void rdoExpenseClick();
    void mnuMenu_SwitchUserClick();
    void mnuMenu_ExitClick();
    // Data maintenance commands (Maintenance.cpp).
    void mnuMenu_SetPwdClick();
    void mnuMenu_DeleteUserClick();
    void mnuMenu_BackupClick();
    void mnuMenu_RestoreClick();
    void mnuMenu_AutoBackupClick();
    // The file the user wants to restore from: a backup chosen in the chooser or the file
    // dialog; empty when cancelled.
    QString ChooseRestoreSource();
    // Starts automatic backups of the signed-in ledger.
    void StartAutoBackups();
    // Starts the successor instance with argument and reports a failure to start it.
    bool StartSuccessor(const QString &argument);
    // With rows in the pending lists, asks whether to leave them unsaved (default No).
    bool MayLeavePendingRows();
    bool m_successorStarted = false;

    // Controls (object names equal these member names; tests find them by name).
    QWidget *pnlLeft = nullptr, *pnlTop = nullptr, *pnlRight = nullptr, *pnlBottom = nullptr;
    QLabel *imgLeft = nullptr, *imgTop = nullptr, *imgRight = nullptr, *imgBottom = nullptr;
    QWidget *pnlCenter = nullptr;
    QWidget *pnlControl = nullptr;
    QRadioButton *rdoExpense = nullptr, *rdoIncome = nullptr, *rdoTransactions = nullptr;
    QLabel *imgMenu = nullptr;
    QPixmap imgMenuUp, imgMenuDown;
    QMenu *mnuMenu = nullptr;
    QAction *mnuMenu_SwitchUser = nullptr, *mnuMenu_SetPwd = nullptr, *mnuMenu_DeleteUser = nullptr,
            *mnuMenu_Backup = nullptr, *mnuMenu_Restore = nullptr, *mnuMenu_Exit = nullptr;
    QAction *mnuMenu_AutoBackup = nullptr;
    QAction *mnuMenu_Budget = nullptr, *mnuMenu_Recurring = nullptr;
    // Alt+M opens the menu only where no visible control uses the mnemonic M.
    QShortcut *m_altM = nullptr;
    // The recurring records put into the pending lists at sign-in.
    TRecurringOffers *RecurringOffers = nullptr;
    TEntryPanel *pnlExpense = nullptr;
    TEntryPanel *pnlIncome = nullptr;
    TTransPanel *pnlTransactions = nullptr;

    void CreateControls();
    void CreateMenu();
    void CreateMenuKeys();
    void NameControls();
    void AddPlanMenu();

    QString m_sessionUser;
    QString m_dbFileName;
    std::unique_ptr<TDbMan> m_sessionDb;
    std::unique_ptr<TSkinManEx> m_skin;
    int m_busyDepth = 0;
    TAutoBackupScheduler *m_autoBackups = nullptr;
};
