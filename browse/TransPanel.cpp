#include "browse/TransPanel.h"
#include "app/ListView.h"
#include "app/Session.h"

#include <QAction>
#include <QCursor>
#include <QDateEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace {
QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, 74, 23);
    return b;
}
} // namespace

TTransPanel::TTransPanel(ISession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("pnlTransactions"));
    dtpTransDate1 = new QDateEdit(this);
    dtpTransDate1->setObjectName(QStringLiteral("dtpTransDate1"));
    dtpTransDate1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpTransDate1->setCalendarPopup(true);
    dtpTransDate1->setGeometry(12, 10, 155, 21);
    dtpTransDate2 = new QDateEdit(this);
    dtpTransDate2->setObjectName(QStringLiteral("dtpTransDate2"));
    dtpTransDate2->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpTransDate2->setCalendarPopup(true);
    dtpTransDate2->setGeometry(187, 10, 155, 21);
    btnTransSearch = MakeButton(this, "btnTransSearch", QStringLiteral("查看(&S)"), 348, 9);

    QFont bold = font();
    bold.setBold(true);
    QPalette maroon = palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    rdoTransTransactions = new QRadioButton(QStringLiteral("收支记录明细"), this);
    rdoTransTransactions->setObjectName(QStringLiteral("rdoTransTransactions"));
    rdoTransCategories = new QRadioButton(QStringLiteral("收支项目排行"), this);
    rdoTransCategories->setObjectName(QStringLiteral("rdoTransCategories"));
    int x = 472;
    for (QRadioButton *r : {rdoTransTransactions, rdoTransCategories}) {
        r->setFont(bold);
        r->setPalette(maroon);
        r->setGeometry(x, 12, 110, 17);
        x = 588;
        connect(r, &QRadioButton::toggled, this, [this](bool) { rdoTransTransactionsClick(); });
    }

    pnlTransTransactions = new QWidget(this);
    pnlTransTransactions->setObjectName(QStringLiteral("pnlTransTransactions"));
    pnlTransTransactions->setGeometry(0, 40, 696, 405);
    lvwTrans = CreateListView(pnlTransTransactions, QStringLiteral("lvwTrans"),
                              {{QStringLiteral("日期"), 80},
                               {QStringLiteral("项目"), 200},
                               {QStringLiteral("收入"), 80, true},
                               {QStringLiteral("支出"), 80, true},
                               {QStringLiteral("备注"), 200}});
    lvwTrans->setGeometry(12, 162, 672, 200);
    btnTransDelete = MakeButton(pnlTransTransactions, "btnTransDelete", QStringLiteral("删除(&D)"), 450, 370);
    btnTransEdit = MakeButton(pnlTransTransactions, "btnTransEdit", QStringLiteral("编辑(&E)"), 530, 370);
    btnTransMore = MakeButton(pnlTransTransactions, "btnTransMore", QStringLiteral("更多(&M)..."), 610, 370);

    pnlTransCategories = new QWidget(this);
    pnlTransCategories->setObjectName(QStringLiteral("pnlTransCategories"));
    pnlTransCategories->setGeometry(0, 40, 696, 405);
    lvwInCates = CreateListView(pnlTransCategories, QStringLiteral("lvwInCates"),
                                {{QStringLiteral("类别"), 80},
                                 {QStringLiteral("项目"), 320},
                                 {QStringLiteral("数量"), 80, true},
                                 {QStringLiteral("收入"), 80, true},
                                 {QStringLiteral("0 - 100%"), 80, true}});
    lvwInCates->setGeometry(12, 0, 672, 154);
    lvwOutCates = CreateListView(pnlTransCategories, QStringLiteral("lvwOutCates"),
                                 {{QStringLiteral("类别"), 80},
                                  {QStringLiteral("项目"), 320},
                                  {QStringLiteral("数量"), 80, true},
                                  {QStringLiteral("支出"), 80, true},
                                  {QStringLiteral("0 - 100%"), 80, true}});
    lvwOutCates->setGeometry(12, 162, 672, 200);
    btnMoreInfo = MakeButton(pnlTransCategories, "btnMoreInfo", QStringLiteral("详情(&M)"), 450, 370);
    btnCatesExport = MakeButton(pnlTransCategories, "btnCatesExport", QStringLiteral("导出(&E)..."), 530, 370);
    btnCatesPrint = MakeButton(pnlTransCategories, "btnCatesPrint", QStringLiteral("打印(&P)"), 610, 370);

    mnuTransMenu = new QMenu(this);
    mnuTransMenu->setObjectName(QStringLiteral("mnuTransMenu"));
    btnTransMore_ToXls = mnuTransMenu->addAction(QStringLiteral("导出为Excel文件(*.xls)"));
    btnTransMore_ToXls->setObjectName(QStringLiteral("btnTransMore_ToXls"));
    btnTransMore_ToHtml = mnuTransMenu->addAction(QStringLiteral("导出为网页文件(*.html)"));
    btnTransMore_ToHtml->setObjectName(QStringLiteral("btnTransMore_ToHtml"));
    mnuTransMenu->addSeparator();
    btnTransMore_Print = mnuTransMenu->addAction(QStringLiteral("打印"));
    btnTransMore_Print->setObjectName(QStringLiteral("btnTransMore_Print"));
    mnuCatesExport = new QMenu(this);
    mnuCatesExport->setObjectName(QStringLiteral("mnuCatesExport"));
    mnuCatesExport_ToXls = mnuCatesExport->addAction(QStringLiteral("导出为Excel文件(*.xls)"));
    mnuCatesExport_ToXls->setObjectName(QStringLiteral("mnuCatesExport_ToXls"));
    mnuCatesExport_ToHtml = mnuCatesExport->addAction(QStringLiteral("导出为网页文件(*.html)"));
    mnuCatesExport_ToHtml->setObjectName(QStringLiteral("mnuCatesExport_ToHtml"));
    connect(btnTransMore, &QPushButton::clicked, this, [this] { mnuTransMenu->popup(QCursor::pos()); });
    connect(btnCatesExport, &QPushButton::clicked, this, [this] { mnuCatesExport->popup(QCursor::pos()); });
}

void TTransPanel::rdoTransTransactionsClick()
{
    pnlTransTransactions->setVisible(rdoTransTransactions->isChecked());
    pnlTransCategories->setVisible(rdoTransCategories->isChecked());
}

void TTransPanel::StartUp()
{
    const QDate today = QDate::currentDate();
    dtpTransDate1->setDate(today.addDays(1 - today.day()));
    dtpTransDate2->setDate(today);
}
