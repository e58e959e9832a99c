#include "browse/TransPanel.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "base/HiClass.h"
#include "widgets/ListView.h"
#include "widgets/Session.h"
#include "browse/ExportCommands.h"
#include "browse/FindRecords.h"
#include "browse/MoreInfoForm.h"
#include "charts/ChartView.h"
#include "browse/PrintCommands.h"
#include "browse/RowsView.h"
#include "output/ListTexts.h"
#include "store/CateLists.h"
#include "entry/EditRecForm.h"
#include "store/TextLimits.h"

#include <QAction>
#include <QCursor>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

const QColor kDayColour(224, 255, 224);
const QColor kMaroon(128, 0, 0);
const QColor kNavy(0, 0, 128);
const QString kYmd = QStringLiteral("yyyy-MM-dd");

// The field of the records list that holds the date (the first field is the id column).
const int kRecDate = 1;

// Day or month totals, formatted field by field as a view asks: the key (a date or a
// month), income, expense.
TFieldText PeriodText(QList<TPeriodTotal> totals, QString (*key)(const QDate &))
{
    return [totals = std::move(totals), key](int row, int field) {
        const TPeriodTotal &t = totals[row];
        switch (field) {
        case 0:
            return key(t.date);
        case 1:
            return FormatFen(t.in);
        case 2:
            return FormatFen(t.out);
        default:
            return QString();
        }
    };
}

// Ranked items as the ranking lists show them: type, item, count, sum, share.
TFieldText RankText(QList<TRankRow> ranking, TFen total)
{
    return [ranking = std::move(ranking), total](int row, int field) {
        const TRankTexts t = RankTexts(ranking[row], total);
        switch (field) {
        case 0:
            return t.type;
        case 1:
            return t.item;
        case 2:
            return t.count;
        case 3:
            return t.Sum();
        case 4:
            return t.share;
        default:
            return QString();
        }
    };
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, 74, 23);
    return b;
}

QDateEdit *MakeDatePicker(QWidget *parent, const char *name, int x)
{
    auto *d = new QDateEdit(parent);
    d->setObjectName(QString::fromLatin1(name));
    d->setDisplayFormat(kYmd);
    d->setCalendarPopup(true);
    d->setGeometry(x, 10, 130, 21);
    return d;
}

QLabel *MakeTotalsLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    label->setPalette(pal);
    label->move(12, 375);
    return label;
}

// A container that stacks its contents from top to bottom and fills itself with them.
QWidget *Stack(const char *name, const QList<QWidget *> &contents)
{
    auto *box = new QWidget;
    box->setObjectName(QString::fromLatin1(name));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QWidget *w : contents)
        layout->addWidget(w);
    return box;
}

// The chosen row of the current ranking list stays marked in navy while the focus is
// elsewhere, for example on "详情(&M)".
class TCurrentRowDelegate : public QStyledItemDelegate {
public:
    TCurrentRowDelegate(const TTransPanel &panel, QAbstractItemView *list)
        : QStyledItemDelegate(list), m_panel(panel), m_list(list)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_panel.CurrentCatesList() == m_list && SelectedRow(m_list) == index.row()) {
            option->state &= ~QStyle::State_Selected;
            option->backgroundBrush = kNavy;
            option->palette.setColor(QPalette::Text, Qt::white);
        }
    }

private:
    const TTransPanel &m_panel;
    QAbstractItemView *m_list;
};

} // namespace

TTransPanel::TTransPanel(ISession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("pnlTransactions"));
    CreateTopBar();
    CreateTransactions();
    CreateCategories();
    pnlTransCharts = new TChartView(m_session, this);
    pnlTransCharts->setGeometry(0, 40, 696, 405);
    CreateMenus();
    SetTabOrder();
    NameControls();
    Connect();
    ConnectExportCommands(m_session, *this);
    ConnectPrintCommands(m_session, *this);
}

void TTransPanel::CreateTopBar()
{
    dtpTransDate1 = MakeDatePicker(this, "dtpTransDate1", 12);
    lblTransTo = new QLabel(QStringLiteral("-"), this);
    lblTransTo->setObjectName(QStringLiteral("lblTransTo"));
    lblTransTo->move(148, 14);
    dtpTransDate2 = MakeDatePicker(this, "dtpTransDate2", 158);
    btnTransSearch = MakeButton(this, "btnTransSearch", QStringLiteral("查看(&S)"), 296, 9);

    QFont bold = font();
    bold.setBold(true);
    QPalette maroon = palette();
    maroon.setColor(QPalette::WindowText, kMaroon);
    rdoTransTransactions = new QRadioButton(QStringLiteral("收支记录明细"), this);
    rdoTransTransactions->setObjectName(QStringLiteral("rdoTransTransactions"));
    rdoTransCategories = new QRadioButton(QStringLiteral("收支项目排行"), this);
    rdoTransCategories->setObjectName(QStringLiteral("rdoTransCategories"));
    rdoTransCharts = new QRadioButton(QStringLiteral("收支图表"), this);
    rdoTransCharts->setObjectName(QStringLiteral("rdoTransCharts"));
    const int x[] = {384, 490, 596}, width[] = {104, 104, 96};
    int i = 0;
    for (QRadioButton *r : {rdoTransTransactions, rdoTransCategories, rdoTransCharts}) {
        r->setFont(bold);
        r->setPalette(maroon);
        r->setGeometry(x[i], 12, width[i], 17);
        ++i;
    }
}

void TTransPanel::SetTabOrder()
{
    // The span and the search, the sub-view, the totals, the records or the ranking, then
    // the commands below them; hidden sub-views drop out of the chain by themselves.
    QList<QWidget *> chain{dtpTransDate1, dtpTransDate2, btnTransSearch, rdoTransTransactions,
                           rdoTransCategories, rdoTransCharts, lvwDayTotal, lvwMonthTotal, TabSet1,
                           lvwTrans, btnTransDelete, btnTransEdit, btnTransMore, lvwInCates,
                           lvwOutCates, btnMoreInfo, btnCatesExport, btnCatesPrint};
    for (QWidget *w : pnlTransCharts->findChildren<QWidget *>())
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void TTransPanel::NameControls()
{
    const struct {
        QWidget *control;
        const char *name;
        const char *description;
    } named[] = {
        {dtpTransDate1, "开始日期", "查看的第一天"},
        {dtpTransDate2, "结束日期", "查看的最后一天"},
        {TabSet1, "统计方式", "按天或按月统计收支"},
        {lvwDayTotal, "按天统计", "所查期间每天的收入与支出合计"},
        {lvwMonthTotal, "按月统计", "所查期间每月的收入与支出合计"},
        {lvwTrans, "收支记录明细", "所查期间的每条收支记录：日期、项目、收入、支出、备注"},
        {lvwInCates, "收入项目排行", "所查期间各收入项目的笔数、合计与占比，合计大的在前"},
        {lvwOutCates, "支出项目排行", "所查期间各支出项目的笔数、合计与占比，合计大的在前"},
    };
    for (const auto &n : named) {
        n.control->setAccessibleName(QString::fromUtf8(n.name));
        n.control->setAccessibleDescription(QString::fromUtf8(n.description));
    }
    // The totals are plain text, read with the label's own text as its name.
    lblTransTotal->setAccessibleDescription(QStringLiteral("所查期间的收入、支出与结余合计"));
    lblCatesTotal->setAccessibleDescription(QStringLiteral("所查期间的收入、支出与结余合计"));
    lblTransTo->setAccessibleName(QStringLiteral("至"));
}

void TTransPanel::CreateTransactions()
{
    pnlTransTransactions = new QWidget(this);
    pnlTransTransactions->setObjectName(QStringLiteral("pnlTransTransactions"));
    pnlTransTransactions->setGeometry(0, 40, 696, 405);

    lvwDayTotal = CreateRowsView(nullptr, QStringLiteral("lvwDayTotal"),
                                 {{QStringLiteral("日期"), 220},
                                  {QStringLiteral("收入"), 210, true},
                                  {QStringLiteral("支出"), 210, true}});
    lvwMonthTotal = CreateRowsView(nullptr, QStringLiteral("lvwMonthTotal"),
                                   {{QStringLiteral("年-月"), 220},
                                    {QStringLiteral("收入"), 210, true},
                                    {QStringLiteral("支出"), 210, true}});
    lvwTrans = CreateRowsView(nullptr, QStringLiteral("lvwTrans"),
                              {{QString(), 0},
                               {QStringLiteral("日期"), 80},
                               {QStringLiteral("项目"), 180},
                               {QStringLiteral("收入"), 80, true},
                               {QStringLiteral("支出"), 80, true},
                               {QStringLiteral("备注"), 220}});

    // From top to bottom: the day or month totals, the tab strip, the splitter and the
    // records (200 high at the start).
    TabSet1 = new QTabBar;
    TabSet1->setObjectName(QStringLiteral("TabSet1"));
    TabSet1->setShape(QTabBar::RoundedSouth);
    TabSet1->setDrawBase(false);
    TabSet1->setExpanding(false);
    // A tab stop: the arrow keys switch between the day and the month totals.
    TabSet1->setFocusPolicy(Qt::StrongFocus);
    TabSet1->addTab(QStringLiteral("按天统计"));
    TabSet1->addTab(QStringLiteral("按月统计"));
    TabSet1->setFixedHeight(19);
    QPalette black = TabSet1->palette();
    black.setColor(QPalette::ButtonText, Qt::black);
    black.setColor(QPalette::WindowText, Qt::black);
    TabSet1->setPalette(black);
    pnlTrans1 = Stack("pnlTrans1", {lvwDayTotal, lvwMonthTotal});
    pnlTrans2 = Stack("pnlTrans2", {lvwTrans});
    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Stack("pnlTransUpper", {pnlTrans1, TabSet1}));
    Splitter1->addWidget(pnlTrans2);
    Splitter1->setSizes({160, 200});
    pnlTrans = Stack("pnlTrans", {Splitter1});
    pnlTrans->setParent(pnlTransTransactions);
    pnlTrans->setGeometry(12, 0, 672, 362);

    lblTransTotal = MakeTotalsLabel(pnlTransTransactions, "lblTransTotal");
    btnTransDelete = MakeButton(pnlTransTransactions, "btnTransDelete", QStringLiteral("删除(&D)"), 450, 370);
    btnTransEdit = MakeButton(pnlTransTransactions, "btnTransEdit", QStringLiteral("编辑(&E)"), 530, 370);
    btnTransMore = MakeButton(pnlTransTransactions, "btnTransMore", QStringLiteral("更多(&M)..."), 610, 370);
}

void TTransPanel::CreateCategories()
{
    pnlTransCategories = new QWidget(this);
    pnlTransCategories->setObjectName(QStringLiteral("pnlTransCategories"));
    pnlTransCategories->setGeometry(0, 40, 696, 405);

    lvwInCates = CreateRowsView(nullptr, QStringLiteral("lvwInCates"),
                                {{QStringLiteral("类别"), 80},
                                 {QStringLiteral("项目"), 320},
                                 {QStringLiteral("数量"), 80, true},
                                 {QStringLiteral("收入"), 80, true},
                                 {QStringLiteral("0 - 100%"), 80, true}});
    lvwOutCates = CreateRowsView(nullptr, QStringLiteral("lvwOutCates"),
                                 {{QStringLiteral("类别"), 80},
                                  {QStringLiteral("项目"), 320},
                                  {QStringLiteral("数量"), 80, true},
                                  {QStringLiteral("支出"), 80, true},
                                  {QStringLiteral("0 - 100%"), 80, true}});
    for (QTreeView *list : {lvwInCates, lvwOutCates})
        list->setItemDelegate(new TCurrentRowDelegate(*this, list));

    Splitter3 = new QSplitter(Qt::Vertical);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Splitter3->setHandleWidth(8);
    Splitter3->setChildrenCollapsible(false);
    Splitter3->addWidget(lvwInCates);
    Splitter3->addWidget(lvwOutCates);
    Splitter3->setSizes({154, 200});
    pnlCates = Stack("pnlCates", {Splitter3});
    pnlCates->setParent(pnlTransCategories);
    pnlCates->setGeometry(12, 0, 672, 362);

    lblCatesTotal = MakeTotalsLabel(pnlTransCategories, "lblCatesTotal");
    btnMoreInfo = MakeButton(pnlTransCategories, "btnMoreInfo", QStringLiteral("详情(&M)"), 450, 370);
    btnCatesExport = MakeButton(pnlTransCategories, "btnCatesExport", QStringLiteral("导出(&E)..."), 530, 370);
    btnCatesPrint = MakeButton(pnlTransCategories, "btnCatesPrint", QStringLiteral("打印(&P)"), 610, 370);
}

void TTransPanel::CreateMenus()
{
    mnuTransMenu = new QMenu(this);
    mnuTransMenu->setObjectName(QStringLiteral("mnuTransMenu"));
    btnTransMore_ToXls = mnuTransMenu->addAction(QStringLiteral("导出为Excel文件(*.xls)"));
    btnTransMore_ToXls->setObjectName(QStringLiteral("btnTransMore_ToXls"));
    btnTransMore_ToXlsx = mnuTransMenu->addAction(QStringLiteral("导出为Excel 2007文件(*.xlsx)"));
    btnTransMore_ToXlsx->setObjectName(QStringLiteral("btnTransMore_ToXlsx"));
    btnTransMore_ToCsv = mnuTransMenu->addAction(QStringLiteral("导出为CSV文件(*.csv)"));
    btnTransMore_ToCsv->setObjectName(QStringLiteral("btnTransMore_ToCsv"));
    btnTransMore_ToHtml = mnuTransMenu->addAction(QStringLiteral("导出为网页文件(*.html)"));
    btnTransMore_ToHtml->setObjectName(QStringLiteral("btnTransMore_ToHtml"));
    QAction *find = mnuTransMenu->addAction(QStringLiteral("查找..."));
    find->setObjectName(QStringLiteral("btnTransMore_Find"));
    auto *finder = new TRecordFinder(this, lvwTrans, pnlTrans2,
                                     [this]() -> const QList<TRecord> & { return m_result.records; });
    connect(find, &QAction::triggered, finder, Guarded(this, [finder] { finder->Find(); }));
    mnuTransMenu->addSeparator();
    btnTransMore_Print = mnuTransMenu->addAction(QStringLiteral("打印"));
    btnTransMore_Print->setObjectName(QStringLiteral("btnTransMore_Print"));
    mnuCatesExport = new QMenu(this);
    mnuCatesExport->setObjectName(QStringLiteral("mnuCatesExport"));
    mnuCatesExport_ToXls = mnuCatesExport->addAction(QStringLiteral("导出为Excel文件(*.xls)"));
    mnuCatesExport_ToXls->setObjectName(QStringLiteral("mnuCatesExport_ToXls"));
    mnuCatesExport_ToXlsx = mnuCatesExport->addAction(QStringLiteral("导出为Excel 2007文件(*.xlsx)"));
    mnuCatesExport_ToXlsx->setObjectName(QStringLiteral("mnuCatesExport_ToXlsx"));
    mnuCatesExport_ToCsv = mnuCatesExport->addAction(QStringLiteral("导出为CSV文件(*.csv)"));
    mnuCatesExport_ToCsv->setObjectName(QStringLiteral("mnuCatesExport_ToCsv"));
    mnuCatesExport_ToHtml = mnuCatesExport->addAction(QStringLiteral("导出为网页文件(*.html)"));
    mnuCatesExport_ToHtml->setObjectName(QStringLiteral("mnuCatesExport_ToHtml"));
}

void TTransPanel::Connect()
{
    for (QRadioButton *r : {rdoTransTransactions, rdoTransCategories, rdoTransCharts})
        connect(r, &QRadioButton::toggled, this, [this](bool) { rdoTransTransactionsClick(); });
    for (QDateEdit *d : {dtpTransDate1, dtpTransDate2})
        connect(d, &QDateEdit::dateChanged, this, [this] { dtpTransDate1Change(); });
    connect(btnTransSearch, &QPushButton::clicked, this,
            Guarded(this, [this] { btnTransSearchClick(btnTransSearch); }));
    connect(TabSet1, &QTabBar::currentChanged, this, [this] { TabSet1Click(); });
    for (QTreeView *list : {lvwDayTotal, lvwMonthTotal})
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, list] { lvwDayTotalSelectItem(list); });
    connect(lvwTrans->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { lvwTransSelectItem(); });
    lvwTrans->installEventFilter(this);
    connect(btnTransDelete, &QPushButton::clicked, this,
            Guarded(this, [this] { btnTransDeleteClick(btnTransDelete); }));
    connect(btnTransEdit, &QPushButton::clicked, this,
            Guarded(this, [this] { btnTransEditClick(btnTransEdit); }));
    connect(btnTransMore, &QPushButton::clicked, this, [this] { btnTransMoreClick(); });

    for (QTreeView *list : {lvwInCates, lvwOutCates}) {
        list->installEventFilter(this);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, list] { lvwCatesMakeCurrent(list); });
        connect(list, &QAbstractItemView::doubleClicked, this,
                Guarded(this, [this, list] { lvwCatesDblClick(list); }));
    }
    connect(btnMoreInfo, &QPushButton::clicked, this,
            Guarded(this, [this] { btnMoreInfoClick(btnMoreInfo); }));
    connect(btnCatesExport, &QPushButton::clicked, this, [this] { btnCatesExportClick(); });
    connect(pnlTransCharts, &TChartView::itemActivated, this, [this](const QString &type, const QString &item) {
        const QList<TRankRow> &ranking = type == kTypeIn ? m_result.inRanking : m_result.outRanking;
        for (const TRankRow &rank : ranking)
            if (rank.item == item)
                return RunGuarded(m_session.Window(), [this, rank] { ShowItemDetails(rank, pnlTransCharts); });
    });
    connect(pnlTransCharts, &TChartView::restActivated, this, [this](const QString &type, const QString &first) {
        ShowRankedItem(type, first);
    });
    connect(pnlTransCharts, &TChartView::monthActivated, this, [this](const QDate &month) { ShowMonthRecords(month); });
    connect(pnlTransCharts, &TChartView::rangeChosen, this, [this](const QDate &from, const QDate &to) {
        dtpTransDate1->setDate(from);
        dtpTransDate2->setDate(to);
        RunGuarded(m_session.Window(), [this] { btnTransSearchClick(btnTransSearch); });
    });
}

void TTransPanel::ShowRankedItem(const QString &type, const QString &item)
{
    rdoTransCategories->setChecked(true);
    QTreeView *list = type == kTypeIn ? lvwInCates : lvwOutCates;
    const QList<TRankRow> &ranking = type == kTypeIn ? m_result.inRanking : m_result.outRanking;
    for (int row = 0; row < ranking.size(); ++row)
        if (ranking[row].item == item) {
            list->setCurrentIndex(list->model()->index(row, 1));
            list->scrollTo(list->currentIndex());
            break;
        }
    list->setFocus();
}

void TTransPanel::ShowMonthRecords(const QDate &month)
{
    rdoTransTransactions->setChecked(true);
    TabSet1->setCurrentIndex(1);
    lvwMonthTotal->clearSelection();
    for (int row = 0; row < m_result.months.size(); ++row)
        if (m_result.months[row].date == month) {
            lvwMonthTotal->setCurrentIndex(lvwMonthTotal->model()->index(row, 1));
            lvwMonthTotal->scrollTo(lvwMonthTotal->currentIndex());
            break;
        }
}

void TTransPanel::StartUp()
{
    rdoTransTransactions->setChecked(true);
    rdoTransTransactionsClick();
    const QDate today = QDate::currentDate();
    dtpTransDate1->setDate(today.addDays(1 - today.day()));
    dtpTransDate2->setDate(today);
    m_selectedDayKey.clear();
    ShowPeriodTotals(0, 0);
    dtpTransDate1Change();
    TabSet1Click();
}

void TTransPanel::rdoTransTransactionsClick()
{
    pnlTransTransactions->setVisible(rdoTransTransactions->isChecked());
    pnlTransCategories->setVisible(rdoTransCategories->isChecked());
    pnlTransCharts->setVisible(rdoTransCharts->isChecked());
}

void TTransPanel::dtpTransDate1Change()
{
    // The pickers hold whole days, so the dates compare as they are.
    btnTransSearch->setEnabled(dtpTransDate1->date() <= dtpTransDate2->date());
}

void TTransPanel::btnTransSearchClick(QPushButton *invoker)
{
    // A search after Delete or Edit is skipped while the range is reversed.
    if (!invoker->isEnabled())
        return;
    // Even after an error the buttons follow what the lists hold.
    const auto refresh = qScopeGuard([this] { m_session.UpdateCommandStates(); });
    {
        TBusyScope busy(m_session, invoker);
        m_selectedDayKey.clear();
        // The refilled ranking lists have nothing selected, so there is no detail to show.
        m_currentCatesList = nullptr;
        // A failed search leaves empty lists and zero totals for its range, never the
        // previous result.
        TSearchResult empty;
        empty.fromDate = dtpTransDate1->date();
        empty.toDate = dtpTransDate2->date();
        ShowResult(std::move(empty));
        ShowResult(m_session.SessionDb().Search(m_session.SessionUser(), m_result.fromDate,
                                                m_result.toDate));
        ShowPeriodTotals(m_result.inTotal, m_result.outTotal);
    }
    invoker->setFocus();
}

void TTransPanel::ShowResult(TSearchResult result)
{
    m_result = std::move(result);
    // The lists share the result's rows and format only the rows they show.
    RowsModel(lvwDayTotal)->SetSource(int(m_result.days.size()), PeriodText(m_result.days, DateText));
    RowsModel(lvwMonthTotal)->SetSource(int(m_result.months.size()), PeriodText(m_result.months, MonthText));
    RowsModel(lvwTrans)->SetSource(int(m_result.records.size()),
                                   [records = m_result.records](int row, int field) {
                                       const TRecord &r = records[row];
                                       if (field == 0)
                                           return QString::number(r.id);
                                       const TRecordTexts t = RecordTexts(r);
                                       const QString texts[] = {t.date, t.item, t.in, t.out, t.notes};
                                       return field <= 5 ? texts[field - 1] : QString();
                                   });
    RowsModel(lvwTrans)->SetMarkedDay(kRecDate, m_selectedDayKey, kDayColour);
    RowsModel(lvwOutCates)->SetSource(int(m_result.outRanking.size()),
                                      RankText(m_result.outRanking, m_result.outTotal));
    RowsModel(lvwInCates)->SetSource(int(m_result.inRanking.size()),
                                     RankText(m_result.inRanking, m_result.inTotal));
    pnlTransCharts->ShowResult(m_result);
}

void TTransPanel::ShowPeriodTotals(TFen income, TFen expense)
{
    const QString text = QStringLiteral("收入合计：%1    支出合计：%2    结余合计：%3")
                             .arg(FormatFen(income), FormatFen(expense), FormatFen(income - expense));
    for (QLabel *label : {lblTransTotal, lblCatesTotal}) {
        label->setText(text);
        label->adjustSize();
    }
}

void TTransPanel::TabSet1Click()
{
    const bool days = TabSet1->currentIndex() == 0;
    lvwDayTotal->setVisible(days);
    lvwMonthTotal->setVisible(!days);
}

void TTransPanel::lvwDayTotalSelectItem(QAbstractItemView *list)
{
    const int row = SelectedRow(list);
    if (row < 0)
        m_selectedDayKey.clear();
    else if (list == lvwDayTotal)
        m_selectedDayKey = DateText(m_result.days.value(row).date);
    else
        m_selectedDayKey = MonthText(m_result.months.value(row).date);
    TRowsModel *records = RowsModel(lvwTrans);
    records->SetMarkedDay(kRecDate, m_selectedDayKey, kDayColour);
    if (m_selectedDayKey.isEmpty())
        return;
    const int first = records->FirstMarkedRow();
    if (first < 0)
        return;
    // The first record of the day at the top, or as near to it as the list scrolls; no
    // record stays selected, so the marked day is what the user sees.
    lvwTrans->scrollTo(records->index(first, kRecDate + 1), QAbstractItemView::PositionAtTop);
    lvwTrans->clearSelection();
}

void TTransPanel::lvwTransSelectItem()
{
    m_session.UpdateCommandStates();
}

const TRecord *TTransPanel::SelectedRecord() const
{
    const int row = SelectedRow(lvwTrans);
    return row >= 0 && row < m_result.records.size() ? &m_result.records[row] : nullptr;
}

const TRankRow *TTransPanel::SelectedRank(const QAbstractItemView *list) const
{
    const QList<TRankRow> &ranking = list == lvwInCates ? m_result.inRanking : m_result.outRanking;
    const int row = SelectedRow(list);
    return row >= 0 && row < ranking.size() ? &ranking[row] : nullptr;
}

void TTransPanel::btnTransDeleteClick(QPushButton *invoker)
{
    const TRecord *selected = SelectedRecord();
    if (!selected)
        return;
    const qint64 id = selected->id;
    if (!ConfirmDestructive(m_session.Window(), QStringLiteral("您真的想要删除它吗？")))
        return;
    {
        TBusyScope busy(m_session, invoker);
        m_session.SessionDb().DeleteRecord(QString::number(id));
    }
    invoker->setFocus();
    m_session.UpdateCommandStates();
    btnTransSearchClick(btnTransSearch);
}

void TTransPanel::btnTransEditClick(QPushButton *invoker)
{
    const TRecord *selected = SelectedRecord();
    if (!selected)
        return;
    // A copy: the dialogs below may let the lists change.
    const TRecord record = *selected;
    if (IsShortenedText(record.item) || IsShortenedText(record.notes)) {
        Dialogs().Message(m_session.Window(),
                          QStringLiteral("这条记录的项目或备注超过 %1 个字符，只显示了开头部分。"
                                         "为了不丢失其余的内容，不能编辑这条记录。").arg(kLongestText),
                          QStringLiteral("编辑"), IDialogs::Icon::Warning);
        return;
    }
    if (!Confirm(m_session.Window(), QStringLiteral("您真的想要编辑它吗？")))
        return;
    // Editing never changes the type: a record with an income amount stays income.
    const bool income = record.IsIncome();
    QString date, item, amount, notes;
    {
        const TRecordTexts shown = RecordTexts(record);
        TfrmEditRec dialog(m_session.Window());
        dialog.RecDate = shown.date;
        dialog.RecCate = shown.item;
        dialog.RecAmount = income ? shown.in : shown.out;
        dialog.RecNotes = shown.notes;
        dialog.RecCateEntries = CateTextToEntries(m_session.SessionDb().GetCates(
            m_session.SessionUser(), income ? QStringLiteral("in") : QStringLiteral("out")));
        if (dialog.exec() != QDialog::Accepted)
            return;
        date = dialog.RecDate;
        item = dialog.RecCate;
        amount = dialog.RecAmount;
        notes = dialog.RecNotes;
    }
    {
        TBusyScope busy(m_session, invoker);
        // Delete and re-add stand or fall together, so a failure never loses the record.
        m_session.SessionDb().ChangeRecord(QString::number(record.id), m_session.SessionUser(),
                                           date, income ? kTypeIn : kTypeOut, item, amount, notes);
    }
    invoker->setFocus();
    m_session.UpdateCommandStates();
    btnTransSearchClick(btnTransSearch);
}

void TTransPanel::btnTransMoreClick()
{
    PopUpBelow(mnuTransMenu, btnTransMore);
}

void TTransPanel::PopUpBelow(QMenu *menu, QPushButton *button)
{
    // A click opens the menu at the pointer; a key (the mnemonic, Space) below the button,
    // with its first entry highlighted.
    if (button->rect().contains(button->mapFromGlobal(QCursor::pos()))) {
        menu->popup(QCursor::pos());
        return;
    }
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    for (QAction *action : menu->actions())
        if (!action->isSeparator() && action->isEnabled()) {
            menu->setActiveAction(action);
            break;
        }
}

void TTransPanel::lvwCatesMakeCurrent(QAbstractItemView *list)
{
    m_currentCatesList = HasSelection(list) ? list : nullptr;
    lvwInCates->viewport()->update();
    lvwOutCates->viewport()->update();
    m_session.UpdateCommandStates();
}

void TTransPanel::lvwCatesDblClick(QAbstractItemView *list)
{
    if (HasSelection(list))
        btnMoreInfoClick(btnMoreInfo);
}

void TTransPanel::btnMoreInfoClick(QPushButton *invoker)
{
    const TRankRow *selected = SelectedRank(m_currentCatesList);
    if (!selected)
        return;
    ShowItemDetails(*selected, invoker);
}

void TTransPanel::ShowItemDetails(TRankRow rank, QWidget *invoker)
{
    TfrmMoreInfo dialog(m_session.Window());
    {
        TBusyScope busy(m_session, invoker);
        dialog.setWindowTitle(
            QStringLiteral("数量：%1  合计：%2").arg(QString::number(rank.count), FormatFen(rank.sum)));
        // The range the pickers show now, which may differ from the last search.
        dialog.ShowRecords(rank.type == kTypeIn ? kTypeIn : kTypeOut,
                           m_session.SessionDb().GetCateRecords(m_session.SessionUser(), dtpTransDate1->date(),
                                                                dtpTransDate2->date(), rank.type, rank.item));
    }
    dialog.exec();
    invoker->setFocus();
    m_session.UpdateCommandStates();
}

TTransPanel::TExportEntries TTransPanel::RecordsExportEntries() const
{
    return {btnTransMore_ToXls, btnTransMore_ToXlsx, btnTransMore_ToCsv, btnTransMore_ToHtml};
}

TTransPanel::TExportEntries TTransPanel::RankingExportEntries() const
{
    return {mnuCatesExport_ToXls, mnuCatesExport_ToXlsx, mnuCatesExport_ToCsv, mnuCatesExport_ToHtml};
}

void TTransPanel::btnCatesExportClick()
{
    PopUpBelow(mnuCatesExport, btnCatesExport);
}

bool TTransPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvwTrans && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete) {
            if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat() && HasSelection(lvwTrans))
                RunGuarded(m_session.Window(), [this] { btnTransDeleteClick(btnTransDelete); });
            return true;
        }
    }
    if ((watched == lvwInCates || watched == lvwOutCates) && event->type() == QEvent::FocusIn)
        lvwCatesMakeCurrent(static_cast<QAbstractItemView *>(watched));
    return QWidget::eventFilter(watched, event);
}

void TTransPanel::UpdateCommandStates()
{
    btnTransMore->setEnabled(RowCount(lvwTrans) > 0);
    btnTransEdit->setEnabled(HasSelection(lvwTrans));
    btnTransDelete->setEnabled(HasSelection(lvwTrans));
    btnMoreInfo->setEnabled(m_currentCatesList != nullptr);
    const bool anyCates = RowCount(lvwInCates) > 0 || RowCount(lvwOutCates) > 0;
    btnCatesExport->setEnabled(anyCates);
    btnCatesPrint->setEnabled(anyCates);
}
