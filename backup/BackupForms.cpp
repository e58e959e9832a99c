#include "backup/BackupForms.h"
#include "backup/EncryptedBackup.h"
#include "base/Errors.h"
#include "store/BackupStore.h"
#include "store/LedgerSnapshot.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString MembersText(const QString &path)
{
    try {
        QStringList parts;
        for (const auto &[name, count] : RecordsPerMember(path))
            parts << QStringLiteral("%1 %2 条").arg(name).arg(count);
        return parts.isEmpty() ? QStringLiteral("（没有用户）") : parts.join(QStringLiteral("，"));
    } catch (const TError &) {
        return QStringLiteral("（无法读取）");
    }
}

} // namespace

QString SizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 字节").arg(bytes);
}

TfrmRestoreChooser::TfrmRestoreChooser(const QList<TBackupFile> &autoBackups, const QList<TBackupFile> &snapshots,
                                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRestoreChooser"));
    setWindowTitle(QStringLiteral("从备份中恢复数据"));
    auto *layout = new QVBoxLayout(this);
    auto *lbl = new QLabel(QStringLiteral("请选择要恢复的备份："), this);
    layout->addWidget(lbl);
    lvwBackups = new QTreeWidget(this);
    lvwBackups->setObjectName(QStringLiteral("lvwBackups"));
    lvwBackups->setRootIsDecorated(false);
    lvwBackups->setHeaderLabels({QStringLiteral("日期时间"), QStringLiteral("种类"), QStringLiteral("大小"),
                                 QStringLiteral("每个用户的记录数")});
    lbl->setBuddy(lvwBackups);
    const auto add = [this](const TBackupFile &file, const QString &kind) {
        auto *item = new QTreeWidgetItem(lvwBackups, {file.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), kind,
                                                      SizeText(file.size), MembersText(file.path)});
        item->setData(0, Qt::UserRole, file.path);
        item->setToolTip(0, QDir::toNativeSeparators(file.path));
    };
    for (const TBackupFile &f : autoBackups)
        add(f, QStringLiteral("自动备份"));
    for (const TBackupFile &f : snapshots)
        add(f, QStringLiteral("恢复前的数据"));
    for (int c = 0; c < 3; ++c)
        lvwBackups->resizeColumnToContents(c);
    if (lvwBackups->topLevelItemCount() > 0)
        lvwBackups->setCurrentItem(lvwBackups->topLevelItem(0));
    layout->addWidget(lvwBackups);

    auto *buttons = new QHBoxLayout;
    btnOther = new QPushButton(QStringLiteral("其他文件..."), this);
    btnOther->setObjectName(QStringLiteral("btnOther"));
    btnRestore = new QPushButton(QStringLiteral("恢复(&R)"), this);
    btnRestore->setObjectName(QStringLiteral("btnRestore"));
    btnRestore->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOther);
    buttons->addStretch();
    buttons->addWidget(btnRestore);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    resize(640, 320);

    const auto accept = [this] {
        if (QTreeWidgetItem *item = lvwBackups->currentItem()) {
            m_chosen = item->data(0, Qt::UserRole).toString();
            QDialog::accept();
        }
    };
    connect(btnRestore, &QPushButton::clicked, this, accept);
    connect(lvwBackups, &QTreeWidget::itemActivated, this, accept);
    connect(btnOther, &QPushButton::clicked, this, [this] {
        m_other = true;
        QDialog::accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    lvwBackups->setFocus();
}

TfrmAutoBackup::TfrmAutoBackup(const QString &folder, bool enabled, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAutoBackup"));
    setWindowTitle(QStringLiteral("自动备份"));
    const QList<TBackupFile> copies = ListAutoBackups(folder);
    qint64 total = 0;
    for (const TBackupFile &f : copies)
        total += f.size;
    auto *layout = new QVBoxLayout(this);
    lblFolder = new QLabel(QStringLiteral("自动备份保存在：\n%1").arg(QDir::toNativeSeparators(folder)), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblFolder->setFocusPolicy(Qt::StrongFocus);
    lblFolder->setAccessibleName(lblFolder->text());
    lblCount = new QLabel(QStringLiteral("现有 %1 个自动备份，共 %2。").arg(copies.size()).arg(SizeText(total)), this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto *lblRule = new QLabel(QStringLiteral("每天第一次保存后自动备份一次；保留最近 7 天的备份，"
                                              "以及此前 4 周每周一个。"), this);
    lblRule->setWordWrap(true);
    chkEnabled = new QCheckBox(QStringLiteral("自动备份这个账本(&A)"), this);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    chkEnabled->setChecked(enabled);
    auto *btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    auto *btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addWidget(lblFolder);
    layout->addWidget(lblCount);
    layout->addWidget(lblRule);
    layout->addWidget(chkEnabled);
    layout->addLayout(buttons);
    setMinimumWidth(380);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmAutoBackup::Enabled() const
{
    return chkEnabled->isChecked();
}

bool AskNewBackupPassword(QWidget *owner, QByteArray &password)
{
    const QString caption = QStringLiteral("加密备份");
    for (;;) {
        QString first, second;
        if (!Dialogs().InputText(owner, caption, QStringLiteral("请输入备份的密码（至少 %1 个字符）：")
                                                     .arg(kMinBackupPasswordLength), first, true))
            return false;
        if (first.size() < kMinBackupPasswordLength) {
            Dialogs().Message(owner, QStringLiteral("密码至少需要 %1 个字符。").arg(kMinBackupPasswordLength),
                              caption, IDialogs::Icon::Warning);
            continue;
        }
        if (!Dialogs().InputText(owner, caption, QStringLiteral("请再输入一次密码："), second, true))
            return false;
        if (first != second) {
            Dialogs().Message(owner, QStringLiteral("两次输入的密码不一致，请重新输入。"), caption,
                              IDialogs::Icon::Warning);
            continue;
        }
        password = first.toUtf8();
        first.fill(QChar(0));
        second.fill(QChar(0));
        return true;
    }
}

bool AskBackupPassword(QWidget *owner, QByteArray &password)
{
    QString entered;
    if (!Dialogs().InputText(owner, QStringLiteral("从备份中恢复数据"), QStringLiteral("请输入这个加密备份的密码："),
                             entered, true))
        return false;
    password = entered.toUtf8();
    entered.fill(QChar(0));
    return true;
}

TDamagedLedgerOffer OfferAutoBackupForDamagedLedger(const QString &dbFile, const QStringList &protectedFolders,
                                                    QString *snapshot)
{
    if (!LedgerIsDamaged(dbFile))
        return TDamagedLedgerOffer::NothingOffered;
    const TBackupFile newest = NewestSoundAutoBackup(AutoBackupFolder(dbFile));
    if (newest.path.isEmpty())
        return TDamagedLedgerOffer::NothingOffered;
    const QString text = QStringLiteral("数据文件已损坏。要从 %1 的自动备份中恢复吗？")
                             .arg(newest.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    if (!Dialogs().DestructiveQuestion(nullptr, text, ApplicationTitle()))
        return TDamagedLedgerOffer::Declined;
    const QString kept = RestoreLedgerWithSnapshot(
        newest.path, dbFile, QFileInfo(dbFile).absolutePath() + QStringLiteral("/snapshots"), protectedFolders);
    if (snapshot)
        *snapshot = kept;
    return TDamagedLedgerOffer::Restored;
}
