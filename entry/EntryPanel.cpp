#include "entry/EntryPanel.h"
#include "widgets/BusyCursor.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "base/HiClass.h"
#include "widgets/ListView.h"
#include "widgets/Session.h"
#include "store/CateLists.h"
#include "base/AmountInput.h"
#include "entry/EditCateForm.h"
#include "pinyin/ItemCompleter.h"
#include "store/DbClass.h"
#include "store/TextLimits.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QItemSelectionModel>
#include <QTreeWidget>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

namespace {

// A one-line field that keeps its text unselected when it gets the focus by Tab.
class TFieldEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        const bool hadSelection = hasSelectedText();
        QLineEdit::focusInEvent(event);
        if (!hadSelection)
            deselect();
    }
};

const QStringList kOutSteps = {
    QStringLiteral("第1步，选择日期，例如：2099-12-31。"),
    QStringLiteral("第2步，填写项目，例如：宝宝奶粉钱。"),
    QStringLiteral("第3步，填写金额，例如：1000009.95。"),
    QStringLiteral("第4步，填写备注，例如：金装喜康力。"),
    QStringLiteral("第5步，确认无误，请点添加按钮即可。"),
    QStringLiteral("第6步，添加完所有支出请点保存按钮。"),
};
const QStringList kInSteps = {
    QStringLiteral("第1步，选择日期，例如：2099-01-31。"),
    QStringLiteral("第2步，填写项目，例如：亲属赠与金。"),
    QStringLiteral("第3步，填写金额，例如：8000008.88。"),
    QStringLiteral("第4步，填写备注，例如：宝宝压岁钱。"),
    QStringLiteral("第5步，确认无误，请点添加按钮即可。"),
    QStringLiteral("第6步，添加完所有收入请点保存按钮。"),
};

bool IsEnterKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TEntryPanel::TEntryPanel(ISession &session, Twin twin, QWidget *parent)
    : QWidget(parent), m_session(session), m_twin(twin)
{
    setObjectName(twin == Twin::Out ? QStringLiteral("pnlExpense") : QStringLiteral("pnlIncome"));
    CreateControls();

    connect(btnAdd, &QPushButton::clicked, this, Guarded(this, [this] { btnAddClick(); }));
    connect(btnSave, &QPushButton::clicked, this, Guarded(this, [this] { btnSaveClick(); }));
    connect(btnEdit, &QPushButton::clicked, this, Guarded(this, [this] { btnEditClick(); }));
    connect(btnDelete, &QPushButton::clicked, this, Guarded(this, [this] { DeleteSelectedRows(); }));
    connect(btnHelp, &QPushButton::clicked, this, Guarded(this, [this] { btnHelpClick(); }));
    connect(btnCalc, &QPushButton::clicked, this, Guarded(this, [this] { btnCalcClick(); }));
    connect(btnEditCates, &QPushButton::clicked, this, Guarded(this, [this] { btnEditCatesClick(); }));
    connect(cboCate, &QComboBox::editTextChanged, this, [this] { cboCateChange(); });
    connect(edtAmount, &QLineEdit::textChanged, this, [this] { cboCateChange(); });
    connect(lvwRecs, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_session.UpdateCommandStates(); });

    // The fields hold what the ledger takes; a paste past that is cut by the field, and
    // the user is told so (queued: not from inside the field's own paste).
    const struct {
        QLineEdit *edit;
        QString what;
    } limited[] = {{cboCate->lineEdit(), QStringLiteral("项目")}, {edtNotes, QStringLiteral("备注")}};
    for (const auto &f : limited) {
        f.edit->setMaxLength(kLongestText);
        connect(f.edit, &QLineEdit::inputRejected, this, [this, what = f.what] {
            Dialogs().Message(window(),
                              QStringLiteral("%1最多可以有 %2 个字符，超出的部分没有填入，请检查。").arg(what).arg(kLongestText),
                              QStringLiteral("提示"), IDialogs::Icon::Warning);
        }, Qt::QueuedConnection);
    }

    for (QObject *field : {static_cast<QObject *>(dtpDate), static_cast<QObject *>(cboCate),
                           static_cast<QObject *>(cboCate->lineEdit()),
                           static_cast<QObject *>(edtAmount), static_cast<QObject *>(edtNotes),
                           static_cast<QObject *>(lvwRecs)})
        field->installEventFilter(this);
    // Attached after the Enter chain above, so that Enter first takes a chosen item.
    TItemCompleter::Attach(cboCate);
}

void TEntryPanel::CreateControls()
{
    const QStringList steps = StepTexts();
    QFont stepFont(QStringLiteral("宋体"));
    stepFont.setPixelSize(12);
    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(steps.at(i), this);
        label->setObjectName((m_twin == Twin::Out ? QStringLiteral("lblOutStep%1") : QStringLiteral("lblStep%1"))
                                 .arg(i + 1));
        label->setFont(stepFont);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(pal);
        label->setGeometry(18, 10 + 20 * i, 210, 16);
        lblStep[i] = label;
    }

    const struct {
        const char *text;
        int top;
    } captions[] = {{"日期：", 14}, {"项目：", 44}, {"金额：", 74}, {"备注：", 105}};
    for (const auto &c : captions) {
        auto *label = new QLabel(QString::fromUtf8(c.text), this);
        label->move(250, c.top);
        label->adjustSize();
    }

    dtpDate = new QDateEdit(this);
    dtpDate->setObjectName(Name("dtp", "Date"));
    dtpDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpDate->setCalendarPopup(true);
    dtpDate->setGeometry(293, 10, 311, 21);

    cboCate = new QComboBox(this);
    cboCate->setObjectName(Name("cbo", "Cate"));
    cboCate->setEditable(true);
    cboCate->setCompleter(nullptr);
    cboCate->setInsertPolicy(QComboBox::NoInsert);
    cboCate->setMaxVisibleItems(32);
    cboCate->setGeometry(293, 40, 311, 21);

    edtAmount = new TFieldEdit(this);
    edtAmount->setObjectName(Name("edt", "Amount"));
    edtAmount->setGeometry(293, 70, 311, 21);
    edtNotes = new TFieldEdit(this);
    edtNotes->setObjectName(Name("edt", "Notes"));
    edtNotes->setGeometry(293, 101, 311, 21);

    auto makeButton = [this](const QString &caption, const char *rest, int x, int y) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(Name("btn", rest));
        button->setGeometry(x, y, 74, 23);
        button->setAutoDefault(false);
        return button;
    };
    btnHelp = makeButton(QStringLiteral("帮助"), "Help", 610, 9);
    btnEditCates = makeButton(QStringLiteral("编辑"), "EditCates", 610, 39);
    btnCalc = makeButton(QStringLiteral("计算器"), "Calc", 610, 69);
    btnAdd = makeButton(QStringLiteral("添加(&A)"), "Add", 610, 100);

    lvwRecs = CreateListView(this, Name("lvw", "Recs"),
                             {{QStringLiteral("日期"), 80},
                              {QStringLiteral("类别"), 80},
                              {QStringLiteral("项目"), 180},
                              {QStringLiteral("金额"), 80, true},
                              {QStringLiteral("备注"), 220}});
    lvwRecs->setGeometry(12, 135, 672, 267);
    // Several rows go in one step: a rent that ended leaves many offered rows behind.
    lvwRecs->setSelectionMode(QAbstractItemView::ExtendedSelection);

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(Name("lbl", "Total"));
    QFont bold = lblTotal->font();
    bold.setBold(true);
    lblTotal->setFont(bold);
    QPalette maroon = lblTotal->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    lblTotal->setPalette(maroon);
    lblTotal->setGeometry(12, 415, 400, 16);

    btnDelete = makeButton(QStringLiteral("删除(&D)"), "Delete", 450, 410);
    btnEdit = makeButton(QStringLiteral("编辑(&E)"), "Edit", 530, 410);
    btnSave = makeButton(QStringLiteral("保存(&S)"), "Save", 610, 410);

    // The four fields and Add first, then the pending list and its commands, then the
    // helpers beside the fields.
    const QList<QWidget *> chain{dtpDate, cboCate, edtAmount, edtNotes, btnAdd, lvwRecs,
                                 btnDelete, btnEdit, btnSave, btnHelp, btnEditCates, btnCalc};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    NameControls();
}

void TEntryPanel::NameControls()
{
    const bool out = m_twin == Twin::Out;
    // The captions beside the fields name them.
    const QList<QLabel *> captions = findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel *label : captions) {
        const QString text = label->text();
        if (text == QStringLiteral("日期："))
            label->setBuddy(dtpDate);
        else if (text == QStringLiteral("项目："))
            label->setBuddy(cboCate);
        else if (text == QStringLiteral("金额："))
            label->setBuddy(edtAmount);
        else if (text == QStringLiteral("备注："))
            label->setBuddy(edtNotes);
    }
    lvwRecs->setAccessibleName(out ? QStringLiteral("待保存的支出") : QStringLiteral("待保存的收入"));
    lvwRecs->setAccessibleDescription(
        QStringLiteral("已添加、尚未保存的%1记录：日期、类别、项目、金额、备注。Delete 键删除选中的记录")
            .arg(TypeText()));
    btnEditCates->setAccessibleName(QStringLiteral("编辑项目列表"));
    lblTotal->setAccessibleDescription(QStringLiteral("待保存记录的金额合计"));
}

QString TEntryPanel::Name(const char *kind, const char *rest) const
{
    return QString::fromLatin1(kind) + (m_twin == Twin::Out ? QStringLiteral("Out") : QStringLiteral("In")) +
           QString::fromLatin1(rest);
}

QString TEntryPanel::TypeText() const
{
    return m_twin == Twin::Out ? kTypeOut : kTypeIn;
}

QString TEntryPanel::CateKey() const
{
    return m_twin == Twin::Out ? QStringLiteral("out") : QStringLiteral("in");
}

QStringList TEntryPanel::StepTexts() const
{
    return m_twin == Twin::Out ? kOutSteps : kInSteps;
}

void TEntryPanel::StartUp()
{
    dtpDate->setDate(QDate::currentDate());
    UpdatePendingTotal();
    ReloadCates();
    cboCateChange();
}

void TEntryPanel::ReloadCates()
{
    SetCateEntries(CateTextToEntries(m_session.SessionDb().GetCates(m_session.SessionUser(), CateKey())));
}

void TEntryPanel::cboCateChange()
{
    btnAdd->setEnabled(!THi::Trim(cboCate->currentText()).isEmpty() && TypedAmount(edtAmount->text()));
}

// btnOutAddClick / btnInAddClick
void TEntryPanel::btnAddClick()
{
    // The item list keeps one entry a line, so a line break pasted into the item would
    // split it into two entries.
    QString item = cboCate->currentText();
    item.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    item = THi::Trim(item);
    // Enter in the notes field arrives here whatever the state of Add.
    const std::optional<TFen> amount = TypedAmount(edtAmount->text());
    if (!btnAdd->isEnabled() || item.isEmpty() || !amount) {
        cboCate->setFocus();
        return;
    }
    // A failure to store the item list must not cost the row, which is already listed:
    // the fields are still emptied (so the row is not added twice) and then it is reported.
    std::exception_ptr failure;
    {
        TBusyScope busy(m_session, btnAdd);
        const TNewRecord record{dtpDate->date(), TypeText(), item, *amount,
                                THi::Trim(edtNotes->text())};
        m_pending.append(record);
        m_origins.append(std::exchange(m_fieldsOrigin, 0));
        auto *row = new QTreeWidgetItem(lvwRecs, {QString(), record.date.toString(QStringLiteral("yyyy-MM-dd")),
                                                  record.type, record.item, FormatFen(record.amount),
                                                  record.notes});
        row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        lvwRecs->scrollToItem(row);
        UpdatePendingTotal();
        try {
            AddToCateList(item);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    cboCate->setEditText(QString());
    edtAmount->clear();
    edtNotes->clear();
    cboCate->setFocus();
    m_session.UpdateCommandStates();
    if (failure)
        std::rethrow_exception(failure);
}

// btnOutSaveClick / btnInSaveClick
void TEntryPanel::btnSaveClick()
{
    if (lvwRecs->topLevelItemCount() == 0)
        return;
    if (!Confirm(m_session.Window(), QStringLiteral("您真的想要保存吗？")))
        return;
    QList<TNewRecord> saved;
    QList<qint64> origins;
    {
        // The rows are stored in one transaction: on failure nothing is stored and the
        // list stays, so a second Save cannot store a row twice.
        TBusyScope busy(m_session, btnSave);
        saved = m_pending;
        m_session.SessionDb().AddRecords(m_session.SessionUser(), saved);
    }
    for (const qint64 origin : std::as_const(m_origins))
        if (origin)
            origins.append(origin);
    m_pending.clear();
    m_origins.clear();
    lvwRecs->clear();
    UpdatePendingTotal();
    m_session.UpdateCommandStates();
    ShowSaveSuccess();
    emit RowsSaved(saved, origins);
}

void TEntryPanel::ShowSaveSuccess()
{
    Dialogs().Message(m_session.Window(),
                      QStringLiteral("成功！%1%2").arg(QStringLiteral("\r\n\r\n"),
                                                      QStringLiteral("想查看收支记录明细，请点击“收支目录”。")),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

// btnOutEditClick / btnInEditClick
void TEntryPanel::btnEditClick()
{
    const QList<QTreeWidgetItem *> selected = lvwRecs->selectedItems();
    if (selected.size() != 1)
        return;
    if (!Confirm(m_session.Window(), QStringLiteral("您真的想要编辑它吗？")))
        return;
    const int index = lvwRecs->indexOfTopLevelItem(selected.first());
    const TNewRecord row = m_pending.at(index);
    // The row is not withdrawn: it goes on, corrected, with the next Add.
    m_fieldsOrigin = m_origins.at(index);
    dtpDate->setDate(row.date);
    cboCate->setEditText(row.item);
    edtAmount->setText(FormatFen(row.amount));
    edtNotes->setText(row.notes);
    cboCateChange();
    TakeSelectedRows(nullptr);
    AfterRowsChanged();
}

// btnOutDeleteClick / btnInDeleteClick
void TEntryPanel::DeleteSelectedRows()
{
    const qsizetype count = lvwRecs->selectedItems().size();
    if (count == 0)
        return;
    const QString question = count == 1 ? QStringLiteral("您真的想要删除它吗？")
                                        : QStringLiteral("您真的想要删除这 %1 条记录吗？").arg(count);
    if (!ConfirmDestructive(m_session.Window(), question))
        return;
    QList<qint64> origins;
    TakeSelectedRows(&origins);
    AfterRowsChanged();
    if (!origins.isEmpty())
        emit RowsWithdrawn(origins);
}

void TEntryPanel::TakeSelectedRows(QList<qint64> *origins)
{
    const QList<QTreeWidgetItem *> selected = lvwRecs->selectedItems();
    QList<int> rows;
    for (QTreeWidgetItem *item : selected)
        rows.append(lvwRecs->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        m_pending.removeAt(*row);
        const qint64 origin = m_origins.takeAt(*row);
        if (origins && origin)
            origins->prepend(origin);
    }
    // Without a current row the view does not select the neighbour of the removed one.
    lvwRecs->selectionModel()->clear();
    qDeleteAll(selected);
}

void TEntryPanel::AfterRowsChanged()
{
    UpdatePendingTotal();
    m_session.UpdateCommandStates();
}

// btnOutHelpClick / btnInHelpClick
void TEntryPanel::btnHelpClick()
{
    const QString name = m_twin == Twin::Out ? QStringLiteral(":/RES_HELP1") : QStringLiteral(":/RES_HELP2");
    Dialogs().Message(m_session.Window(), THi::FromLocalBytes(THi::ReadResourceText(name)),
                      QStringLiteral("帮助"), IDialogs::Icon::Information);
}

// btnOutCalcClick / btnInCalcClick
void TEntryPanel::btnCalcClick()
{
    if (!THi::RunCalculator())
        Dialogs().Message(m_session.Window(), QStringLiteral("未找到计算器程序"), QStringLiteral("计算器"),
                          IDialogs::Icon::Information);
}

// btnOutEditCatesClick / btnInEditCatesClick
void TEntryPanel::btnEditCatesClick()
{
    TDbMan &db = m_session.SessionDb();
    const QString user = m_session.SessionUser();
    bool saved = false;
    {
        TBusyScope busy(m_session, btnEditCates);
        auto dialog = std::make_unique<TfrmEditCate>(m_session.Window());
        dialog->CatesText = db.GetCates(user, CateKey());
        {
            const TCursorScope normal(Qt::ArrowCursor);
            saved = dialog->exec() == QDialog::Accepted;
        }
        if (saved) {
            dialog->hide();
            m_session.Window()->repaint();
            db.SetCates(user, CateKey(), dialog->CatesText);
            ReloadCates();
        }
    }
    if (saved)
        Dialogs().Message(m_session.Window(), QStringLiteral("成功！"), QStringLiteral("Tallyfern"),
                          IDialogs::Icon::Information);
    btnEditCates->setFocus();
}

void TEntryPanel::UpdatePendingTotal()
{
    TFen sum = 0;
    for (const TNewRecord &r : m_pending)
        sum += r.amount;
    lblTotal->setText(QStringLiteral("合计：%1").arg(FormatFen(sum)));
}

void TEntryPanel::AddToCateList(const QString &item)
{
    if (FindCate(CateEntries(), item) >= 0)
        return;
    cboCate->insertItem(0, item);
    try {
        m_session.SessionDb().SetCates(m_session.SessionUser(), CateKey(), CateEntriesToText(CateEntries()));
    } catch (...) {
        // The drop-down keeps showing what is stored; the next Add of the item tries again.
        cboCate->removeItem(0);
        throw;
    }
}

QStringList TEntryPanel::CateEntries() const
{
    QStringList entries;
    for (int i = 0; i < cboCate->count(); ++i)
        entries << cboCate->itemText(i);
    return entries;
}

void TEntryPanel::SetCateEntries(const QStringList &entries)
{
    // Replacing the entries leaves what the user typed in the field alone.
    const QString typed = cboCate->currentText();
    const QSignalBlocker block(cboCate);
    cboCate->clear();
    cboCate->addItems(entries);
    cboCate->setCurrentIndex(-1);
    cboCate->setEditText(typed);
}

void TEntryPanel::AddPendingRow(const QDate &date, const QString &item, TFen amount, const QString &notes,
                                qint64 origin)
{
    const TNewRecord record{date, TypeText(), THi::Trim(item), amount, THi::Trim(notes)};
    m_pending.append(record);
    m_origins.append(origin);
    auto *row = new QTreeWidgetItem(lvwRecs, {QString(), record.date.toString(QStringLiteral("yyyy-MM-dd")),
                                              record.type, record.item, FormatFen(record.amount), record.notes});
    row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    AfterRowsChanged();
}

bool TEntryPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The Enter chain: date -> item -> amount -> notes -> Add. Enter is consumed.
    if (IsEnterKey(event)) {
        if (watched == dtpDate) {
            cboCate->setFocus();
            return true;
        }
        if (watched == cboCate || watched == cboCate->lineEdit()) {
            edtAmount->setFocus();
            return true;
        }
        if (watched == edtAmount) {
            edtNotes->setFocus();
            return true;
        }
        if (watched == edtNotes) {
            RunGuarded(this, [this] { btnAddClick(); });
            return true;
        }
    }
    // The pending list reached by Tab shows which row Delete and Edit would take.
    if (watched == lvwRecs && event->type() == QEvent::FocusIn && lvwRecs->selectedItems().isEmpty() &&
        lvwRecs->topLevelItemCount() > 0 && static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason)
        lvwRecs->setCurrentItem(lvwRecs->currentItem() ? lvwRecs->currentItem() : lvwRecs->topLevelItem(0));
    // lvwOutRecsKeyUp / lvwInRecsKeyUp: Delete on a selected row.
    if (watched == lvwRecs && event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && !key->isAutoRepeat() && !lvwRecs->selectedItems().isEmpty()) {
            RunGuarded(this, [this] { DeleteSelectedRows(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TEntryPanel::UpdateCommandStates()
{
    const qsizetype selected = lvwRecs->selectedItems().size();
    btnSave->setEnabled(RowCount(lvwRecs) > 0);
    btnEdit->setEnabled(selected == 1);
    btnDelete->setEnabled(selected > 0);
}
