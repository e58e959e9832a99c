#include "login/LoginForm.h"
#include "widgets/BusyCursor.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "base/HiClass.h"
#include "widgets/DesktopLook.h"
#include "store/DbClass.h"

#include <QApplication>
#include <QScopeGuard>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}
} // namespace

TfrmLogin::TfrmLogin(const QString &dbFileName, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dbFileName(dbFileName)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Tallyfern - 登陆"));
    setFixedSize(367, 205);
    UseFixedLayoutFont(this);

    bvlRect = new QFrame(this);
    bvlRect->setObjectName(QStringLiteral("bvlRect"));
    bvlRect->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bvlRect->setGeometry(8, 8, 350, 180);
    lblStep1 = MakeLabel(this, "lblStep1", QStringLiteral("⑴ 请自行输入一个新的用户名称，如：宝贝。"), 18, 20);
    lblStep2 = MakeLabel(this, "lblStep2", QStringLiteral("⑵ 再输入一个新的用户密码，如：1234。"), 18, 39);
    lblStep3 = MakeLabel(this, "lblStep3", QStringLiteral("⑶ 然后，请您用鼠标左键单击登陆按钮即可。"), 18, 59);
    lblUsername = MakeLabel(this, "lblUsername", QStringLiteral("用户名称："), 18, 125);
    lblPassword = MakeLabel(this, "lblPassword", QStringLiteral("用户密码："), 18, 156);

    cboUsername = new QComboBox(this);
    cboUsername->setObjectName(QStringLiteral("cboUsername"));
    cboUsername->setEditable(true);
    cboUsername->setCompleter(nullptr);
    cboUsername->setInsertPolicy(QComboBox::NoInsert);
    cboUsername->setGeometry(82, 121, 265, 21);
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setGeometry(82, 152, 265, 21);
    // The captions name the fields for a screen reader.
    lblUsername->setBuddy(cboUsername);
    lblPassword->setBuddy(edtPassword);

    btnSubmit = new QPushButton(QStringLiteral("登陆(&S)"), this);
    btnSubmit->setObjectName(QStringLiteral("btnSubmit"));
    btnSubmit->setGeometry(273, 20, 74, 23);
    btnSubmit->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(273, 49, 74, 23);
    btnCancel->setAutoDefault(false);

    setTabOrder(cboUsername, edtPassword);
    setTabOrder(edtPassword, btnSubmit);
    setTabOrder(btnSubmit, btnCancel);

    connect(cboUsername, &QComboBox::editTextChanged, this, [this] { UpdateSubmitState(); });
    connect(edtPassword, &QLineEdit::textChanged, this, [this] { UpdateSubmitState(); });
    connect(btnSubmit, &QPushButton::clicked, this, Guarded(this, [this] { btnSubmitClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    cboUsername->installEventFilter(this);
    cboUsername->lineEdit()->installEventFilter(this);
    edtPassword->installEventFilter(this);

    FormCreate();
}

TfrmLogin::~TfrmLogin() = default;

void TfrmLogin::FormCreate()
{
    m_userName.clear();
    m_db = std::make_unique<TDbMan>(m_dbFileName);
    const QString users = m_db->GetUsers();
    if (!users.isEmpty())
        cboUsername->addItems(users.split(QStringLiteral("\r\n")));
    if (cboUsername->count() > 0)
        cboUsername->setCurrentIndex(0);
    else
        cboUsername->setEditText(QString());
    UpdateSubmitState();
}

void TfrmLogin::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    activateWindow();
    raise();
    if (!THi::Trim(cboUsername->currentText()).isEmpty())
        edtPassword->setFocus();
    else
        cboUsername->setFocus();
}

bool TfrmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == edtPassword) {
                RunGuarded(this, [this] { btnSubmitClick(); });
                return true;
            }
            if (watched == cboUsername || watched == cboUsername->lineEdit()) {
                edtPassword->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmLogin::UpdateSubmitState()
{
    btnSubmit->setEnabled(!THi::Trim(cboUsername->currentText()).isEmpty() &&
                          !THi::Trim(edtPassword->text()).isEmpty());
}

QString TfrmLogin::FindStoredName(const QString &name)
{
    const QString wanted = THi::AsciiLower(name);
    const QStringList users = m_db->GetUsers().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString &user : users) {
        const QString stored = THi::Trim(user);
        if (THi::AsciiLower(stored) == wanted)
            return stored;
    }
    return QString();
}

void TfrmLogin::btnSubmitClick()
{
    if (!btnSubmit->isEnabled())
        return;
    // Declared first, so the focus returns after the busy cursor has gone.
    const auto refocus = qScopeGuard([this] { btnSubmit->setFocus(); });
    const TCursorScope busy(Qt::WaitCursor, btnSubmit);

    QString name = THi::Trim(cboUsername->currentText());
    const QString stored = FindStoredName(name);
    if (!stored.isEmpty())
        name = stored;
    const QString password = THi::Trim(edtPassword->text());

    if (m_db->UserExists(name)) {
        if (m_db->CheckUser(name, password)) {
            // Stored anew as the newest row, so the user is listed first next time.
            m_db->ReplaceUser(name, password);
            m_userName = name;
            accept();
        } else {
            Dialogs().Message(this, QStringLiteral("错误：无效的密码。"), QStringLiteral("错误"),
                              IDialogs::Icon::Error);
        }
        return;
    }
    const QString question =
        QStringLiteral("您想要创建一个新的用户名称和一个新的用户密码吗？\r\n\r\n") +
        QStringLiteral("- 用户名称：%1").arg(name) + QStringLiteral("\r\n") +
        QStringLiteral("- 用户密码：%1").arg(password);
    if (Confirm(this, question)) {
        m_db->AddUser(name, password);
        m_userName = name;
        accept();
    }
}

void TfrmLogin::btnCancelClick()
{
    m_userName.clear();
    QDialog::reject();
}

void TfrmLogin::reject()
{
    btnCancelClick();
}
