#include "widgets/Dialogs.h"
#include "base/Errors.h"
#include "base/DeliveredFiles.h"
#include "widgets/QtDialogs.h"
#include "widgets/DesktopLook.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
IDialogs *g_dialogs = nullptr;

QMessageBox::Icon ToQt(IDialogs::Icon icon)
{
    switch (icon) {
    case IDialogs::Icon::Information:
        return QMessageBox::Information;
    case IDialogs::Icon::Warning:
        return QMessageBox::Warning;
    case IDialogs::Icon::Error:
        return QMessageBox::Critical;
    case IDialogs::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

IDialogs &Dialogs()
{
    if (!g_dialogs) {
        static TQtDialogs fallback;
        g_dialogs = &fallback;
    }
    return *g_dialogs;
}

void SetDialogs(IDialogs *dialogs)
{
    g_dialogs = dialogs;
}

static QString g_title = QStringLiteral("Tallyfern");

QString ApplicationTitle()
{
    return g_title;
}

void SetApplicationTitle(const QString &title)
{
    g_title = title;
}

void ShowErrorBox(const QString &message, QWidget *owner)
{
    Dialogs().Message(owner, ErrorBoxText(message), ApplicationTitle(), IDialogs::Icon::Error);
}

namespace {

// The save dialog opens with the name of its last use.
QString &LastFileName()
{
    static QString name;
    return name;
}

} // namespace

QString ChooseExportTarget(QWidget *owner, const QString &ext)
{
    const QString pattern = QLatin1Char('*') + ext;
    const QString chosen = Dialogs().SaveFileName(owner, QStringLiteral("另存为"),
                                                  QStringLiteral("%1 (%1)").arg(pattern), LastFileName());
    if (chosen.isEmpty())
        return QString();
    LastFileName() = chosen;
    const QString target = QFileInfo(chosen).fileName().toLower().endsWith(ext) ? chosen : chosen + ext;
    CheckNotProtected(target);
    CheckPlainFileName(target);
    if (target == chosen)
        return chosen;
    if (QFileInfo::exists(target) &&
        !Confirm(owner, QStringLiteral("%1 已存在。\r\n要替换它吗？").arg(QDir::toNativeSeparators(target))))
        return QString();
    return target;
}

bool Confirm(QWidget *owner, const QString &text)
{
    return Dialogs().Question(owner, text, QStringLiteral("确认"));
}

bool ConfirmDestructive(QWidget *owner, const QString &text)
{
    return Dialogs().DestructiveQuestion(owner, text, QStringLiteral("确认"));
}

void TQtDialogs::Message(QWidget *owner, const QString &text, const QString &caption, Icon icon)
{
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, owner);
    WidenForCaption(box);
    box.exec();
}

bool TQtDialogs::Question(QWidget *owner, const QString &text, const QString &caption, Answer preset)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(preset == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    // Enter presses the focused button, so the default one holds the focus.
    box.defaultButton()->setFocus();
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    WidenForCaption(box);
    return box.exec() == QMessageBox::Yes;
}

bool TQtDialogs::InputText(QWidget *owner, const QString &caption, const QString &prompt,
                           QString &value, bool password)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner, caption, prompt,
                                               password ? QLineEdit::Password : QLineEdit::Normal,
                                               value, &ok);
    if (ok)
        value = text;
    return ok;
}

namespace {

// Qt's file list dates its files in the system's locale (whatever LANG says: "9 Dec 2026",
// "12/9/26 12:29 AM"); this list dates them in the program's own locale like every other
// date it shows.
class TLocaleDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == 3)
            if (const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel()))
                return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

// start is a folder, or a file name in a folder for a save dialog. Empty when cancelled;
// selectedFilter is the type the user chose.
QString RunFileDialog(QWidget *owner, const QString &caption, const QString &start, const QString &filter,
                      QFileDialog::AcceptMode mode, QString *selectedFilter)
{
    QFileDialog dialog(owner, caption, start, filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setProxyModel(new TLocaleDates(&dialog));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().value(0);
}

} // namespace

QString TQtDialogs::OpenFileName(QWidget *owner, const QString &caption, const QString &filter)
{
    m_selectedFilter.clear();
    const QString chosen = RunFileDialog(owner, caption, m_startFolder.Folder(), filter, QFileDialog::AcceptOpen,
                                         &m_selectedFilter);
    m_startFolder.Remember(chosen);
    return chosen;
}

QString TQtDialogs::SaveFileName(QWidget *owner, const QString &caption, const QString &filter,
                                 const QString &defaultName)
{
    // The program itself decides about extensions and asks before replacing a file whose
    // name it completed; the dialog asks only for the name the user typed.
    m_selectedFilter.clear();
    const QString chosen =
        RunFileDialog(owner, caption, m_startFolder.Proposal(defaultName), filter, QFileDialog::AcceptSave, &m_selectedFilter);
    m_startFolder.Remember(chosen);
    return chosen;
}
