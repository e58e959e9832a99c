#pragma once
#include "backup/AutoBackup.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// The chooser that "从备份中恢复数据" opens first: the automatic backups and the snapshots
// kept before restores, newest first, with their time, size and records per member.
class TfrmRestoreChooser : public QDialog {
    Q_OBJECT
public:
    TfrmRestoreChooser(const QList<TBackupFile> &autoBackups, const QList<TBackupFile> &snapshots,
                       QWidget *parent = nullptr);

    // After exec: the file chosen in the list (empty when "其他文件..." was pressed).
    QString ChosenFile() const { return m_chosen; }
    // After exec: whether the user wants the file dialog instead.
    bool OtherFileWanted() const { return m_other; }

private:
    QTreeWidget *lvwBackups = nullptr;
    QPushButton *btnRestore = nullptr, *btnOther = nullptr, *btnCancel = nullptr;
    QString m_chosen;
    bool m_other = false;
};

// "自动备份...": where the copies are, how many and how large, and whether they are made.
class TfrmAutoBackup : public QDialog {
    Q_OBJECT
public:
    TfrmAutoBackup(const QString &folder, bool enabled, QWidget *parent = nullptr);
    bool Enabled() const;

private:
    QLabel *lblFolder = nullptr, *lblCount = nullptr;
    QCheckBox *chkEnabled = nullptr;
};

// Sizes as the lists show them ("12.3 MB", "950 KB", "512 字节").
QString SizeText(qint64 bytes);

// Asks for the password of a new encrypted backup twice (at least 8 characters). False when
// cancelled. The caller wipes password after use.
bool AskNewBackupPassword(QWidget *owner, QByteArray &password);
// Asks for the password of an encrypted backup. False when cancelled.
bool AskBackupPassword(QWidget *owner, QByteArray &password);

enum class TDamagedLedgerOffer { NothingOffered, Declined, Restored };

// At start, when the ledger dbFile is damaged (LedgerIsDamaged): offers the newest sound
// automatic backup. Restored: the ledger was replaced by it, the damaged one kept as a
// snapshot whose path goes into snapshot. Declined (No is the default): the damaged file is
// left untouched and the program is to end. NothingOffered: the ledger is not damaged or
// there is no sound automatic backup. Failures of the restore throw TError.
TDamagedLedgerOffer OfferAutoBackupForDamagedLedger(const QString &dbFile, const QStringList &protectedFolders,
                                                    QString *snapshot = nullptr);
