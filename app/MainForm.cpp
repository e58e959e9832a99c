#include "app/MainForm.h"
#include "app/CommandLine.h"
#include "widgets/FlatButtons.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "base/HiClass.h"
#include "widgets/ListView.h"
#include "app/SkinClass.h"
#include "browse/TransPanel.h"
#include "budget/BudgetForm.h"
#include "budget/BudgetWarning.h"
#include "family/FamilyForm.h"
#include "entry/EntryPanel.h"
#include "import/ImportCommands.h"
#include "login/LoginForm.h"
#include "login/LoginPrep.h"
#include "recurring/RecurringForm.h"
#include "recurring/RecurringOffers.h"
#include "store/DbClass.h"
#include "backup/AutoBackupScheduler.h"
#include "backup/BackupForms.h"
#include "backup/EncryptedBackup.h"
#include "base/DeliveredFiles.h"

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeWidget>

namespace {

QPixmap DrawMenuButton(bool raised)
{
    QPixmap pm(38, 13);
    pm.fill(Qt::white);
    QPainter p(&pm);
    const QColor light(255, 255, 255), shade(128, 128, 128), face(236, 233, 216);
    p.fillRect(0, 0, 38, 13, raised ? face : QColor(214, 210, 194));
    p.setPen(raised ? light : shade);
    p.drawLine(0, 0, 37, 0);
    p.drawLine(0, 0, 0, 12);
    p.setPen(raised ? shade : light);
    p.drawLine(0, 12, 37, 12);
    p.drawLine(37, 0, 37, 12);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(QColor(0, 0, 128));
    const int shift = raised ? 0 : 1;
    p.drawText(QRect(2 + shift, shift, 26, 13), Qt::AlignCenter, QStringLiteral("菜单"));
    // A small arrow pointing down.
    p.setBrush(QColor(0, 0, 128));
    p.setPen(Qt::NoPen);
    const QPoint tri[3] = {QPoint(29 + shift, 5 + shift), QPoint(35 + shift, 5 + shift),
                           QPoint(32 + shift, 8 + shift)};
    p.drawPolygon(tri, 3);
    return pm;
}

QWidget *MakeStrip(QWidget *parent, const char *name, const QRect &rect, const QColor &color)
{
    auto *w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(rect);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    return w;
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    // The frame is painted by the skin.
    setWindowFlag(Qt::FramelessWindowHint);
    CreateControls();
    CreateMenu();
    CreateMenuKeys();
    NameControls();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateControls()
{
    setFixedSize(706, 521);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(12);
    setFont(tahoma);

    pnlLeft = MakeStrip(this, "pnlLeft", QRect(0, 31, 5, 485), QColor(0, 84, 227));
    pnlTop = MakeStrip(this, "pnlTop", QRect(0, 0, 706, 31), QColor(0, 84, 227));
    pnlRight = MakeStrip(this, "pnlRight", QRect(701, 31, 5, 485), QColor(0, 84, 227));
    pnlBottom = MakeStrip(this, "pnlBottom", QRect(0, 516, 706, 5), QColor(0, 84, 227));
    const std::pair<QWidget *, QLabel **> images[] = {
        {pnlLeft, &imgLeft}, {pnlTop, &imgTop}, {pnlRight, &imgRight}, {pnlBottom, &imgBottom}};
    const char *imageNames[] = {"imgLeft", "imgTop", "imgRight", "imgBottom"};
    for (int i = 0; i < 4; ++i) {
        QLabel *img = new QLabel(images[i].first);
        img->setObjectName(QString::fromLatin1(imageNames[i]));
        img->setGeometry(0, 0, images[i].first->width(), images[i].first->height());
        img->setScaledContents(false);
        *images[i].second = img;
    }

    pnlCenter = MakeStrip(this, "pnlCenter", QRect(5, 31, 696, 485), QColor(236, 233, 216));
    pnlControl = new QWidget(pnlCenter);
    pnlControl->setObjectName(QStringLiteral("pnlControl"));
    pnlControl->setGeometry(0, 0, 696, 38);
    MakeStrip(pnlControl, "shpTop1", QRect(0, 0, 696, 36), Qt::white);
    MakeStrip(pnlControl, "shpTop2", QRect(0, 36, 696, 1), QColor(192, 192, 192));
    MakeStrip(pnlControl, "shpTop3", QRect(0, 37, 696, 1), Qt::white);

    QFont bold = font();
    bold.setBold(true);
    const struct {
        QRadioButton **member;
        const char *name;
        QString caption;
        int x;
    } modes[] = {{&rdoExpense, "rdoExpense", QStringLiteral("支出记帐"), 12},
                 {&rdoIncome, "rdoIncome", QStringLiteral("收入记帐"), 101},
                 {&rdoTransactions, "rdoTransactions", QStringLiteral("收支目录"), 192}};
    for (const auto &m : modes) {
        auto *r = new QRadioButton(m.caption, pnlControl);
        r->setObjectName(QString::fromLatin1(m.name));
        r->setGeometry(m.x, 10, 80, 17);
        r->setFont(bold);
        r->setAutoFillBackground(true);
        // Buttons fill with their Button colour, which would leave a grey patch on the bar.
        r->setBackgroundRole(QPalette::Window);
        QPalette pal = r->palette();
        pal.setColor(QPalette::Window, Qt::white);
        r->setPalette(pal);
        connect(r, &QRadioButton::toggled, this, [this](bool) { rdoExpenseClick(); });
        *m.member = r;
    }
    setTabOrder(rdoExpense, rdoIncome);
    setTabOrder(rdoIncome, rdoTransactions);

    imgMenuUp = DrawMenuButton(true);
    imgMenuDown = DrawMenuButton(false);
    imgMenu = new QLabel(pnlControl);
    imgMenu->setObjectName(QStringLiteral("imgMenu"));
    imgMenu->setGeometry(644, 12, 38, 13);
    imgMenu->setCursor(Qt::PointingHandCursor);
    imgMenu->installEventFilter(this);

    pnlExpense = new TEntryPanel(*this, TEntryPanel::Twin::Out, pnlCenter);
    pnlIncome = new TEntryPanel(*this, TEntryPanel::Twin::In, pnlCenter);
    pnlTransactions = new TTransPanel(*this, pnlCenter);
    for (QWidget *panel : {static_cast<QWidget *>(pnlExpense), static_cast<QWidget *>(pnlIncome),
                           static_cast<QWidget *>(pnlTransactions)}) {
        panel->setGeometry(0, 38, 696, 445);
        panel->hide();
    }

    connect(pnlExpense, &TEntryPanel::RowsSaved, this, [this](const QList<TNewRecord> &rows) {
        RunGuarded(this, [&] { WarnOverBudget(*this, rows); });
    });
    RecurringOffers = new TRecurringOffers(*this, pnlExpense, pnlIncome, this);
}

void TfrmMain::AddPlanMenu()
{
    mnuMenu_Budget = mnuMenu->addAction(QStringLiteral("月度预算..."));
    mnuMenu_Budget->setObjectName(QStringLiteral("mnuMenu_Budget"));
    mnuMenu_Recurring = mnuMenu->addAction(QStringLiteral("定期收支..."));
    mnuMenu_Recurring->setObjectName(QStringLiteral("mnuMenu_Recurring"));
    connect(mnuMenu_Budget, &QAction::triggered, this, Guarded(this, [this] { TfrmBudget(*this, this).exec(); }));
    connect(mnuMenu_Recurring, &QAction::triggered, this,
            Guarded(this, [this] { TfrmRecurring(*this, this).exec(); }));
}

void TfrmMain::CreateMenu()
{
    mnuMenu = new QMenu(this);
    mnuMenu->setObjectName(QStringLiteral("mnuMenu"));
    mnuMenu_SwitchUser = mnuMenu->addAction(QStringLiteral("切换用户"));
    mnuMenu_SwitchUser->setObjectName(QStringLiteral("mnuMenu_SwitchUser"));
    QFont bold = mnuMenu_SwitchUser->font();
    bold.setBold(true);
    mnuMenu_SwitchUser->setFont(bold);
    mnuMenu->setDefaultAction(mnuMenu_SwitchUser);
    mnuMenu->addSeparator();
    mnuMenu_SetPwd = mnuMenu->addAction(QStringLiteral("修改密码"));
    mnuMenu_SetPwd->setObjectName(QStringLiteral("mnuMenu_SetPwd"));
    mnuMenu_DeleteUser = mnuMenu->addAction(QStringLiteral("删除 %1").arg(QString()));
    mnuMenu_DeleteUser->setObjectName(QStringLiteral("mnuMenu_DeleteUser"));
    mnuMenu->addSeparator();
    mnuMenu_Backup = mnuMenu->addAction(QStringLiteral("备份数据"));
    mnuMenu_Backup->setObjectName(QStringLiteral("mnuMenu_Backup"));
    mnuMenu_Restore = mnuMenu->addAction(QStringLiteral("从备份中恢复数据"));
    mnuMenu_Restore->setObjectName(QStringLiteral("mnuMenu_Restore"));
    mnuMenu_AutoBackup = mnuMenu->addAction(QStringLiteral("自动备份..."));
    mnuMenu_AutoBackup->setObjectName(QStringLiteral("mnuMenu_AutoBackup"));
    // Imported items join the stored lists; the drop-downs are their working copies.
    AddImportCommands(mnuMenu, *this, [this] {
        for (TEntryPanel *panel : {pnlExpense, pnlIncome})
            panel->ReloadCates();
    });
    AddPlanMenu();
    QAction *mnuMenu_Family = mnuMenu->addAction(QStringLiteral("家庭汇总..."));
    mnuMenu_Family->setObjectName(QStringLiteral("mnuMenu_Family"));
    connect(mnuMenu_Family, &QAction::triggered, this, Guarded(this, [this] { TfrmFamily(*this, this).exec(); }));
    mnuMenu->addSeparator();
    mnuMenu_Exit = mnuMenu->addAction(QStringLiteral("退出"));
    mnuMenu_Exit->setObjectName(QStringLiteral("mnuMenu_Exit"));

    connect(mnuMenu_SwitchUser, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_SwitchUserClick(); }));
    connect(mnuMenu_Exit, &QAction::triggered, this, [this] { mnuMenu_ExitClick(); });
    connect(mnuMenu_SetPwd, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_SetPwdClick(); }));
    connect(mnuMenu_DeleteUser, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_DeleteUserClick(); }));
    connect(mnuMenu_Backup, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_BackupClick(); }));
    connect(mnuMenu_Restore, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_RestoreClick(); }));
    connect(mnuMenu_AutoBackup, &QAction::triggered, this, Guarded(this, [this] { mnuMenu_AutoBackupClick(); }));
}

void TfrmMain::CreateMenuKeys()
{
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this] { OpenMenuByKeyboard(); });
    }
    // The browsing panel has "更多(&M)..." and "详情(&M)".
    m_altM = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_M), this);
    connect(m_altM, &QShortcut::activated, this, [this] { OpenMenuByKeyboard(); });
}

void TfrmMain::NameControls()
{
    const struct {
        QWidget *control;
        const char *name;
        const char *description;
    } named[] = {
        {imgMenu, "菜单", "打开主菜单（F10）"},
        {rdoExpense, "支出记帐", "记录支出"},
        {rdoIncome, "收入记帐", "记录收入"},
        {rdoTransactions, "收支目录", "查看收支记录、统计与图表"},
    };
    for (const auto &n : named) {
        n.control->setAccessibleName(QString::fromUtf8(n.name));
        n.control->setAccessibleDescription(QString::fromUtf8(n.description));
    }
    mnuMenu->setAccessibleName(QStringLiteral("主菜单"));
}

void TfrmMain::OpenMenuByKeyboard()
{
    if (!isVisible() || mnuMenu->isVisible())
        return;
    mnuMenu->popup(imgMenu->mapToGlobal(QPoint(0, imgMenu->height())));
    for (QAction *action : mnuMenu->actions())
        if (!action->isSeparator() && action->isVisible() && action->isEnabled()) {
            mnuMenu->setActiveAction(action);
            break;
        }
}

TDbMan &TfrmMain::SessionDb()
{
    if (!m_sessionDb)
        throw TError(QStringLiteral("尚未登陆"));
    return *m_sessionDb;
}

TLoginResult TfrmMain::RunLogin()
{
    if (LoginRunner)
        return LoginRunner();
    QString restoreFailure, snapshot;
    const QString dbFile = PrepareLedgerFile(CommandLineRestoreFile(), &restoreFailure, &snapshot);
    // A copy decrypted for a restore has served its purpose once the restore is over.
    RemoveDecryptedCopies(dbFile);
    // A ledger that fails the check at start is offered its newest sound automatic backup.
    if (snapshot.isEmpty()) {
        switch (OfferAutoBackupForDamagedLedger(dbFile, ProtectedFolders(), &snapshot)) {
        case TDamagedLedgerOffer::Declined:
            return {};
        case TDamagedLedgerOffer::Restored:
        case TDamagedLedgerOffer::NothingOffered:
            break;
        }
    }
    if (!restoreFailure.isEmpty())
        ShowErrorBox(restoreFailure);
    else if (!snapshot.isEmpty())
        Dialogs().Message(nullptr, RestoredMessage(snapshot), QStringLiteral("从备份中恢复数据"),
                          IDialogs::Icon::Information);
    TfrmLogin login(dbFile);
    if (login.exec() == QDialog::Accepted)
        return {login.DbFileName(), login.UserName()};
    return {};
}

bool TfrmMain::FormCreate()
{
    SetApplicationTitle(QStringLiteral("Tallyfern"));
    setWindowTitle(QStringLiteral("Tallyfern"));

    const TLoginResult login = RunLogin();
    m_dbFileName = login.dbFileName;
    m_sessionUser = login.userName;
    if (m_sessionUser.isEmpty() || !QFileInfo::exists(m_dbFileName))
        return false;

    m_sessionDb = std::make_unique<TDbMan>(m_dbFileName);
    StartAutoBackups();
    const QString title = QStringLiteral("%1 - 用户名称：%2").arg(QStringLiteral("Tallyfern"), m_sessionUser);
    SetApplicationTitle(title);
    setWindowTitle(title);
    mnuMenu_DeleteUser->setText(QStringLiteral("删除 %1").arg(m_sessionUser));

    rdoExpense->setChecked(true);
    rdoExpenseClick();

    pnlExpense->StartUp();
    pnlIncome->StartUp();
    pnlTransactions->StartUp();
    UpdateCommandStates();
    ShowMenuImage(true);
    m_skin = std::make_unique<TSkinManEx>(imgLeft, imgTop, imgRight, imgBottom, pnlCenter, QStringLiteral("G"));
    FlattenButtons(this);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // A failure here must not end the sign-in: the records can still be typed by hand.
    RunGuarded(this, [this] { RecurringOffers->OfferDue(QDate::currentDate()); });
    return true;
}

void TfrmMain::rdoExpenseClick()
{
    pnlExpense->setVisible(rdoExpense->isChecked());
    pnlIncome->setVisible(rdoIncome->isChecked());
    pnlTransactions->setVisible(rdoTransactions->isChecked());
    if (m_altM)
        m_altM->setEnabled(!rdoTransactions->isChecked());
}

void TfrmMain::UpdateCommandStates()
{
    pnlExpense->UpdateCommandStates();
    pnlIncome->UpdateCommandStates();
    pnlTransactions->UpdateCommandStates();
}

void TfrmMain::SetBusy(bool busy, QWidget *control)
{
    if (busy) {
        if (control)
            control->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyDepth;
    } else {
        if (control)
            control->setEnabled(true);
        if (m_busyDepth > 0) {
            --m_busyDepth;
            QApplication::restoreOverrideCursor();
        }
    }
}

void TfrmMain::ShowMenuImage(bool raised)
{
    imgMenu->setPixmap(raised ? imgMenuUp : imgMenuDown);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgMenu) {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            ShowMenuImage(false);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            ShowMenuImage(true);
            mnuMenu->popup(QCursor::pos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmMain::StartSuccessor(const QString &argument)
{
    const bool started = SuccessorStarter
                             ? SuccessorStarter(argument)
                             : THi::RunProgram(QCoreApplication::applicationFilePath(), argument);
    m_successorStarted = started;
    if (!started)
        Dialogs().Message(this, QStringLiteral("无法启动新的程序实例，当前窗口保持打开。"),
                          QStringLiteral("Tallyfern"), IDialogs::Icon::Error);
    return started;
}

void TfrmMain::mnuMenu_SwitchUserClick()
{
    if (!Confirm(this, QStringLiteral("您真的想要切换用户吗？")) || !MayLeavePendingRows())
        return;
    // Nothing has changed yet, so a successor that cannot start leaves this window open.
    if (StartSuccessor(QStringLiteral("none")))
        close();
}

void TfrmMain::mnuMenu_ExitClick()
{
    close();
}

bool TfrmMain::MayLeavePendingRows()
{
    const int pending = pnlExpense->PendingCount() + pnlIncome->PendingCount();
    return pending == 0 ||
           Dialogs().Question(this, QStringLiteral("待保存列表中还有 %1 条记录没有保存，确实要退出吗？").arg(pending),
                              QStringLiteral("确认"), IDialogs::Answer::No);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!m_successorStarted && !MayLeavePendingRows()) {
        event->ignore();
        return;
    }
    // A day with saves gets its automatic copy before the window goes.
    if (m_autoBackups) {
        TBusyScope busy(*this, nullptr);
        m_autoBackups->AtExit();
    }
    QWidget::closeEvent(event);
}
