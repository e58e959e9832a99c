#include "recurring/RecurringForm.h"
#include "base/AmountInput.h"
#include "base/HiClass.h"
#include "store/CateLists.h"
#include "store/DbClass.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/ListView.h"
#include "widgets/Session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QDateEdit *MonthEdit(QWidget *parent, const char *name, const QDate &month)
{
    auto *edit = new QDateEdit(month, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM"));
    edit->setCalendarPopup(true);
    return edit;
}

QPushButton *Button(QWidget *parent, const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QDate FirstOf(const QDate &date)
{
    return QDate(date.year(), date.month(), 1);
}

} // namespace

TfrmRecurringEdit::TfrmRecurringEdit(QWidget *parent, const TRecurring &rec, const QStringList &outItems,
                                     const QStringList &inItems)
    : QDialog(parent), m_rec(rec), m_outItems(outItems), m_inItems(inItems)
{
    setObjectName(QStringLiteral("frmRecurringEdit"));
    setWindowTitle(rec.id ? QStringLiteral("编辑定期收支") : QStringLiteral("添加定期收支"));
    auto *grid = new QGridLayout;
    cboType = new QComboBox(this);
    cboType->setObjectName(QStringLiteral("cboType"));
    cboType->addItems({kTypeOut, kTypeIn});
    cboType->setCurrentIndex(rec.type == kTypeIn ? 1 : 0);
    cboCate = new QComboBox(this);
    cboCate->setObjectName(QStringLiteral("cboCate"));
    cboCate->setEditable(true);
    cboCate->setInsertPolicy(QComboBox::NoInsert);
    FillItems();
    cboCate->setEditText(rec.item);
    edtAmount = new QLineEdit(rec.amount > 0 ? FormatFen(rec.amount) : QString(), this);
    edtAmount->setObjectName(QStringLiteral("edtAmount"));
    edtNotes = new QLineEdit(rec.notes, this);
    edtNotes->setObjectName(QStringLiteral("edtNotes"));
    spnDay = new QSpinBox(this);
    spnDay->setObjectName(QStringLiteral("spnDay"));
    spnDay->setRange(1, 31);
    spnDay->setValue(rec.day);
    const QDate thisMonth = FirstOf(QDate::currentDate());
    dtpFirst = MonthEdit(this, "dtpFirst", rec.firstMonth.isValid() ? rec.firstMonth : thisMonth);
    chkLast = new QCheckBox(QStringLiteral("结束月份："), this);
    chkLast->setObjectName(QStringLiteral("chkLast"));
    chkLast->setChecked(rec.lastMonth.isValid());
    dtpLast = MonthEdit(this, "dtpLast", rec.lastMonth.isValid() ? rec.lastMonth : thisMonth);
    dtpLast->setEnabled(chkLast->isChecked());

    const std::pair<const char *, QWidget *> rows[] = {
        {"类别：", cboType}, {"项目：", cboCate}, {"金额：", edtAmount}, {"备注：", edtNotes},
        {"每月几日：", spnDay}, {"开始月份：", dtpFirst}};
    int r = 0;
    for (const auto &[caption, field] : rows) {
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r++, 1);
    }
    grid->addWidget(chkLast, r, 0);
    grid->addWidget(dtpLast, r, 1);

    btnOK = Button(this, QStringLiteral("确定"), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Button(this, QStringLiteral("取消"), "btnCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(cboType, &QComboBox::currentIndexChanged, this, [this] { FillItems(); });
    connect(chkLast, &QCheckBox::toggled, dtpLast, &QWidget::setEnabled);
    connect(btnOK, &QPushButton::clicked, this, Guarded(this, [this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmRecurringEdit::FillItems()
{
    const QString typed = cboCate->currentText();
    const QSignalBlocker block(cboCate);
    cboCate->clear();
    cboCate->addItems(cboType->currentIndex() == 1 ? m_inItems : m_outItems);
    cboCate->setCurrentIndex(-1);
    cboCate->setEditText(typed);
}

void TfrmRecurringEdit::btnOKClick()
{
    auto refuse = [this](const QString &text, QWidget *field) {
        Dialogs().Message(this, text, QStringLiteral("Tallyfern"), IDialogs::Icon::Warning);
        field->setFocus();
    };
    QString item = cboCate->currentText();
    item.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    item = THi::Trim(item);
    if (item.isEmpty())
        return refuse(QStringLiteral("请填写项目。"), cboCate);
    const std::optional<TFen> amount = TypedAmount(edtAmount->text());
    if (!amount)
        return refuse(QStringLiteral("金额“%1”无效，请填写至少 0.01 的数字。").arg(edtAmount->text()), edtAmount);
    const QDate first = FirstOf(dtpFirst->date());
    const QDate last = chkLast->isChecked() ? FirstOf(dtpLast->date()) : QDate();
    if (last.isValid() && last < first)
        return refuse(QStringLiteral("结束月份不能早于开始月份。"), dtpLast);
    m_rec.type = cboType->currentIndex() == 1 ? kTypeIn : kTypeOut;
    m_rec.item = item;
    m_rec.amount = *amount;
    m_rec.notes = THi::Trim(edtNotes->text());
    m_rec.day = spnDay->value();
    m_rec.firstMonth = first;
    m_rec.lastMonth = last;
    accept();
}

TfrmRecurring::TfrmRecurring(ISession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmRecurring"));
    setWindowTitle(QStringLiteral("定期收支"));
    resize(720, 360);
    lvwRecurring = CreateListView(this, QStringLiteral("lvwRecurring"),
                                  {{QStringLiteral("类别"), 50},
                                   {QStringLiteral("项目"), 140},
                                   {QStringLiteral("金额"), 90, true},
                                   {QStringLiteral("每月几日"), 70, true},
                                   {QStringLiteral("开始月份"), 80},
                                   {QStringLiteral("结束月份"), 80},
                                   {QStringLiteral("备注"), 180}});
    lvwRecurring->setAccessibleName(QStringLiteral("定期收支"));
    lvwRecurring->setAccessibleDescription(QStringLiteral("每月自动加入待保存列表的收支记录"));
    btnAdd = Button(this, QStringLiteral("添加(&A)"), "btnAdd");
    btnEdit = Button(this, QStringLiteral("编辑(&E)"), "btnEdit");
    btnDelete = Button(this, QStringLiteral("删除(&D)"), "btnDelete");
    btnClose = Button(this, QStringLiteral("关闭(&C)"), "btnClose");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {btnAdd, btnEdit, btnDelete, btnClose})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvwRecurring);
    layout->addLayout(buttons);

    connect(btnAdd, &QPushButton::clicked, this, Guarded(this, [this] { btnAddClick(); }));
    connect(btnEdit, &QPushButton::clicked, this, Guarded(this, [this] { btnEditClick(); }));
    connect(btnDelete, &QPushButton::clicked, this, Guarded(this, [this] { btnDeleteClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lvwRecurring, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(lvwRecurring, &QTreeWidget::itemDoubleClicked, this, Guarded(this, [this] { btnEditClick(); }));
    Reload(0);
}

void TfrmRecurring::Reload(qint64 selectId)
{
    m_records = TRecurringStore(m_session.SessionDb().FileName()).List(m_session.SessionUser());
    lvwRecurring->clear();
    for (const TRecurring &rec : m_records) {
        auto *row = new QTreeWidgetItem(
            lvwRecurring, {QString(), rec.type, rec.item, FormatFen(rec.amount), QString::number(rec.day),
                           rec.firstMonth.toString(QStringLiteral("yyyy-MM")),
                           rec.lastMonth.isValid() ? rec.lastMonth.toString(QStringLiteral("yyyy-MM")) : QString(),
                           rec.notes});
        row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        if (rec.id == selectId)
            lvwRecurring->setCurrentItem(row);
    }
    UpdateButtons();
}

void TfrmRecurring::UpdateButtons()
{
    const bool selected = HasSelection(lvwRecurring);
    btnEdit->setEnabled(selected);
    btnDelete->setEnabled(selected);
}

bool TfrmRecurring::RunEdit(TRecurring &rec)
{
    TDbMan &db = m_session.SessionDb();
    const QString user = m_session.SessionUser();
    TfrmRecurringEdit edit(this, rec, CateTextToEntries(db.GetCates(user, QStringLiteral("out"))),
                           CateTextToEntries(db.GetCates(user, QStringLiteral("in"))));
    if (edit.exec() != QDialog::Accepted)
        return false;
    rec = edit.Record();
    return true;
}

void TfrmRecurring::btnAddClick()
{
    TRecurring rec;
    rec.type = kTypeOut;
    if (!RunEdit(rec))
        return;
    TBusyScope busy(m_session, btnAdd);
    const qint64 id = TRecurringStore(m_session.SessionDb().FileName()).Add(m_session.SessionUser(), rec);
    Reload(id);
}

void TfrmRecurring::btnEditClick()
{
    const int index = lvwRecurring->indexOfTopLevelItem(lvwRecurring->currentItem());
    if (index < 0 || index >= m_records.size() || !HasSelection(lvwRecurring))
        return;
    TRecurring rec = m_records[index];
    if (!RunEdit(rec))
        return;
    TBusyScope busy(m_session, btnEdit);
    TRecurringStore(m_session.SessionDb().FileName()).Change(m_session.SessionUser(), rec);
    Reload(rec.id);
}

void TfrmRecurring::btnDeleteClick()
{
    const int index = lvwRecurring->indexOfTopLevelItem(lvwRecurring->currentItem());
    if (index < 0 || index >= m_records.size() || !HasSelection(lvwRecurring))
        return;
    if (!ConfirmDestructive(this, QStringLiteral("您真的想要删除这条定期收支吗？")))
        return;
    TBusyScope busy(m_session, btnDelete);
    TRecurringStore(m_session.SessionDb().FileName()).Remove(m_records[index].id);
    Reload(0);
}
