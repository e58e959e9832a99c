#include "entry/EntryPanel.h"
#include "app/HiClass.h"
#include "app/ListView.h"
#include "app/Session.h"
#include "store/DbClass.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TEntryPanel::TEntryPanel(ISession &session, Twin twin, QWidget *parent)
    : QWidget(parent), m_session(session), m_twin(twin)
{
    setObjectName(twin == Twin::Out ? QStringLiteral("pnlExpense") : QStringLiteral("pnlIncome"));
    dtpDate = new QDateEdit(this);
    dtpDate->setObjectName(Name("dtp", "Date"));
    dtpDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpDate->setCalendarPopup(true);
    dtpDate->setGeometry(293, 10, 311, 21);
    cboCate = new QComboBox(this);
    cboCate->setObjectName(Name("cbo", "Cate"));
    cboCate->setEditable(true);
    cboCate->setGeometry(293, 40, 311, 21);
    edtAmount = new QLineEdit(this);
    edtAmount->setObjectName(Name("edt", "Amount"));
    edtAmount->setGeometry(293, 70, 311, 21);
    edtNotes = new QLineEdit(this);
    edtNotes->setObjectName(Name("edt", "Notes"));
    edtNotes->setGeometry(293, 101, 311, 21);
    btnAdd = new QPushButton(QStringLiteral("添加(&A)"), this);
    btnAdd->setObjectName(Name("btn", "Add"));
    btnAdd->setGeometry(610, 100, 74, 23);
    lvwRecs = CreateListView(this, Name("lvw", "Recs"),
                             {{QStringLiteral("日期"), 80},
                              {QStringLiteral("类别"), 80},
                              {QStringLiteral("项目"), 180},
                              {QStringLiteral("金额"), 80, true},
                              {QStringLiteral("备注"), 220}});
    lvwRecs->setGeometry(12, 135, 672, 267);
    lblTotal = new QLabel(this);
    lblTotal->setObjectName(Name("lbl", "Total"));
    lblTotal->move(12, 415);
    btnDelete = new QPushButton(QStringLiteral("删除(&D)"), this);
    btnDelete->setObjectName(Name("btn", "Delete"));
    btnDelete->setGeometry(450, 410, 74, 23);
    btnEdit = new QPushButton(QStringLiteral("编辑(&E)"), this);
    btnEdit->setObjectName(Name("btn", "Edit"));
    btnEdit->setGeometry(530, 410, 74, 23);
    btnSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    btnSave->setObjectName(Name("btn", "Save"));
    btnSave->setGeometry(610, 410, 74, 23);
    connect(lvwRecs, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_session.UpdateCommandStates(); });
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

void TEntryPanel::StartUp()
{
    dtpDate->setDate(QDate::currentDate());
    const QString list = m_session.SessionDb().GetCates(m_session.SessionUser(), CateKey());
    cboCate->clear();
    if (!list.isEmpty())
        cboCate->addItems(list.split(QStringLiteral("\r\n")));
    cboCate->setEditText(QString());
    lblTotal->setText(QStringLiteral("合计：0.00"));
    btnAdd->setEnabled(false);
}
