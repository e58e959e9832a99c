// Qt's own windows speak Chinese, and every window keeps the desktop habits and the look of
// its fixed layout whatever the system's language and font.
#include "DesktopSupport.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "widgets/QtDialogs.h"
#include "base/AmountInput.h"
#include "widgets/DesktopLook.h"
#include "base/StartFolder.h"
#include "login/LoginForm.h"
#include "support/TestSupport.h"

#include <QDialogButtonBox>
#include <QAbstractProxyModel>
#include <QFileSystemModel>
#include <QScreen>
#include <QStandardPaths>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

TEST(Chinese, QtOwnButtonsDialogsAndDatesAreChinese)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("x"), QStringLiteral("y"), QMessageBox::Ok);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));

    QInputDialog input;
    input.show();  // the buttons are made when it is first shown
    const auto *buttons = input.findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("取消"));

    QFileDialog files(nullptr, QStringLiteral("备份数据"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    const auto *nameLabel = files.findChild<QLabel *>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(nameLabel, nullptr);
    EXPECT_TRUE(nameLabel->text().contains(QStringLiteral("文件名"))) << nameLabel->text().toStdString();

    // Calendars and date pickers follow the default locale, whatever LANG says.
    EXPECT_EQ(QLocale().name(), QStringLiteral("zh_CN"));
    EXPECT_EQ(QLocale().dayName(1), QStringLiteral("星期一"));
}

TEST(DesktopHabits, EnterPressesTheFocusedButtonButLeavesFieldsAlone)
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *button = new QPushButton(QStringLiteral("保存(&S)"), &window);
    button->move(0, 40);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks, 2);
    // With a modifier, or typed in a field, Enter is not a click.
    QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
}

TEST(DesktopLook, PasswordsShowStarsAndFixedLayoutsKeepTheirFontUnderALargeDesktopFont)
{
    const QFont desktop = QApplication::font();
    QFont large = desktop;
    large.setPointSize(11);
    QApplication::setFont(large);
    {
        TTempLedger ledger;
        TfrmLogin form(ledger.Path());
        form.show();
        auto *password = Child<QLineEdit>(&form, "edtPassword");
        QTest::keyClicks(password, QStringLiteral("1234"));
        EXPECT_EQ(password->displayText(), QStringLiteral("****"));

        auto *step1 = Child<QLabel>(&form, "lblStep1");
        EXPECT_EQ(step1->font().pixelSize(), FixedLayoutFont().pixelSize());
        for (const QLabel *label : {step1, Child<QLabel>(&form, "lblStep2"), Child<QLabel>(&form, "lblStep3")})
            EXPECT_LT(label->geometry().right(), Child<QPushButton>(&form, "btnSubmit")->x()) << label->text().toStdString();
    }
    QApplication::setFont(desktop);
}

TEST(DesktopLook, AMessageBoxIsWideEnoughForItsCaption)
{
    const QString caption = QStringLiteral("Tallyfern - 用户名称：一个相当长的用户名称");
    int shownWidth = 0, captionWidth = 0;
    TQtDialogs qt;
    {
        TModalScript script({[&](QWidget *modal) {
            shownWidth = modal->width();
            QFont bold = modal->font();
            bold.setBold(true);
            captionWidth = QFontMetrics(bold).horizontalAdvance(caption);
            static_cast<QDialog *>(modal)->accept();
        }});
        qt.Message(nullptr, QStringLiteral("成功！"), caption, IDialogs::Icon::Information);
    }
    EXPECT_GT(shownWidth, captionWidth + 100);
}

TEST(AmountInput, FullWidthDigitsPointAndSignsBecomeHalfWidthAndNothingElseChanges)
{
    EXPECT_EQ(NarrowAmountText(QStringLiteral("１２．５")), QStringLiteral("12.5"));
    EXPECT_EQ(NarrowAmountText(QStringLiteral("\u3000＋１Ｅ２")), QStringLiteral(" +1E2"));
    EXPECT_EQ(NarrowAmountText(QStringLiteral("－０．０１")), QStringLiteral("-0.01"));
    for (const QString &other : {QStringLiteral("十二"), QStringLiteral("12。5"), QStringLiteral("ＡＢｆ"),
                                 QStringLiteral("😀 ，"), QStringLiteral("午餐 x")})
        EXPECT_EQ(NarrowAmountText(other), other) << other.toStdString();
    EXPECT_EQ(NarrowAmountText(QStringLiteral("１２元")), QStringLiteral("12元"));

    double value = 0;
    EXPECT_TRUE(THi::IsAcceptedAmount(NarrowAmountText(QStringLiteral(" １２．５０ ")), &value));
    EXPECT_DOUBLE_EQ(value, 12.5);
    EXPECT_FALSE(THi::IsAcceptedAmount(NarrowAmountText(QStringLiteral("１２元"))));
    EXPECT_FALSE(THi::IsAcceptedAmount(NarrowAmountText(QStringLiteral("０．００"))));
}

TEST(StartFolder, DocumentsOrHomeThenTheLastFolderButNeverTheProgramsFolder)
{
    THomeFolder home;
    TStartFolder folder;
    EXPECT_EQ(folder.Folder(), home.Path());
    const QString documents = home.Make(QStringLiteral("Documents"));
    EXPECT_EQ(folder.Folder(), documents);
    EXPECT_EQ(folder.Proposal(QStringLiteral("a.xls")), documents + QStringLiteral("/a.xls"));

    const QString other = home.Make(QStringLiteral("备份 2026"));
    folder.Remember(other + QStringLiteral("/x.zovalt"));
    EXPECT_EQ(folder.Folder(), other);
    EXPECT_EQ(folder.Proposal(QStringLiteral("/elsewhere/b.xls")), other + QStringLiteral("/b.xls"));
    folder.Remember(QString());
    EXPECT_EQ(folder.Folder(), other);

    folder.Remember(THi::ProgramPath() + QStringLiteral("trans.xls"));
    EXPECT_EQ(folder.Folder(), documents);
    folder.Remember(other + QStringLiteral("/gone/x.zovalt"));
    EXPECT_EQ(folder.Folder(), documents);
}

TEST(StartFolder, RealFileDialogsOpenThereAndRememberTheFolderUsed)
{
    THomeFolder home;
    const QString documents = home.Make(QStringLiteral("Documents"));
    const QString other = home.Make(QStringLiteral("old"));
    QFile(other + QStringLiteral("/family.zovalt")).open(QIODevice::WriteOnly);
    TQtDialogs qt;

    QString openedIn, caption;
    QString chosen;
    {
        TModalScript script({[&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            openedIn = dialog->directory().absolutePath();
            caption = dialog->windowTitle();
            dialog->setDirectory(other);
            dialog->selectFile(QStringLiteral("family.zovalt"));
            static_cast<QDialog *>(dialog)->accept();
        }});
        chosen = qt.OpenFileName(nullptr, QStringLiteral("从备份中恢复数据"), QStringLiteral("*.zovalt (*.zovalt)"));
    }
    EXPECT_EQ(openedIn, documents);
    EXPECT_EQ(caption, QStringLiteral("从备份中恢复数据"));
    EXPECT_EQ(chosen, other + QStringLiteral("/family.zovalt"));

    {
        TModalScript script({[&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            openedIn = dialog->directory().absolutePath();
            dialog->reject();
        }});
        EXPECT_EQ(qt.SaveFileName(nullptr, QStringLiteral("备份数据"), QStringLiteral("*.zovalt (*.zovalt)"), QString()),
                  QString());
    }
    EXPECT_EQ(openedIn, other);
}

TEST(DesktopLook, TheModeRadioButtonsSitOnWhite)
{
    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("Mum"));
    window->show();
    for (const char *name : {"rdoExpense", "rdoIncome", "rdoTransactions"}) {
        QRadioButton *r = Child<QRadioButton>(window.get(), name);
        const QImage image = r->grab().toImage();
        for (const QPoint at : {QPoint(image.width() - 2, image.height() / 2), QPoint(image.width() / 2, 1)})
            EXPECT_EQ(image.pixelColor(at), QColor(Qt::white)) << r->text().toStdString();
    }
}

// A restore refused because the user picked the ledger itself (in the hidden data folder)
// must not send the next file dialogs there: they open where the user was before.
TEST(StartFolder, AFileChosenInTheDataFolderIsNotRemembered)
{
    THomeFolder home;
    const QString other = home.Make(QStringLiteral("backups"));
    QFile(other + QStringLiteral("/family.zovalt")).open(QIODevice::WriteOnly);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Tallyfern");
    QDir().mkpath(data + QStringLiteral("/snapshots"));
    QFile(data + QStringLiteral("/db.zovalt")).open(QIODevice::WriteOnly);
    TQtDialogs qt;
    const auto choose = [](const QString &folder, const QString &name) {
        return [folder, name](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(folder);
            dialog->selectFile(name);
            static_cast<QDialog *>(dialog)->accept();
        };
    };
    {
        TModalScript script({choose(other, QStringLiteral("family.zovalt")), choose(data, QStringLiteral("db.zovalt"))});
        qt.OpenFileName(nullptr, QStringLiteral("从备份中恢复数据"), QStringLiteral("*.zovalt (*.zovalt)"));
        EXPECT_EQ(qt.OpenFileName(nullptr, QStringLiteral("从备份中恢复数据"), QStringLiteral("*.zovalt (*.zovalt)")),
                  data + QStringLiteral("/db.zovalt"));
    }
    TStartFolder folder;
    folder.Remember(data + QStringLiteral("/snapshots/db-before-restore-20261209-002900.zovalt"));
    EXPECT_EQ(folder.Folder(), home.Path());
    QString openedIn;
    {
        TModalScript script({[&](QWidget *modal) {
            openedIn = qobject_cast<QFileDialog *>(modal)->directory().absolutePath();
            static_cast<QDialog *>(modal)->reject();
        }});
        qt.SaveFileName(nullptr, QStringLiteral("备份数据"), QStringLiteral("*.zovalt (*.zovalt)"), QString());
    }
    EXPECT_EQ(openedIn, other);
}

// Qt's own file list names folders and dates files in Chinese whatever the system's
// language (the test runs under LANG=C).
TEST(Chinese, QtFileDialogsShowTypesAndDatesInChinese)
{
    THomeFolder home;
    const QString folder = home.Make(QStringLiteral("账本"));
    QDir(folder).mkdir(QStringLiteral("旧"));
    QFile(folder + QStringLiteral("/a.zovalt")).open(QIODevice::WriteOnly);
    TQtDialogs qt;
    QString type, date;
    {
        TModalScript script({[&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(folder);
            auto *proxy = dialog->proxyModel();
            ASSERT_NE(proxy, nullptr);
            auto *files = qobject_cast<QFileSystemModel *>(proxy->sourceModel());
            ASSERT_NE(files, nullptr);
            QTRY_VERIFY(files->rowCount(files->index(folder)) == 2);
            type = proxy->mapFromSource(files->index(folder + QStringLiteral("/旧"), 2)).data().toString();
            date = proxy->mapFromSource(files->index(folder + QStringLiteral("/a.zovalt"), 3)).data().toString();
            dialog->reject();
        }});
        qt.OpenFileName(nullptr, QStringLiteral("从备份中恢复数据"), QStringLiteral("*.zovalt (*.zovalt)"));
    }
    EXPECT_EQ(type, QStringLiteral("文件夹"));
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_TRUE(date.startsWith(QStringLiteral("%1/%2/").arg(now.date().year()).arg(now.date().month())) ||
                date.startsWith(QStringLiteral("%1/").arg(now.date().year())))
        << date.toStdString();
}

// Windows larger than the screen or placed past its edge are shown inside its available
// area; one that cannot shrink keeps its title bar in view.
TEST(DesktopHabits, WindowsAreShownInsideTheAvailableScreenArea)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog large;
    large.setMinimumSize(200, 150);
    large.resize(area.width() + 300, area.height() + 200);
    large.move(area.right() - 50, area.bottom() - 50);
    large.show();
    EXPECT_TRUE(area.contains(large.frameGeometry())) << large.frameGeometry().x() << "," << large.frameGeometry().y();

    QWidget fixed;
    fixed.setFixedSize(area.width() + 100, area.height() + 100);
    fixed.move(-400, -300);
    fixed.show();
    EXPECT_EQ(fixed.frameGeometry().topLeft(), area.topLeft());

    TTempLedger ledger;
    auto window = SignedInMainWindow(ledger.Path(), QStringLiteral("Mum"));
    window->move(area.right() - 100, area.bottom() - 100);
    window->show();
    EXPECT_TRUE(area.contains(window->frameGeometry()));
}
