#include "import/ImportSettingsForm.h"
#include "widgets/Dialogs.h"
#include "base/HiClass.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewRows = 30;
const QString kNone = QStringLiteral("（无）");

QComboBox *NamedCombo(QWidget *parent, const char *name)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setMinimumContentsLength(10);
    return combo;
}

QString Chosen(const QComboBox *combo)
{
    return combo->currentIndex() > 0 ? combo->currentText() : QString();
}

} // namespace

TfrmImportSettings::TfrmImportSettings(const QByteArray &bytes, QWidget *parent) : QDialog(parent), m_bytes(bytes)
{
    setObjectName(QStringLiteral("frmImportSettings"));
    setWindowTitle(QStringLiteral("导入设置"));
    resize(900, 600);

    cboEncoding = NamedCombo(this, "cboEncoding");
    cboEncoding->addItems({QStringLiteral("GB18030"), QStringLiteral("UTF-8"), QStringLiteral("UTF-16")});
    const TTextEncoding guessed = GuessEncoding(bytes);
    cboEncoding->setCurrentIndex(guessed == TTextEncoding::Gb18030 ? 0 : guessed == TTextEncoding::Utf8 ? 1 : 2);
    spnHeader = new QSpinBox(this);
    spnHeader->setObjectName(QStringLiteral("spnHeader"));
    spnHeader->setRange(1, kPreviewRows);
    lvwPreview = new QTableWidget(this);
    lvwPreview->setObjectName(QStringLiteral("lvwPreview"));
    lvwPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control; the arrow keys move between its cells.
    lvwPreview->setTabKeyNavigation(false);
    lvwPreview->setAccessibleName(QStringLiteral("文件的前 30 行"));
    lvwPreview->setAccessibleDescription(QStringLiteral("所选文件开头的内容，一行一条"));
    cboDate = NamedCombo(this, "cboDate");
    edtDatePattern = new QLineEdit(this);
    edtDatePattern->setObjectName(QStringLiteral("edtDatePattern"));
    edtDatePattern->setPlaceholderText(QStringLiteral("自动识别，或如 yyyy/M/d"));
    edtDatePattern->setAccessibleName(QStringLiteral("日期格式"));
    cboItem = NamedCombo(this, "cboItem");
    lvwNotes = new QListWidget(this);
    lvwNotes->setObjectName(QStringLiteral("lvwNotes"));
    lvwNotes->setMaximumHeight(90);
    lvwNotes->setAccessibleName(QStringLiteral("备注列"));
    lvwNotes->setAccessibleDescription(QStringLiteral("勾选合并为备注的列"));
    rdoSigned = new QRadioButton(QStringLiteral("一列金额（支出为负数）"), this);
    rdoSigned->setObjectName(QStringLiteral("rdoSigned"));
    rdoSigned->setChecked(true);
    rdoSeparate = new QRadioButton(QStringLiteral("收入、支出各一列"), this);
    rdoSeparate->setObjectName(QStringLiteral("rdoSeparate"));
    cboAmount = NamedCombo(this, "cboAmount");
    cboIncome = NamedCombo(this, "cboIncome");
    cboExpense = NamedCombo(this, "cboExpense");
    lblPlan = new QLabel(this);
    lblPlan->setObjectName(QStringLiteral("lblPlan"));
    btnSavePlan = new QPushButton(QStringLiteral("保存为方案"), this);
    btnSavePlan->setObjectName(QStringLiteral("btnSavePlan"));
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("编码："), cboEncoding);
    form->addRow(QStringLiteral("表头所在行："), spnHeader);
    auto *date = new QHBoxLayout;
    date->addWidget(cboDate, 1);
    date->addWidget(edtDatePattern, 1);
    form->addRow(QStringLiteral("日期："), date);
    form->addRow(QStringLiteral("项目："), cboItem);
    form->addRow(QStringLiteral("备注（可多选）："), lvwNotes);
    auto *amount = new QGridLayout;
    amount->addWidget(rdoSigned, 0, 0);
    amount->addWidget(cboAmount, 0, 1, 1, 2);
    amount->addWidget(rdoSeparate, 1, 0);
    amount->addWidget(cboIncome, 1, 1);
    amount->addWidget(cboExpense, 1, 2);
    form->addRow(QStringLiteral("金额："), amount);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(btnSavePlan);
    bottom->addWidget(lblPlan, 1);
    bottom->addWidget(btnOk);
    bottom->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvwPreview, 1);
    layout->addLayout(form);
    layout->addLayout(bottom);

    LoadPreview();
    connect(cboEncoding, &QComboBox::currentIndexChanged, this, [this] { LoadPreview(); });
    connect(spnHeader, &QSpinBox::valueChanged, this, [this] { FillColumns(); });
    for (QComboBox *c : {cboDate, cboAmount, cboIncome, cboExpense})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateState(); });
    connect(rdoSigned, &QRadioButton::toggled, this, [this] { UpdateState(); });
    connect(btnSavePlan, &QPushButton::clicked, this, &TfrmImportSettings::btnSavePlanClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmImportSettings::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmImportSettings::LoadPreview()
{
    m_rows.clear();
    bool date1904 = false;
    try {
        m_rows = ReadTableRows(m_bytes, Encoding(), kPreviewRows, &m_sheet, &date1904);
    } catch (const TError &e) {
        Dialogs().Message(this, e.message() + QStringLiteral("。"), windowTitle(), IDialogs::Icon::Warning);
    }
    cboEncoding->setEnabled(!m_sheet);
    int columns = 0;
    for (const TTableRow &r : m_rows)
        columns = qMax(columns, int(r.cells.size()));
    lvwPreview->clear();
    lvwPreview->setRowCount(int(m_rows.size()));
    lvwPreview->setColumnCount(columns);
    for (int r = 0; r < m_rows.size(); ++r)
        for (int c = 0; c < m_rows.at(r).cells.size(); ++c)
            lvwPreview->setItem(r, c, new QTableWidgetItem(m_rows.at(r).cells.at(c).left(200)));
    spnHeader->setMaximum(qMax(1, int(m_rows.size())));
    // The header is the first line with as many filled cells as the widest line.
    for (int r = 0; r < m_rows.size(); ++r) {
        int filled = 0;
        for (const QString &c : m_rows.at(r).cells)
            filled += c.isEmpty() ? 0 : 1;
        if (filled >= columns && columns > 0) {
            spnHeader->setValue(r + 1);
            break;
        }
    }
    FillColumns();
}

void TfrmImportSettings::FillColumns()
{
    const QStringList header = Header();
    QStringList names;
    for (const QString &h : header)
        if (!h.isEmpty() && !names.contains(h))
            names << h;
    for (QComboBox *c : {cboDate, cboItem, cboAmount, cboIncome, cboExpense}) {
        c->blockSignals(true);
        c->clear();
        c->addItem(kNone);
        c->addItems(names);
        c->blockSignals(false);
    }
    lvwNotes->clear();
    for (const QString &n : names) {
        auto *item = new QListWidgetItem(n, lvwNotes);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    // Guesses by the usual words; the user corrects them.
    auto guess = [&](QComboBox *combo, std::initializer_list<const char16_t *> words) {
        for (const char16_t *w : words)
            for (int i = 1; i < combo->count(); ++i)
                if (combo->itemText(i).contains(QString::fromUtf16(w))) {
                    combo->setCurrentIndex(i);
                    return;
                }
    };
    guess(cboDate, {u"日期", u"时间"});
    guess(cboItem, {u"分类", u"类别", u"项目", u"用途"});
    guess(cboAmount, {u"金额"});
    guess(cboIncome, {u"收入"});
    guess(cboExpense, {u"支出"});
    UpdateState();
}

QStringList TfrmImportSettings::Header() const
{
    const int index = HeaderIndex();
    return index >= 0 && index < m_rows.size() ? m_rows.at(index).cells : QStringList();
}

int TfrmImportSettings::HeaderIndex() const { return spnHeader->value() - 1; }

TTextEncoding TfrmImportSettings::Encoding() const
{
    return cboEncoding->currentIndex() == 0 ? TTextEncoding::Gb18030
           : cboEncoding->currentIndex() == 1 ? TTextEncoding::Utf8
                                              : TTextEncoding::Utf16;
}

TImportMapping TfrmImportSettings::Mapping() const
{
    TImportMapping m;
    m.date = Chosen(cboDate);
    m.datePattern = THi::Trim(edtDatePattern->text());
    if (rdoSigned->isChecked()) {
        m.amount = Chosen(cboAmount);
    } else {
        m.income = Chosen(cboIncome);
        m.expense = Chosen(cboExpense);
    }
    if (!Chosen(cboItem).isEmpty())
        m.item = {Chosen(cboItem)};
    for (int i = 0; i < lvwNotes->count(); ++i)
        if (lvwNotes->item(i)->checkState() == Qt::Checked)
            m.notes << lvwNotes->item(i)->text();
    return m;
}

void TfrmImportSettings::UpdateState()
{
    cboAmount->setEnabled(rdoSigned->isChecked());
    cboIncome->setEnabled(!rdoSigned->isChecked());
    cboExpense->setEnabled(!rdoSigned->isChecked());
    const TImportMapping m = Mapping();
    const bool complete = !m.date.isEmpty() && (!m.amount.isEmpty() || (!m.income.isEmpty() && !m.expense.isEmpty()));
    btnOk->setEnabled(complete);
    btnSavePlan->setEnabled(complete);
}

void TfrmImportSettings::btnSavePlanClick()
{
    QString name = m_planName;
    if (!Dialogs().InputText(this, QStringLiteral("保存为方案"), QStringLiteral("方案名称："), name, false))
        return;
    name = THi::Trim(name);
    if (name.isEmpty())
        return;
    m_planName = name.left(100);
    lblPlan->setText(QStringLiteral("导入时保存为方案“%1”").arg(m_planName));
}

void TfrmImportSettings::btnOkClick()
{
    if (btnOk->isEnabled())
        accept();
}
