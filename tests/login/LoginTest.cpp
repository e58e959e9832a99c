#include "base/Errors.h"
#include "login/LoginForm.h"
#include "login/LoginPrep.h"
#include "store/DbClass.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// Points the per-user data folder at a fresh temporary folder for one test.
class TFreshDataHome {
public:
    TFreshDataHome() : m_old(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
    }
    ~TFreshDataHome() { qputenv("XDG_DATA_HOME", m_old); }
    QString Folder() const { return m_dir.path() + QStringLiteral("/Tallyfern"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

QComboBox *NameField(const TfrmLogin &form)
{
    return Child<QComboBox>(&form, "cboUsername");
}
QLineEdit *PasswordField(const TfrmLogin &form)
{
    return Child<QLineEdit>(&form, "edtPassword");
}
QPushButton *SubmitButton(const TfrmLogin &form)
{
    return Child<QPushButton>(&form, "btnSubmit");
}

void Type(TfrmLogin &form, const QString &name, const QString &password)
{
    NameField(form)->setEditText(name);
    PasswordField(form)->setText(password);
}
} // namespace

TEST(Login, FirstRunCreatesTheFolderAndLedgerFromTheTemplate)
{
    TFreshDataHome home;
    const QString db = PrepareLedgerFile(QString());
    EXPECT_EQ(db, home.Folder() + QStringLiteral("/db.zovalt"));
    EXPECT_TRUE(QFileInfo(db).isFile());
    EXPECT_EQ(QFile::permissions(home.Folder()) & 0x0077, 0);
    EXPECT_EQ(QFile::permissions(db) & 0x0077, 0);

    TfrmLogin form(db);
    EXPECT_EQ(NameField(form)->count(), 0);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tallyfern - 登陆"));
    EXPECT_FALSE(SubmitButton(form)->isEnabled());
    Type(form, QStringLiteral("  "), QStringLiteral("1234"));
    EXPECT_FALSE(SubmitButton(form)->isEnabled());
    Type(form, QStringLiteral("宝贝"), QStringLiteral("   "));
    EXPECT_FALSE(SubmitButton(form)->isEnabled());
    Type(form, QStringLiteral("宝贝"), QStringLiteral(" 1 "));
    EXPECT_TRUE(SubmitButton(form)->isEnabled());
}

TEST(Login, ReadOnlyLedgerIsMadeWritable)
{
    TFreshDataHome home;
    const QString db = PrepareLedgerFile(QString());
    QFile::setPermissions(db, QFileDevice::ReadOwner);
    PrepareLedgerFile(QString());
    EXPECT_TRUE(QFile::permissions(db) & QFileDevice::WriteOwner);
}

TEST(Login, NewAccountOnlyAfterYes)
{
    TTempLedger ledger;
    TfrmLogin form(ledger.Path());
    auto &dlg = Scripted();
    Type(form, QStringLiteral(" Mum "), QStringLiteral(" 1234 "));
    dlg.answers.enqueue(false);
    SubmitButton(form)->click();
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_EQ(dlg.calls[0].caption, QStringLiteral("确认"));
    EXPECT_EQ(dlg.calls[0].text,
              QStringLiteral("您想要创建一个新的用户名称和一个新的用户密码吗？\r\n\r\n- 用户名称：Mum\r\n- 用户密码：1234"));
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(TDbMan(ledger.Path()).GetUsers(), QString());
    EXPECT_EQ(NameField(form)->currentText(), QStringLiteral(" Mum "));
    EXPECT_TRUE(SubmitButton(form)->isEnabled());

    dlg.answers.enqueue(true);
    SubmitButton(form)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.UserName(), QStringLiteral("Mum"));
    EXPECT_TRUE(TDbMan(ledger.Path()).CheckUser(QStringLiteral("Mum"), QStringLiteral("1234")));
}

TEST(Login, WrongPasswordKeepsTheDialogOpen)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Dad"), QStringLiteral("secret"));
    TfrmLogin form(ledger.Path());
    auto &dlg = Scripted();
    EXPECT_EQ(NameField(form)->currentText(), QStringLiteral("Dad"));
    PasswordField(form)->setText(QStringLiteral("wrong"));
    for (int i = 0; i < 2; ++i) {
        SubmitButton(form)->click();
        ASSERT_EQ(dlg.calls.size(), i + 1);
        EXPECT_EQ(dlg.calls[i].text, QStringLiteral("错误：无效的密码。"));
        EXPECT_EQ(dlg.calls[i].caption, QStringLiteral("错误"));
        EXPECT_EQ(dlg.calls[i].icon, IDialogs::Icon::Error);
    }
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(PasswordField(form)->text(), QStringLiteral("wrong"));
    EXPECT_TRUE(TDbMan(ledger.Path()).UserExists(QStringLiteral("Dad")));
}

TEST(Login, CaseFoldedNameSignsInUnderTheStoredFormAndMovesToTheTop)
{
    TTempLedger ledger;
    {
        TDbMan db(ledger.Path());
        db.AddUser(QStringLiteral("Anna"), QStringLiteral("1"));
        db.AddUser(QStringLiteral("Bob"), QStringLiteral("2"));
    }
    TfrmLogin form(ledger.Path());
    EXPECT_EQ(NameField(form)->itemText(0), QStringLiteral("Bob"));
    Type(form, QStringLiteral("ANNA"), QStringLiteral("1"));
    Scripted();
    SubmitButton(form)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.UserName(), QStringLiteral("Anna"));
    EXPECT_EQ(TDbMan(ledger.Path()).GetUsers(), QStringLiteral("Anna\r\nBob"));

    TfrmLogin lower(ledger.Path());
    Type(lower, QStringLiteral("anna"), QStringLiteral("1"));
    SubmitButton(lower)->click();
    EXPECT_EQ(lower.UserName(), QStringLiteral("Anna"));

    // Only ASCII letters fold: any other letter must match exactly, so this is a new name.
    TfrmLogin accented(ledger.Path());
    auto &dlg = Scripted();
    dlg.answers.enqueue(false);
    Type(accented, QStringLiteral("ánna"), QStringLiteral("1"));
    SubmitButton(accented)->click();
    ASSERT_EQ(dlg.calls.size(), 1);
    EXPECT_TRUE(dlg.calls[0].text.contains(QStringLiteral("用户名称：ánna"))) << dlg.calls[0].text.toStdString();
    EXPECT_EQ(accented.UserName(), QString());
}

TEST(Login, EnterKeysAndCancel)
{
    TTempLedger ledger;
    TDbMan(ledger.Path()).AddUser(QStringLiteral("Dad"), QStringLiteral("pw"));
    TfrmLogin form(ledger.Path());
    form.show();
    QApplication::setActiveWindow(&form);
    Scripted();
    NameField(form)->setFocus();
    QTest::keyClick(NameField(form)->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(PasswordField(form)->hasFocus());
    QTest::keyClicks(PasswordField(form), QStringLiteral("pw"));
    QTest::keyClick(PasswordField(form), Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);

    TfrmLogin other(ledger.Path());
    other.show();
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_EQ(other.UserName(), QString());
}

TEST(Login, MissingTemplateOrFolderIsReportedPlainly)
{
    TFreshDataHome home;
    // A file where the per-user folder should be: the folder cannot be created.
    QFile blocker(home.Folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(PrepareLedgerFile(QString()), TError);
}
