#include "entry/EditCateForm.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "widgets/DesktopLook.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

TfrmEditCate::TfrmEditCate(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmEditCate"));
    setWindowTitle(QStringLiteral("编辑"));
    setFixedSize(392, 273);
    setSizeGripEnabled(false);
    UseFixedLayoutFont(this);

    bvlFrame = new QFrame(this);
    bvlFrame->setObjectName(QStringLiteral("bvlFrame"));
    bvlFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bvlFrame->setGeometry(8, 8, 376, 223);

    memText = new QPlainTextEdit(this);
    memText->setObjectName(QStringLiteral("memText"));
    memText->setGeometry(19, 21, 354, 198);
    memText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memText->setTabChangesFocus(true);
    memText->setAccessibleName(QStringLiteral("项目列表"));
    memText->setAccessibleDescription(QStringLiteral("每行一个项目"));

    btnSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setGeometry(119, 240, 74, 23);
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(199, 240, 74, 23);
    // Enter belongs to the text area: neither button is a default button.
    for (QPushButton *b : {btnSave, btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setTabOrder(memText, btnSave);
    setTabOrder(btnSave, btnCancel);

    connect(memText, &QPlainTextEdit::textChanged, this, &TfrmEditCate::memTextChange);
    connect(btnSave, &QPushButton::clicked, this, &TfrmEditCate::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmEditCate::btnCancelClick);
}

void TfrmEditCate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmEditCate::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close the editor; only Cancel or the close box does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmEditCate::FormShow()
{
    memText->setPlainText(CatesText);
    // Disabled after filling, so that the filling itself leaves Save disabled.
    btnSave->setEnabled(false);
    memText->setFocus();
}

void TfrmEditCate::memTextChange()
{
    btnSave->setEnabled(true);
}

void TfrmEditCate::btnSaveClick()
{
    // The text area breaks lines with LF; the stored list text uses CR LF.
    CatesText = CateEntriesToText(CateTextToEntries(memText->toPlainText()));
    accept();
}

void TfrmEditCate::btnCancelClick()
{
    reject();
}
