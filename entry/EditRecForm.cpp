#include "entry/EditRecForm.h"
#include "base/HiClass.h"
#include "pinyin/ItemCompleter.h"
#include "base/AmountInput.h"

#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>

namespace {

const int kTypedLimit = 100;

// A field whose text is not selected when the focus arrives, and which takes at most
// 100 typed characters; a longer text handed in is shown whole and can only shrink.
class TRecField : public QLineEdit {
public:
    explicit TRecField(QWidget *parent) : QLineEdit(parent)
    {
        connect(this, &QLineEdit::textEdited, this,
                [this](const QString &text) { setMaxLength(qMax(kTypedLimit, int(text.size()))); });
        // Input past the limit is not taken, and the field says why.
        connect(this, &QLineEdit::inputRejected, this, [this] {
            QToolTip::showText(mapToGlobal(QPoint(0, height())),
                               QStringLiteral("最多可以输入 %1 个字符，超出的部分没有填入").arg(maxLength()), this);
        });
    }
    void SetWholeText(const QString &text)
    {
        setMaxLength(qMax(kTypedLimit, int(text.size())));
        setText(text);
    }

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QLineEdit::focusInEvent(event);
        deselect();
    }
};

QLabel *MakeLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TfrmEditRec::TfrmEditRec(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmEditRec"));
    if (parent)
        setFont(parent->font());
    setWindowTitle(QStringLiteral("编辑"));
    setFixedSize(380, 196);

    bvlRect = new QFrame(this);
    bvlRect->setObjectName(QStringLiteral("bvlRect"));
    bvlRect->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bvlRect->setGeometry(8, 8, 362, 146);

    QLabel *dateCaption = MakeLabel(this, QStringLiteral("日期："), 20, 26);
    dtpDate = new QDateEdit(this);
    // The captions name the fields for a screen reader.
    dateCaption->setBuddy(dtpDate);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpDate->setCalendarPopup(true);
    dtpDate->setGeometry(60, 22, 298, 21);

    const struct {
        QLineEdit **field;
        const char *name;
        QString label;
        int y;
    } fields[] = {{&edtCate, "edtCate", QStringLiteral("项目："), 54},
                  {&edtAmount, "edtAmount", QStringLiteral("金额："), 86},
                  {&edtNotes, "edtNotes", QStringLiteral("备注："), 118}};
    for (const auto &f : fields) {
        QLabel *caption = MakeLabel(this, f.label, 20, f.y + 4);
        auto *edit = new TRecField(this);
        caption->setBuddy(edit);
        edit->setObjectName(QString::fromLatin1(f.name));
        edit->setMaxLength(kTypedLimit);
        edit->setGeometry(60, f.y, 298, 21);
        connect(edit, &QLineEdit::textChanged, this, [this] { edtCateChange(); });
        *f.field = edit;
    }

    btnSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setGeometry(113, 163, 74, 23);
    btnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(193, 163, 74, 23);
    // Neither button answers Enter; Save only ever reacts to itself.
    for (QPushButton *b : {btnSave, btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    setTabOrder(dtpDate, edtCate);
    setTabOrder(edtCate, edtAmount);
    setTabOrder(edtAmount, edtNotes);
    setTabOrder(edtNotes, btnSave);
    setTabOrder(btnSave, btnCancel);
}

void TfrmEditRec::showEvent(QShowEvent *event)
{
    // Shown again after a minimize or a desktop switch, the fields keep what was typed.
    if (!m_filled) {
        m_filled = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmEditRec::keyPressEvent(QKeyEvent *event)
{
    // Neither button is the cancel button: Escape does not throw the changes away.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmEditRec::FormShow()
{
    dtpDate->setDate(THi::ParseYmdDate(RecDate));
    static_cast<TRecField *>(edtCate)->SetWholeText(RecCate);
    static_cast<TRecField *>(edtAmount)->SetWholeText(RecAmount);
    static_cast<TRecField *>(edtNotes)->SetWholeText(RecNotes);
    TItemCompleter::Attach(edtCate, RecCateEntries);
    // Save waits for a change of the item, the amount or the notes.
    btnSave->setEnabled(false);
}

void TfrmEditRec::edtCateChange()
{
    btnSave->setEnabled(!THi::Trim(edtCate->text()).isEmpty() &&
                        THi::IsAcceptedAmount(NarrowAmountText(edtAmount->text())));
}

void TfrmEditRec::btnSaveClick()
{
    double amount = 0;
    if (!THi::IsAcceptedAmount(NarrowAmountText(edtAmount->text()), &amount))
        return;
    RecDate = dtpDate->date().toString(QStringLiteral("yyyy-MM-dd"));
    RecCate = THi::Trim(edtCate->text());
    RecAmount = THi::FormatAmount(amount);
    RecNotes = THi::Trim(edtNotes->text());
    accept();
}

void TfrmEditRec::btnCancelClick()
{
    reject();
}
