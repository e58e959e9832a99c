#include "charts/ChartView.h"
#include "output/ListTexts.h"
#include "output/Reports.h"
#include "output/report/CompositeReport.h"
#include "preview/PrintForm.h"
#include "preview/ReportPreview.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "store/BudgetStore.h"
#include "store/DbClass.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QScatterSeries>
#include <QSet>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The program's maroon and navy first, then the other dark colours of its palette; the
// smaller items together in grey.
const QColor kSliceColours[] = {QColor(0, 0, 128),   QColor(128, 0, 0),   QColor(0, 128, 128),
                                QColor(128, 128, 0), QColor(128, 0, 128), QColor(0, 128, 0),
                                QColor(64, 96, 160),  QColor(176, 96, 48), QColor(96, 64, 32),
                                QColor(64, 160, 96)};
const QColor kRestColour(176, 176, 176);
const QColor kIncomeColour(0, 0, 128);
const QColor kExpenseColour(128, 0, 0);
const QColor kOverColour(220, 0, 0);
// Zero-width spaces keep equal month names apart on one axis, which wants distinct labels.
const QChar kLabelSeparator(0x200B);
// How long a tip stays up while the pointer rests on its slice or bar.
const int kTipMs = 600000;
const int kLegendWidth = 150;
const int kLongestRestTip = 20;

QColor SliceColour(int i)
{
    return kSliceColours[i % int(std::size(kSliceColours))];
}

// The tip of a chart stays up as long as the pointer rests on what it describes: the
// chart's scene would otherwise hide it at the next tool tip event, as it knows no tips.
class TTipKeeper : public QObject {
public:
    explicit TTipKeeper(QChartView *view) : QObject(view), m_view(view)
    {
        setObjectName(QStringLiteral("tipKeeper"));
        view->viewport()->installEventFilter(this);
    }

    void SetTip(const QString &tip)
    {
        m_tip = tip;
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), tip, m_view->viewport(), QRect(), kTipMs);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTip && watched == m_view->viewport()) {
            if (!m_tip.isEmpty())
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), m_tip, m_view->viewport(), QRect(),
                                   kTipMs);
            return true;
        }
        if (event->type() == QEvent::Leave && watched == m_view->viewport())
            SetTip(QString());
        return false;
    }

private:
    QChartView *m_view;
    QString m_tip;
};

void SetTip(QChartView *view, bool on, const QString &tip)
{
    // The keeper has no meta-object of its own, so it is found by its name.
    if (auto *keeper = view->findChild<QObject *>(QStringLiteral("tipKeeper"), Qt::FindDirectChildrenOnly))
        static_cast<TTipKeeper *>(keeper)->SetTip(on ? tip : QString());
}

QChartView *MakeChartView(QWidget *parent, const char *name)
{
    auto *chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *view = new QChartView(chart, parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::StyledPanel);
    new TTipKeeper(view);
    auto *empty = new QLabel(QStringLiteral("没有记录"), view);
    empty->setObjectName(QStringLiteral("lblNoRecords"));
    empty->setAlignment(Qt::AlignCenter);
    empty->setWordWrap(true);
    empty->setAttribute(Qt::WA_TransparentForMouseEvents);
    empty->hide();
    return view;
}

// Takes everything off a chart: series, axes, and the empty-chart note.
void ClearChart(QChartView *view, const QString &title, const QFont &font)
{
    QChart *chart = view->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis);
    QFont titleFont = font;
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(Qt::black);
    chart->setTitle(title);
    chart->legend()->setFont(font);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setVisible(true);
}

// Shows note over the chart in place of its series ("没有记录"), or hides it.
void ShowNote(QChartView *view, const QString &note)
{
    auto *label = view->findChild<QLabel *>(QStringLiteral("lblNoRecords"), Qt::FindDirectChildrenOnly);
    label->setText(note);
    label->setGeometry(view->rect().adjusted(8, 24, -8, -8));
    label->setVisible(!note.isEmpty());
    if (!note.isEmpty())
        view->chart()->legend()->setVisible(false);
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, 92, 23);
    return b;
}

QComboBox *MakeDropDown(QWidget *parent, const char *name, const QString &caption, const QStringList &entries,
                        int x, int width)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(name).mid(3));
    label->setGeometry(x, 370, 40, 23);
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(entries);
    combo->setGeometry(x + 40, 370, width, 23);
    label->setBuddy(combo);
    return combo;
}

QString &LastPictureName()
{
    static QString name;
    return name;
}

// A month axis under count months from first: labels that fit the chart's width, never cut.
QCategoryAxis *MonthAxis(const QDate &first, int count, int width, const QFont &font)
{
    auto *axis = new QCategoryAxis;
    axis->setLabelsFont(font);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-0.5);
    axis->setRange(-0.5, std::max(count, 1) - 0.5);
    axis->setGridLineVisible(false);
    const QFontMetrics metrics(font);
    // A label of two lines is cut to the room of one line as wide as both together.
    const bool crossesYear = first.year() != first.addMonths(std::max(count, 1) - 1).year();
    const int widest = metrics.horizontalAdvance(crossesYear ? QStringLiteral("12月2026年") : QStringLiteral("12月"));
    const int room = std::max(1, (width - 90) / (widest + 10));
    QSet<QString> used;
    for (const TAxisLabel &label : MonthAxisLabels(first, count, room)) {
        QString text = label.text;
        text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
        while (used.contains(text))
            text += kLabelSeparator;
        used.insert(text);
        axis->append(text, label.index);
    }
    return axis;
}

QValueAxis *AmountAxis(double low, double high, const QFont &font)
{
    auto *axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%.0f"));
    if (high <= low)
        high = low + 1;
    axis->setRange(low < 0 ? low * 1.05 : 0, high > 0 ? high * 1.05 : 1);
    axis->applyNiceNumbers();
    axis->setLabelsFont(font);
    return axis;
}

void Attach(QChart *chart, QAbstractSeries *series, QAbstractAxis *x, QAbstractAxis *y)
{
    chart->addSeries(series);
    if (!chart->axes(Qt::Horizontal).contains(x))
        chart->addAxis(x, Qt::AlignBottom);
    if (!chart->axes(Qt::Vertical).contains(y))
        chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

QString SignedPercent(std::optional<double> change)
{
    if (!change)
        return QStringLiteral("无法比较（去年同期为 0）");
    return QStringLiteral("%1%2%").arg(*change >= 0 ? QStringLiteral("+") : QString()).arg(*change, 0, 'f', 1);
}

// The legend of a ring: a colour square and "item share" per slice, the item shortened to
// fit, never the share.
void FillLegend(QWidget *legend, const QList<TPieSlice> &slices, TFen total)
{
    qDeleteAll(legend->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    delete legend->layout();
    auto *rows = new QGridLayout(legend);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setHorizontalSpacing(4);
    rows->setVerticalSpacing(1);
    const QFontMetrics metrics(legend->font());
    int colour = 0;
    for (int i = 0; i < slices.size(); ++i) {
        const TPieSlice &s = slices[i];
        auto *square = new QLabel(legend);
        square->setFixedSize(10, 10);
        square->setAutoFillBackground(true);
        QPalette pal = square->palette();
        pal.setColor(QPalette::Window, s.rest ? kRestColour : SliceColour(colour++));
        square->setPalette(pal);
        const QString share = QLatin1Char(' ') + FormatShare(s.sum, total);
        const int room = kLegendWidth - 20 - metrics.horizontalAdvance(share);
        auto *text = new QLabel(metrics.elidedText(s.item, Qt::ElideRight, std::max(room, 12)) + share, legend);
        text->setObjectName(QStringLiteral("legendText"));
        text->setToolTip(ChartSliceTip(s.item, s.sum, total));
        rows->addWidget(square, i, 0);
        rows->addWidget(text, i, 1);
    }
    rows->setRowStretch(int(slices.size()), 1);
    rows->setColumnStretch(1, 1);
}

QString RestTip(const TPieSlice &rest, TFen total)
{
    QStringList lines{ChartSliceTip(rest.item, rest.sum, total), QStringLiteral("包括：")};
    for (int i = 0; i < rest.held.size() && i < kLongestRestTip; ++i)
        lines << QStringLiteral("  ") + ChartSliceTip(rest.held[i].item, rest.held[i].sum, total);
    if (rest.held.size() > kLongestRestTip)
        lines << QStringLiteral("  …另有 %1 项").arg(rest.held.size() - kLongestRestTip);
    return lines.join(QLatin1Char('\n'));
}

QString MonthTip(const TPeriodTotal &m)
{
    return QStringLiteral("%1\n收入：%2\n支出：%3\n结余：%4")
        .arg(MonthTitle(m.date), FormatFen(m.in), FormatFen(m.out), FormatFen(m.in - m.out));
}

// A short black bar: the budget's mark above a spending bar.
QImage BudgetMark()
{
    QImage mark(16, 16, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.fillRect(QRect(0, 6, 16, 4), Qt::black);
    return mark;
}

} // namespace

TChartView::TChartView(ISession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("pnlTransCharts"));
    pnlCharts = new QWidget(this);
    pnlCharts->setObjectName(QStringLiteral("pnlCharts"));
    pnlCharts->setGeometry(12, 0, 672, 362);
    pnlCharts->setAutoFillBackground(true);
    QPalette white = pnlCharts->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnlCharts->setPalette(white);
    lblChartsTitle = new QLabel(pnlCharts);
    lblChartsTitle->setObjectName(QStringLiteral("lblChartsTitle"));
    lblChartsTitle->setAlignment(Qt::AlignCenter);
    QFont bold = font();
    bold.setBold(true);
    lblChartsTitle->setFont(bold);
    stkCharts = new QStackedWidget(pnlCharts);
    stkCharts->setObjectName(QStringLiteral("stkCharts"));
    auto *all = new QVBoxLayout(pnlCharts);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(2);
    all->addWidget(lblChartsTitle);
    all->addWidget(stkCharts, 1);

    // 收支构成: the rings with their legends above the month bars.
    pnlComposition = new QWidget;
    pnlComposition->setObjectName(QStringLiteral("pnlComposition"));
    chvOut = MakeChartView(pnlComposition, "chvOut");
    chvIn = MakeChartView(pnlComposition, "chvIn");
    lgdOut = new QWidget(pnlComposition);
    lgdOut->setObjectName(QStringLiteral("lgdOut"));
    lgdIn = new QWidget(pnlComposition);
    lgdIn->setObjectName(QStringLiteral("lgdIn"));
    for (QWidget *legend : {lgdOut, lgdIn})
        legend->setFixedWidth(kLegendWidth);
    chvMonths = MakeChartView(pnlComposition, "chvMonths");
    auto *pies = new QHBoxLayout;
    pies->setSpacing(2);
    pies->addWidget(chvOut, 1);
    pies->addWidget(lgdOut);
    pies->addWidget(chvIn, 1);
    pies->addWidget(lgdIn);
    auto *composition = new QVBoxLayout(pnlComposition);
    composition->setContentsMargins(0, 0, 0, 0);
    composition->setSpacing(2);
    composition->addLayout(pies, 1);
    composition->addWidget(chvMonths, 1);
    stkCharts->addWidget(pnlComposition);

    chvTrend = MakeChartView(nullptr, "chvTrend");
    stkCharts->addWidget(chvTrend);

    auto *itemPage = new QWidget;
    itemPage->setObjectName(QStringLiteral("pnlItemTrend"));
    chvItems = MakeChartView(itemPage, "chvItems");
    lstTrendItems = new QListWidget(itemPage);
    lstTrendItems->setObjectName(QStringLiteral("lstTrendItems"));
    lstTrendItems->setFixedWidth(150);
    auto *itemLayout = new QHBoxLayout(itemPage);
    itemLayout->setContentsMargins(0, 0, 0, 0);
    itemLayout->setSpacing(2);
    itemLayout->addWidget(chvItems, 1);
    itemLayout->addWidget(lstTrendItems);
    stkCharts->addWidget(itemPage);

    auto *yearPage = new QWidget;
    yearPage->setObjectName(QStringLiteral("pnlYearOnYear"));
    chvYear = MakeChartView(yearPage, "chvYear");
    tabYearType = new QTabBar(yearPage);
    tabYearType->setObjectName(QStringLiteral("tabYearType"));
    tabYearType->addTab(QStringLiteral("支出"));
    tabYearType->addTab(QStringLiteral("收入"));
    tabYearType->setShape(QTabBar::RoundedWest);
    auto *yearLayout = new QHBoxLayout(yearPage);
    yearLayout->setContentsMargins(0, 0, 0, 0);
    yearLayout->setSpacing(0);
    yearLayout->addWidget(chvYear, 1);
    yearLayout->addWidget(tabYearType, 0, Qt::AlignTop);
    stkCharts->addWidget(yearPage);

    chvBudget = MakeChartView(nullptr, "chvBudget");
    stkCharts->addWidget(chvBudget);

    chvOut->setAccessibleName(QStringLiteral("支出图表"));
    chvOut->setAccessibleDescription(QStringLiteral("所查期间各支出项目所占的份额"));
    chvIn->setAccessibleName(QStringLiteral("收入图表"));
    chvIn->setAccessibleDescription(QStringLiteral("所查期间各收入项目所占的份额"));
    chvMonths->setAccessibleName(QStringLiteral("每月收支图表"));
    chvMonths->setAccessibleDescription(QStringLiteral("所查期间每月的收入与支出"));
    chvTrend->setAccessibleName(QStringLiteral("收支趋势图表"));
    chvTrend->setAccessibleDescription(QStringLiteral("每月的收入、支出、结余与累计结余"));
    chvItems->setAccessibleName(QStringLiteral("项目趋势图表"));
    chvItems->setAccessibleDescription(QStringLiteral("所选项目每月的金额"));
    lstTrendItems->setAccessibleName(QStringLiteral("项目趋势的项目"));
    lstTrendItems->setAccessibleDescription(QStringLiteral("勾选要在项目趋势中显示的项目"));
    chvYear->setAccessibleName(QStringLiteral("同比图表"));
    chvYear->setAccessibleDescription(QStringLiteral("每月与上一年同月的比较"));
    tabYearType->setAccessibleName(QStringLiteral("同比的收支类型"));
    chvBudget->setAccessibleName(QStringLiteral("预算执行图表"));
    chvBudget->setAccessibleDescription(QStringLiteral("每月各预算项目的支出与预算"));

    cboChartKind = MakeDropDown(this, "cboChartKind", QStringLiteral("图表："),
                                {QStringLiteral("收支构成"), QStringLiteral("收支趋势"), QStringLiteral("项目趋势"),
                                 QStringLiteral("同比"), QStringLiteral("预算执行")},
                                12, 90);
    cboChartRange = MakeDropDown(this, "cboChartRange", QStringLiteral("范围："),
                                 {QStringLiteral("本月"), QStringLiteral("上月"), QStringLiteral("今年"),
                                  QStringLiteral("去年"), QStringLiteral("近12个月"), QStringLiteral("全部")},
                                 160, 90);
    cboChartRange->setPlaceholderText(QStringLiteral("自定义"));
    cboChartRange->setCurrentIndex(-1);

    btnSavePicture = MakeButton(this, "btnSavePicture", QStringLiteral("保存图片(&P)..."), 494, 370);
    btnPrint = MakeButton(this, "btnChartsPrint", QStringLiteral("打印(&R)"), 592, 370);
    connect(btnSavePicture, &QPushButton::clicked, this, [this] { RunGuarded(window(), [this] { btnSavePictureClick(); }); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { RunGuarded(window(), [this] { btnPrintClick(); }); });
    connect(cboChartKind, &QComboBox::currentIndexChanged, this, [this](int index) {
        stkCharts->setCurrentIndex(index);
        RunGuarded(window(), [this] { BuildCharts(); });
    });
    connect(cboChartRange, &QComboBox::activated, this,
            [this](int index) { RunGuarded(window(), [this, index] { cboChartRangeActivated(index); }); });
    connect(tabYearType, &QTabBar::currentChanged, this, [this] { RunGuarded(window(), [this] { FillYearOnYear(); }); });
    connect(lstTrendItems, &QListWidget::itemChanged, this, [this] {
        if (!lstTrendItems->signalsBlocked())
            FillItemTrend();
    });
}

void TChartView::ShowResult(const TSearchResult &result, const TSearchResult *yearBefore)
{
    m_result = &result;
    ++m_generation;
    m_settled = false;
    m_givenYearBefore = yearBefore;
    m_yearBefore.reset();
    m_budgets.reset();
    std::fill(std::begin(m_stale), std::end(m_stale), true);
    if (qMakePair(result.fromDate, result.toDate) != m_appliedRange)
        cboChartRange->setCurrentIndex(-1);
    lblChartsTitle->setText(TReportHeader::Of(m_session.SessionUser(), result).Title());
    FillItemChoices();
    if (isVisible())
        BuildCharts();
}

void TChartView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RunGuarded(window(), [this] { BuildCharts(); });
}

void TChartView::BuildCharts()
{
    const int kind = cboChartKind->currentIndex();
    if (!m_result || kind < 0 || !m_stale[kind])
        return;
    m_stale[kind] = false;
    // The layout gives the charts their sizes, which the month labels need.
    pnlCharts->layout()->activate();
    if (QLayout *page = stkCharts->currentWidget()->layout())
        page->activate();
    switch (TKind(kind)) {
    case TKind::Composition:
        FillComposition();
        break;
    case TKind::Trend:
        FillTrend();
        break;
    case TKind::ItemTrend:
        FillItemTrend();
        break;
    case TKind::YearOnYear:
        // A search shows an empty result before its own: the year before of that one is
        // searched only once the event loop finds it still shown.
        if (m_result->records.isEmpty() && !m_givenYearBefore && !m_settled) {
            m_stale[kind] = true;
            QTimer::singleShot(0, this, [this, generation = m_generation] {
                if (generation != m_generation)
                    return;
                m_settled = true;
                RunGuarded(window(), [this] { BuildCharts(); });
            });
            break;
        }
        FillYearOnYear();
        break;
    case TKind::Budget:
        FillBudget();
        break;
    }
}

void TChartView::FillComposition()
{
    FillPie(chvOut, lgdOut, kTypeOut, m_result->outRanking, m_result->outTotal);
    FillPie(chvIn, lgdIn, kTypeIn, m_result->inRanking, m_result->inTotal);
    FillMonths();
}

void TChartView::FillPie(QChartView *view, QWidget *legend, const QString &type, const QList<TRankRow> &ranking,
                         TFen total)
{
    const bool income = type == kTypeIn;
    ClearChart(view, QStringLiteral("%1：%2").arg(income ? QStringLiteral("收入") : QStringLiteral("支出"), FormatFen(total)),
               font());
    QChart *chart = view->chart();
    chart->setTitleBrush(income ? kIncomeColour : kExpenseColour);
    chart->legend()->setVisible(false);
    const QList<TPieSlice> slices = PieSlices(ranking, total);
    FillLegend(legend, slices, total);
    ShowNote(view, slices.isEmpty() ? QStringLiteral("没有记录") : QString());
    if (slices.isEmpty())
        return;
    auto *series = new QPieSeries;
    series->setHoleSize(0.38);
    series->setPieSize(0.86);
    int colour = 0;
    for (const TPieSlice &s : slices) {
        QPieSlice *slice = series->append(ChartSliceText(s.item, s.sum, total), YuanFromFen(s.sum));
        slice->setBrush(s.rest ? kRestColour : SliceColour(colour++));
        slice->setBorderColor(Qt::white);
        if (s.rest) {
            const QString first = s.held.value(0).item;
            connect(slice, &QPieSlice::clicked, this, [this, type, first] { emit restActivated(type, first); });
        } else {
            const QString item = s.item;
            connect(slice, &QPieSlice::clicked, this, [this, type, item] { emit itemActivated(type, item); });
        }
        const QString tip = s.rest ? RestTip(s, total) : ChartSliceTip(s.item, s.sum, total);
        connect(slice, &QPieSlice::hovered, view, [slice, view, tip](bool on) {
            slice->setExploded(on);
            SetTip(view, on, tip);
        });
    }
    chart->addSeries(series);
}

void TChartView::FillMonths()
{
    const QList<TPeriodTotal> bars = MonthBars(*m_result);
    const bool oneYear = !bars.isEmpty() && bars.first().date.year() == bars.last().date.year();
    ClearChart(chvMonths, oneYear ? QStringLiteral("%1年每月收支").arg(bars.first().date.year()) : QStringLiteral("每月收支"),
               font());
    QChart *chart = chvMonths->chart();
    // Beside the bars: the chart is too low for a legend above them.
    chart->legend()->setAlignment(Qt::AlignRight);
    ShowNote(chvMonths, m_result->records.isEmpty() ? QStringLiteral("没有记录") : QString());
    if (m_result->records.isEmpty() || bars.isEmpty())
        return;
    auto *in = new QBarSet(QStringLiteral("收入"));
    auto *out = new QBarSet(QStringLiteral("支出"));
    in->setColor(kIncomeColour);
    out->setColor(kExpenseColour);
    double top = 0;
    for (const TPeriodTotal &m : bars) {
        *in << YuanFromFen(m.in);
        *out << YuanFromFen(m.out);
        top = std::max({top, YuanFromFen(m.in), YuanFromFen(m.out)});
    }
    auto *series = new QBarSeries;
    series->append(in);
    series->append(out);
    connect(series, &QBarSeries::hovered, chvMonths, [this, bars](bool on, int index) {
        SetTip(chvMonths, on, MonthTip(bars.value(index)));
    });
    connect(series, &QBarSeries::clicked, this, [this, bars](int index) { emit monthActivated(bars.value(index).date); });
    Attach(chart, series, MonthAxis(bars.first().date, int(bars.size()), chvMonths->width() - 60, font()),
           AmountAxis(0, top, font()));
}

void TChartView::FillTrend()
{
    const QList<TTrendMonth> months = TrendMonths(*m_result);
    ClearChart(chvTrend, QStringLiteral("收支趋势"), font());
    ShowNote(chvTrend, m_result->records.isEmpty() ? QStringLiteral("没有记录") : QString());
    if (m_result->records.isEmpty() || months.isEmpty())
        return;
    QChart *chart = chvTrend->chart();
    auto *in = new QBarSet(QStringLiteral("收入"));
    auto *out = new QBarSet(QStringLiteral("支出"));
    in->setColor(kIncomeColour);
    out->setColor(kExpenseColour);
    auto *balance = new QLineSeries;
    balance->setName(QStringLiteral("每月结余"));
    balance->setColor(QColor(0, 128, 0));
    balance->setPointsVisible(months.size() <= 24);
    auto *running = new QLineSeries;
    running->setName(QStringLiteral("累计结余"));
    running->setColor(QColor(176, 96, 48));
    QPen pen = running->pen();
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    running->setPen(pen);
    double low = 0, high = 0;
    for (int i = 0; i < months.size(); ++i) {
        const TTrendMonth &m = months[i];
        *in << YuanFromFen(m.in);
        *out << YuanFromFen(m.out);
        balance->append(i, YuanFromFen(m.balance));
        running->append(i, YuanFromFen(m.running));
        low = std::min({low, YuanFromFen(m.balance), YuanFromFen(m.running)});
        high = std::max({high, YuanFromFen(m.in), YuanFromFen(m.out), YuanFromFen(m.running), YuanFromFen(m.balance)});
    }
    auto *bars = new QBarSeries;
    bars->append(in);
    bars->append(out);
    QAbstractAxis *x = MonthAxis(months.first().month, int(months.size()), chvTrend->width() - 60, font());
    QAbstractAxis *y = AmountAxis(low, high, font());
    Attach(chart, bars, x, y);
    Attach(chart, balance, x, y);
    Attach(chart, running, x, y);
    auto tip = [months](int index) {
        const TTrendMonth m = months.value(index);
        return QStringLiteral("%1\n收入：%2\n支出：%3\n结余：%4\n累计结余：%5")
            .arg(MonthTitle(m.month), FormatFen(m.in), FormatFen(m.out), FormatFen(m.balance), FormatFen(m.running));
    };
    connect(bars, &QBarSeries::hovered, chvTrend, [this, tip](bool on, int index) { SetTip(chvTrend, on, tip(index)); });
    connect(bars, &QBarSeries::clicked, this, [this, months](int index) { emit monthActivated(months.value(index).month); });
    for (QLineSeries *line : {balance, running})
        connect(line, &QLineSeries::hovered, chvTrend, [this, tip](const QPointF &point, bool on) {
            SetTip(chvTrend, on, tip(int(std::lround(point.x()))));
        });
}

void TChartView::FillItemChoices()
{
    const QSignalBlocker block(lstTrendItems);
    lstTrendItems->clear();
    int checked = 0;
    for (const TRankRow &row : TrendItemChoices(*m_result)) {
        const bool income = row.type == kTypeIn;
        auto *entry = new QListWidgetItem(income ? QStringLiteral("%1（收入）").arg(row.item) : row.item, lstTrendItems);
        entry->setData(Qt::UserRole, row.type);
        entry->setData(Qt::UserRole + 1, row.item);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        const bool on = !income && checked < kDefaultTrendItems;
        checked += on;
        entry->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

void TChartView::FillItemTrend()
{
    if (!m_result)
        return;
    ClearChart(chvItems, QStringLiteral("项目趋势"), font());
    QList<TRankRow> chosen;
    QStringList names;
    for (int i = 0; i < lstTrendItems->count(); ++i) {
        const QListWidgetItem *entry = lstTrendItems->item(i);
        if (entry->checkState() != Qt::Checked)
            continue;
        chosen.append({entry->data(Qt::UserRole).toString(), entry->data(Qt::UserRole + 1).toString(), 0, 0});
        names << entry->text();
    }
    const QList<TItemTrend> trends = ItemTrends(*m_result, chosen);
    ShowNote(chvItems, m_result->records.isEmpty() ? QStringLiteral("没有记录")
                       : trends.isEmpty()          ? QStringLiteral("请在右边勾选项目")
                                                   : QString());
    const QList<TPeriodTotal> months = MonthBars(*m_result);
    if (trends.isEmpty() || months.isEmpty())
        return;
    QChart *chart = chvItems->chart();
    QAbstractAxis *x = MonthAxis(months.first().date, int(months.size()), chvItems->width() - 60, font());
    double high = 0;
    for (const TItemTrend &t : trends)
        for (TFen sum : t.sums)
            high = std::max(high, YuanFromFen(sum));
    QAbstractAxis *y = AmountAxis(0, high, font());
    for (int i = 0; i < trends.size(); ++i) {
        auto *line = new QLineSeries;
        line->setName(names[i]);
        line->setColor(SliceColour(i));
        line->setPointsVisible(months.size() <= 24);
        for (int m = 0; m < trends[i].sums.size(); ++m)
            line->append(m, YuanFromFen(trends[i].sums[m]));
        Attach(chart, line, x, y);
        const TItemTrend trend = trends[i];
        const QString name = names[i];
        connect(line, &QLineSeries::hovered, chvItems, [this, trend, name, months](const QPointF &point, bool on) {
            const int m = std::clamp(int(std::lround(point.x())), 0, int(trend.sums.size()) - 1);
            SetTip(chvItems, on, QStringLiteral("%1\n%2：%3").arg(name, MonthTitle(months[m].date), FormatFen(trend.sums[m])));
        });
    }
}

const TSearchResult &TChartView::YearBefore()
{
    if (m_givenYearBefore)
        return *m_givenYearBefore;
    if (!m_yearBefore) {
        const QPair<QDate, QDate> span = YearBeforeSpan(m_result->fromDate, m_result->toDate);
        TBusyScope busy(m_session, nullptr);
        m_yearBefore = m_session.SessionDb().Search(m_session.SessionUser(), span.first, span.second);
    }
    return *m_yearBefore;
}

void TChartView::FillYearOnYear()
{
    if (!m_result)
        return;
    const bool income = tabYearType->currentIndex() == 1;
    const QString type = income ? kTypeIn : kTypeOut;
    const bool calendarYear = IsCalendarYear(m_result->fromDate, m_result->toDate);
    const QString now = calendarYear ? QStringLiteral("%1年").arg(m_result->fromDate.year()) : QStringLiteral("本期");
    const QString before = calendarYear ? QStringLiteral("%1年").arg(m_result->fromDate.year() - 1) : QStringLiteral("去年同期");
    ClearChart(chvYear, QStringLiteral("%1同比：%2与%3").arg(type, now, before), font());
    const TSearchResult &previous = YearBefore();
    const QList<TYearMonth> months = YearOnYear(*m_result, previous, type);
    const bool empty = m_result->records.isEmpty() && previous.records.isEmpty();
    ShowNote(chvYear, empty ? QStringLiteral("没有记录") : QString());
    if (empty || months.isEmpty())
        return;
    auto *nowSet = new QBarSet(now);
    auto *beforeSet = new QBarSet(before);
    nowSet->setColor(income ? kIncomeColour : kExpenseColour);
    beforeSet->setColor(kRestColour);
    double high = 0;
    for (const TYearMonth &m : months) {
        *nowSet << YuanFromFen(m.now);
        *beforeSet << YuanFromFen(m.before);
        high = std::max({high, YuanFromFen(m.now), YuanFromFen(m.before)});
    }
    auto *series = new QBarSeries;
    series->append(nowSet);
    series->append(beforeSet);
    Attach(chvYear->chart(), series, MonthAxis(months.first().month, int(months.size()), chvYear->width() - 60, font()),
           AmountAxis(0, high, font()));
    connect(series, &QBarSeries::hovered, chvYear, [this, months, type](bool on, int index) {
        const TYearMonth m = months.value(index);
        SetTip(chvYear, on,
               QStringLiteral("%1%2\n本期：%3\n去年同期（%4）：%5\n变化：%6")
                   .arg(MonthTitle(m.month), type, FormatFen(m.now), MonthTitle(m.month.addYears(-1)),
                        FormatFen(m.before), SignedPercent(ChangePercent(m.now, m.before))));
    });
}

void TChartView::FillBudget()
{
    ClearChart(chvBudget, QStringLiteral("预算执行"), font());
    if (!m_budgets) {
        TBusyScope busy(m_session, nullptr);
        m_budgets = TBudgetStore(m_session.SessionDb().FileName()).Settings(m_session.SessionUser());
    }
    const QList<TBudgetMonth> months = BudgetExecution(*m_result, *m_budgets);
    // Every item budgeted in some month of the span, in name order.
    QStringList items;
    for (const TBudgetMonth &m : months)
        for (const TBudgetLine &line : m.lines)
            if (!items.contains(line.item))
                items << line.item;
    std::sort(items.begin(), items.end());
    if (m_budgets->isEmpty())
        ShowNote(chvBudget, QStringLiteral("还没有设置预算：菜单 → 月度预算..."));
    else if (m_result->records.isEmpty() || items.isEmpty())
        ShowNote(chvBudget, QStringLiteral("没有记录"));
    else
        ShowNote(chvBudget, QString());
    if (m_budgets->isEmpty() || m_result->records.isEmpty() || items.isEmpty())
        return;
    QChart *chart = chvBudget->chart();
    auto *series = new QBarSeries;
    auto *marks = new QScatterSeries;
    marks->setName(QStringLiteral("预算"));
    marks->setLightMarker(BudgetMark());
    marks->setMarkerSize(16);
    marks->setColor(Qt::black);
    double high = 0;
    const int n = int(items.size());
    for (int j = 0; j < n; ++j) {
        auto *set = new QBarSet(items[j]);
        set->setColor(SliceColour(j));
        set->setSelectedColor(kOverColour);
        for (int m = 0; m < months.size(); ++m) {
            const auto line = std::find_if(months[m].lines.cbegin(), months[m].lines.cend(),
                                           [&](const TBudgetLine &l) { return l.item == items[j]; });
            const bool budgeted = line != months[m].lines.cend();
            const TFen spent = budgeted ? line->spent : 0;
            *set << YuanFromFen(spent);
            if (budgeted && line->Over())
                set->selectBar(m);
            if (budgeted) {
                // The mark sits above the item's bar within the month's group.
                const double offset = -0.4 + (j + 0.5) * 0.8 / n;
                marks->append(m + offset, YuanFromFen(*line->budget));
                high = std::max(high, YuanFromFen(*line->budget));
            }
            high = std::max(high, YuanFromFen(spent));
        }
        series->append(set);
    }
    series->setBarWidth(0.8);
    QAbstractAxis *x = MonthAxis(months.first().month, int(months.size()), chvBudget->width() - 60, font());
    QAbstractAxis *y = AmountAxis(0, high, font());
    Attach(chart, series, x, y);
    Attach(chart, marks, x, y);
    connect(series, &QBarSeries::hovered, chvBudget, [this, months](bool on, int index, QBarSet *set) {
        const TBudgetMonth m = months.value(index);
        QString tip = QStringLiteral("%1 %2").arg(set->label(), MonthTitle(m.month));
        for (const TBudgetLine &line : m.lines)
            if (line.item == set->label()) {
                tip += QStringLiteral("\n预算：%1\n支出：%2\n%3")
                           .arg(FormatFen(*line.budget), FormatFen(line.spent),
                                line.Over() ? QStringLiteral("超出：%1").arg(FormatFen(-*line.Left()))
                                            : QStringLiteral("剩余：%1").arg(FormatFen(*line.Left())));
            }
        SetTip(chvBudget, on, tip);
    });
}

QWidget *TChartView::PictureWidget() const
{
    switch (TKind(cboChartKind->currentIndex())) {
    case TKind::ItemTrend:
        return chvItems;
    case TKind::YearOnYear:
        return chvYear;
    default:
        return stkCharts->currentWidget();
    }
}

QImage TChartView::ChartsImage(qreal scale) const
{
    QImage image((QSizeF(pnlCharts->size()) * scale).toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    // The title and the charts, not the item list or the switch beside some of them.
    QWidget *picture = PictureWidget();
    lblChartsTitle->render(&painter, lblChartsTitle->pos(), QRegion(), QWidget::DrawChildren);
    picture->render(&painter, picture->mapTo(pnlCharts, QPoint()), QRegion(), QWidget::DrawChildren);
    return image;
}

void TChartView::cboChartRangeActivated(int index)
{
    QPair<QDate, QDate> span;
    if (TChartRange(index) == TChartRange::All) {
        TBusyScope busy(m_session, cboChartRange);
        span = m_session.SessionDb().RecordSpan(m_session.SessionUser());
    }
    m_appliedRange = RangeDates(TChartRange(index), QDate::currentDate(), span);
    emit rangeChosen(m_appliedRange.first, m_appliedRange.second);
}

void TChartView::btnSavePictureClick()
{
    BuildCharts();
    const QString ext = QStringLiteral(".png");
    const QString chosen = Dialogs().SaveFileName(window(), QStringLiteral("保存图片"),
                                                  QStringLiteral("*.png (*.png)"), LastPictureName());
    if (chosen.isEmpty())
        return;
    LastPictureName() = chosen;
    QString target = chosen;
    if (!QFileInfo(chosen).fileName().toLower().endsWith(ext)) {
        target = chosen + ext;
        // The dialog asked about the name as typed, not about the completed one.
        if (QFileInfo::exists(target) &&
            !Confirm(window(), QStringLiteral("%1 已存在。\r\n要替换它吗？").arg(QDir::toNativeSeparators(target))))
            return;
    }
    {
        TBusyScope busy(m_session, btnSavePicture);
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !ChartsImage().save(&buffer, "PNG"))
            throw TError(QStringLiteral("无法生成图片“%1”").arg(target));
        WriteFileReplacing(target, png);
    }
    Dialogs().Message(window(), QStringLiteral("成功！\r\n\r\n") + QDir::toNativeSeparators(target),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

void TChartView::btnPrintClick()
{
    BuildCharts();
    if (!m_result)
        return;
    TCompositeReport report;
    {
        TBusyScope busy(m_session, btnPrint);
        // Twice the screen's pixels keep the lines and texts sharp on paper.
        report.Paged = ChartReport(TReportHeader::Of(m_session.SessionUser(), *m_result), ChartsImage(2));
    }
    ShowPrintPreview(report, window());
    btnPrint->setFocus();
}
