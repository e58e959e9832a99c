#include "family/FamilyForm.h"
#include "base/DeliveredFiles.h"
#include "output/Reports.h"
#include "preview/PrintForm.h"
#include "store/FamilyStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Guard.h"
#include "widgets/Session.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedBarSeries>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace {

template <class T>
T *Named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}


// Lets go of the printed document when the command ends, however it ends.
struct TDocumentScope {
    TCompositeReport &report;
    ~TDocumentScope() { report.Clear(); }
};

} // namespace

TfrmFamily::TfrmFamily(ISession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmFamily"));
    setWindowTitle(QStringLiteral("家庭汇总"));
    resize(900, 600);

    chkConsent = Named(new QCheckBox(QStringLiteral("在家庭汇总中计入我的收支"), this), "chkConsent");
    lblExplain = Named(new QLabel(QStringLiteral("加入家庭汇总后，才能看到家人的汇总。"), this), "lblExplain");

    pnlFigures = Named(new QWidget(this), "pnlFigures");
    const QDate today = QDate::currentDate();
    dtpFamilyDate1 = Named(new QDateEdit(today.addDays(1 - today.day()), pnlFigures), "dtpFamilyDate1");
    dtpFamilyDate2 = Named(new QDateEdit(today, pnlFigures), "dtpFamilyDate2");
    for (QDateEdit *d : {dtpFamilyDate1, dtpFamilyDate2}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
    }
    auto *lblTo = new QLabel(QStringLiteral("至"), pnlFigures);
    btnFamilySearch = Named(new QPushButton(QStringLiteral("查看(&S)"), pnlFigures), "btnFamilySearch");
    rdoByMember = Named(new QRadioButton(QStringLiteral("按成员"), pnlFigures), "rdoByMember");
    rdoByItem = Named(new QRadioButton(QStringLiteral("按项目"), pnlFigures), "rdoByItem");
    rdoByMonth = Named(new QRadioButton(QStringLiteral("按月"), pnlFigures), "rdoByMonth");
    rdoByMember->setChecked(true);

    lvwFamily = Named(new QTreeWidget(pnlFigures), "lvwFamily");
    lvwFamily->setRootIsDecorated(false);
    lvwFamily->setUniformRowHeights(true);
    lvwFamily->setAlternatingRowColors(true);
    lvwFamily->header()->setStretchLastSection(false);

    auto *chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chvFamilyMonths = Named(new QChartView(chart, pnlFigures), "chvFamilyMonths");
    chvFamilyMonths->setRenderHint(QPainter::Antialiasing);
    chvFamilyMonths->setFrameShape(QFrame::StyledPanel);
    chvFamilyMonths->setMinimumWidth(360);

    lblNotJoined = Named(new QLabel(pnlFigures), "lblNotJoined");
    btnExportXlsx = Named(new QPushButton(QStringLiteral("导出 .xlsx(&X)..."), pnlFigures), "btnExportXlsx");
    btnExportCsv = Named(new QPushButton(QStringLiteral("导出 .csv(&V)..."), pnlFigures), "btnExportCsv");
    btnPrint = Named(new QPushButton(QStringLiteral("打印(&P)"), pnlFigures), "btnPrint");
    btnClose = Named(new QPushButton(QStringLiteral("关闭"), this), "btnClose");

    auto *span = new QHBoxLayout;
    span->addWidget(dtpFamilyDate1);
    span->addWidget(lblTo);
    span->addWidget(dtpFamilyDate2);
    span->addWidget(btnFamilySearch);
    span->addSpacing(24);
    span->addWidget(rdoByMember);
    span->addWidget(rdoByItem);
    span->addWidget(rdoByMonth);
    span->addStretch();
    auto *lists = new QHBoxLayout;
    lists->addWidget(lvwFamily, 3);
    lists->addWidget(chvFamilyMonths, 2);
    auto *commands = new QHBoxLayout;
    commands->addWidget(lblNotJoined, 1);
    commands->addWidget(btnExportXlsx);
    commands->addWidget(btnExportCsv);
    commands->addWidget(btnPrint);
    auto *figures = new QVBoxLayout(pnlFigures);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->addLayout(span);
    figures->addLayout(lists, 1);
    figures->addLayout(commands);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(chkConsent);
    layout->addWidget(lblExplain);
    layout->addWidget(pnlFigures, 1);
    layout->addLayout(bottom);

    connect(chkConsent, &QCheckBox::toggled, this, Guarded(this, [this] { chkConsentClick(chkConsent->isChecked()); }));
    connect(btnFamilySearch, &QPushButton::clicked, this, Guarded(this, [this] { btnSearchClick(); }));
    for (QDateEdit *d : {dtpFamilyDate1, dtpFamilyDate2})
        connect(d, &QDateEdit::dateChanged, this, [this] { dtpDateChange(); });
    for (QRadioButton *r : {rdoByMember, rdoByItem, rdoByMonth})
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RunGuarded(this, [this] { ShowView(); });
        });
    connect(btnExportXlsx, &QPushButton::clicked, this, Guarded(this, [this] { Export(true); }));
    connect(btnExportCsv, &QPushButton::clicked, this, Guarded(this, [this] { Export(false); }));
    connect(btnPrint, &QPushButton::clicked, this, Guarded(this, [this] { btnPrintClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    {
        TFamilyStore store(m_session.DbFileName());
        m_agreed = store.Agreed(m_session.SessionUser());
    }
    {
        const QSignalBlocker block(chkConsent);
        chkConsent->setChecked(m_agreed);
    }
    ShowConsentState();
    if (m_agreed)
        btnSearchClick();
    else
        ShowView();
}

TFamilyView TfrmFamily::View() const
{
    return rdoByItem->isChecked()    ? TFamilyView::Items
           : rdoByMonth->isChecked() ? TFamilyView::Months
                                     : TFamilyView::Members;
}

void TfrmFamily::ShowConsentState()
{
    lblExplain->setVisible(!m_agreed);
    pnlFigures->setEnabled(m_agreed);
    pnlFigures->setVisible(m_agreed);
}

void TfrmFamily::chkConsentClick(bool agreed)
{
    try {
        TFamilyStore(m_session.DbFileName()).SetAgreed(m_session.SessionUser(), agreed);
    } catch (...) {
        // Not stored: the box shows what the ledger holds.
        const QSignalBlocker block(chkConsent);
        chkConsent->setChecked(m_agreed);
        throw;
    }
    m_agreed = agreed;
    ShowConsentState();
    if (m_agreed) {
        btnSearchClick();
    } else {
        // Nothing of anyone stays on screen once the member leaves.
        m_summary = TFamilySummary();
        ShowView();
    }
}

void TfrmFamily::dtpDateChange()
{
    btnFamilySearch->setEnabled(dtpFamilyDate1->date() <= dtpFamilyDate2->date());
}

void TfrmFamily::btnSearchClick()
{
    if (dtpFamilyDate1->date() > dtpFamilyDate2->date())
        return;
    {
        const TBusyScope busy(m_session, btnFamilySearch);
        m_summary = TFamilyStore(m_session.DbFileName())
                        .Summary(m_session.SessionUser(), dtpFamilyDate1->date(), dtpFamilyDate2->date());
    }
    if (!m_summary.viewerAgreed && m_agreed) {
        // Consent was withdrawn elsewhere (another instance, or the account deleted).
        m_agreed = false;
        const QSignalBlocker block(chkConsent);
        chkConsent->setChecked(false);
        ShowConsentState();
    }
    ShowView();
}

void TfrmFamily::ShowView()
{
    const TFamilyView view = View();
    const TSheetRows rows = FamilyRows(m_summary, view);
    lvwFamily->clear();
    lvwFamily->setColumnCount(int(rows.columns.size()));
    lvwFamily->setHeaderLabels(rows.columns);
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.rows.size());
    for (const QList<TSheetCell> &row : rows.rows) {
        auto *item = new QTreeWidgetItem;
        for (int c = 0; c < row.size(); ++c) {
            item->setText(c, row[c].text);
            if (row[c].IsNumber() || (c > 0 && row[c].text == kNotJoined))
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        if (row.value(0).text == kFamilyTotal && view == TFamilyView::Members) {
            QFont bold = item->font(0);
            bold.setBold(true);
            for (int c = 0; c < row.size(); ++c)
                item->setFont(c, bold);
        }
        items.append(item);
    }
    lvwFamily->addTopLevelItems(items);
    for (int c = 0; c < rows.columns.size(); ++c) {
        lvwFamily->resizeColumnToContents(c);
        lvwFamily->setColumnWidth(c, std::max(64, lvwFamily->columnWidth(c) + 12));
    }

    lblNotJoined->setText(m_summary.notJoined.isEmpty()
                              ? QString()
                              : QStringLiteral("%1：%2").arg(kNotJoined, m_summary.notJoined.join(QStringLiteral("、"))));
    chvFamilyMonths->setVisible(view == TFamilyView::Months);
    FillChart(m_summary);
    const bool figures = m_summary.viewerAgreed;
    for (QPushButton *b : {btnExportXlsx, btnExportCsv, btnPrint})
        b->setEnabled(figures);
}

void TfrmFamily::FillChart(const TFamilySummary &summary)
{
    QChart *chart = chvFamilyMonths->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes())
        chart->removeAxis(axis);
    QFont titleFont = font();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitle(QStringLiteral("每月支出（按成员）"));
    if (!summary.viewerAgreed || summary.members.isEmpty())
        return;
    const bool oneYear = !summary.months.isEmpty() &&
                         summary.months.first().month.year() == summary.months.last().month.year();
    auto *series = new QStackedBarSeries;
    for (int m = 0; m < summary.members.size(); ++m) {
        auto *set = new QBarSet(summary.members[m].name);
        for (const TFamilyMonth &month : summary.months)
            *set << YuanFromFen(month.outByMember.value(m));
        series->append(set);
    }
    QStringList months;
    double top = 0;
    for (const TFamilyMonth &month : summary.months) {
        months << ChartMonthText(month.month, oneYear);
        top = std::max(top, YuanFromFen(month.out));
    }
    chart->addSeries(series);
    auto *axisX = new QBarCategoryAxis;
    axisX->append(months);
    axisX->setLabelsFont(font());
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
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(font());
}

void TfrmFamily::Export(bool xlsx)
{
    if (!m_summary.viewerAgreed)
        return;
    const TSheetRows rows = FamilyExportRows(m_summary, View());
    const QString target = ChooseExportTarget(this, xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv"));
    if (target.isEmpty())
        return;
    {
        const TBusyScope busy(m_session, nullptr);
        if (xlsx)
            WriteXlsxExport(target, rows);
        else
            WriteCsvExport(target, rows);
    }
    Dialogs().Message(this, QStringLiteral("成功！\r\n\r\n") + QDir::toNativeSeparators(target),
                      QStringLiteral("Tallyfern"), IDialogs::Icon::Information);
}

void TfrmFamily::btnPrintClick()
{
    if (!m_summary.viewerAgreed)
        return;
    const TBusyScope busy(m_session, nullptr);
    const TDocumentScope document{m_report};
    m_report.Paged = SheetReport(FamilyHeader(m_summary), FamilyRows(m_summary, View()));
    ShowPrintPreview(m_report, this);
}
