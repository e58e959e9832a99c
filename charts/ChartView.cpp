#include "charts/ChartView.h"
#include "output/ListTexts.h"
#include "output/Reports.h"
#include "output/report/CompositeReport.h"
#include "preview/PrintForm.h"
#include "preview/ReportPreview.h"
#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLegend>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The program's maroon and navy first, then the other dark colours of its palette; the
// smaller items together in grey.
const QColor kSliceColours[] = {QColor(0, 0, 128),   QColor(128, 0, 0),   QColor(0, 128, 128),
                                QColor(128, 128, 0), QColor(128, 0, 128), QColor(0, 128, 0),
                                QColor(64, 96, 160),  QColor(176, 96, 48)};
const QColor kRestColour(176, 176, 176);
const QColor kIncomeColour(0, 0, 128);
const QColor kExpenseColour(128, 0, 0);

QChartView *MakeChartView(QWidget *parent, const char *name)
{
    auto *chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *view = new QChartView(chart, parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::StyledPanel);
    return view;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, 92, 23);
    b->setFocusPolicy(Qt::ClickFocus);
    return b;
}

QString &LastPictureName()
{
    static QString name;
    return name;
}

} // namespace

TChartView::TChartView(ISession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("pnlTransCharts"));
    pnlCharts = new QWidget(this);
    pnlCharts->setObjectName(QStringLiteral("pnlCharts"));
    pnlCharts->setGeometry(12, 0, 672, 362);
    chvOut = MakeChartView(pnlCharts, "chvOut");
    chvIn = MakeChartView(pnlCharts, "chvIn");
    chvMonths = MakeChartView(pnlCharts, "chvMonths");
    auto *pies = new QHBoxLayout;
    pies->setSpacing(4);
    pies->addWidget(chvOut);
    pies->addWidget(chvIn);
    auto *all = new QVBoxLayout(pnlCharts);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(4);
    all->addLayout(pies, 11);
    all->addWidget(chvMonths, 9);

    btnSavePicture = MakeButton(this, "btnSavePicture", QStringLiteral("保存图片(&P)..."), 494, 370);
    btnPrint = MakeButton(this, "btnChartsPrint", QStringLiteral("打印(&R)"), 592, 370);
    connect(btnSavePicture, &QPushButton::clicked, this, [this] { RunGuarded(window(), [this] { btnSavePictureClick(); }); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { RunGuarded(window(), [this] { btnPrintClick(); }); });
}

void TChartView::ShowResult(const TSearchResult &result)
{
    m_result = &result;
    m_stale = true;
    if (isVisible())
        BuildCharts();
}

void TChartView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    BuildCharts();
}

void TChartView::BuildCharts()
{
    if (!m_stale || !m_result)
        return;
    m_stale = false;
    FillPie(chvOut, kTypeOut, m_result->outRanking, m_result->outTotal);
    FillPie(chvIn, kTypeIn, m_result->inRanking, m_result->inTotal);
    FillMonths();
}

void TChartView::FillPie(QChartView *view, const QString &type, const QList<TRankRow> &ranking, TFen total)
{
    QChart *chart = view->chart();
    chart->removeAllSeries();
    chart->setTitle(QStringLiteral("%1：%2").arg(type == kTypeIn ? QStringLiteral("收入") : QStringLiteral("支出"),
                                                  FormatFen(total)));
    QFont titleFont = font();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(type == kTypeIn ? kIncomeColour : kExpenseColour);
    auto *series = new QPieSeries;
    series->setHoleSize(0.38);
    series->setPieSize(0.82);
    int colour = 0;
    // Six slices keep every legend entry readable beside a ring of this size.
    for (const TPieSlice &s : PieSlices(ranking, total, 6)) {
        QPieSlice *slice = series->append(ChartSliceText(s.item, s.sum, total), YuanFromFen(s.sum));
        slice->setBrush(s.rest ? kRestColour : kSliceColours[colour++ % std::size(kSliceColours)]);
        slice->setBorderColor(Qt::white);
        if (!s.rest) {
            const QString item = s.item;
            connect(slice, &QPieSlice::clicked, this, [this, type, item] { emit itemActivated(type, item); });
        }
        const QString tip = ChartSliceTip(s.item, s.sum, total);
        connect(slice, &QPieSlice::hovered, view, [slice, view, tip](bool on) {
            slice->setExploded(on);
            view->setToolTip(on ? tip : QString());
            if (on)
                QToolTip::showText(QCursor::pos(), tip, view);
        });
    }
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(font());
    chart->legend()->setVisible(series->count() > 0);
}

void TChartView::FillMonths()
{
    QChart *chart = chvMonths->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis);
    QFont titleFont = font();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    auto *in = new QBarSet(QStringLiteral("收入"));
    auto *out = new QBarSet(QStringLiteral("支出"));
    in->setColor(kIncomeColour);
    out->setColor(kExpenseColour);
    QStringList months;
    double top = 0;
    const QList<TPeriodTotal> bars = MonthBars(*m_result);
    const bool oneYear = !bars.isEmpty() && bars.first().date.year() == bars.last().date.year();
    chart->setTitle(oneYear ? QStringLiteral("%1年每月收支").arg(bars.first().date.year()) : QStringLiteral("每月收支"));
    for (const TPeriodTotal &m : bars) {
        months << ChartMonthText(m.date, oneYear);
        *in << YuanFromFen(m.in);
        *out << YuanFromFen(m.out);
        top = std::max({top, YuanFromFen(m.in), YuanFromFen(m.out)});
    }
    auto *series = new QBarSeries;
    series->append(in);
    series->append(out);
    chart->addSeries(series);
    auto *axisX = new QBarCategoryAxis;
    axisX->append(months);
    axisX->setLabelsFont(font());
    // Only some month names fit under many months.
    if (!oneYear && months.size() > 6)
        axisX->setLabelsAngle(-90);
    auto *axisY = new QValueAxis;
    axisY->setLabelFormat(QStringLiteral("%.2f"));
    axisY->setRange(0, top > 0 ? top * 1.05 : 1);
    axisY->applyNiceNumbers();
    axisY->setLabelsFont(font());
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(font());
}

QImage TChartView::ChartsImage(qreal scale) const
{
    QImage image((QSizeF(pnlCharts->size()) * scale).toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    pnlCharts->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
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
