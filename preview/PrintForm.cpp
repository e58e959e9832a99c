#include "preview/PrintForm.h"
#include "widgets/Guard.h"
#include "preview/ReportPreview.h"
#include "preview/ReportPrinter.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {
// A tool strip with an etched edge line at its top and its bottom.
class TCoolBar : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QFrame::paintEvent(event);
        QPainter p(this);
        const int w = width() - 1, h = height() - 1;
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, w, 0);
        p.drawLine(0, h - 1, w, h - 1);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(0, 1, w, 1);
        p.drawLine(0, h, w, h);
    }
};

// A glyph whose bottom-left pixel colour is its transparent background.
QPixmap LoadGlyph(const QString &name)
{
    const QImage image(name);
    if (image.isNull())
        return {};
    QPixmap glyph = QPixmap::fromImage(image);
    glyph.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, image.height() - 1))));
    return glyph;
}
} // namespace

TfrmPrint::TfrmPrint(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("打印"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    resize(631, 427);

    CoolBar1 = new TCoolBar(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setFixedHeight(27);
    pnlPageButtons = new QWidget(CoolBar1);
    pnlPageButtons->setObjectName(QStringLiteral("pnlPageButtons"));
    pnlPageButtons->setGeometry(0, 2, 5 * 78, 23);

    const struct {
        QToolButton **member;
        const char *name;
        QString caption;
        int tag;
        QKeySequence key;
    } buttons[] = {
        {&btnFirstPage, "btnFirstPage", QStringLiteral("最前页"), 0, QKeySequence(Qt::Key_Home)},
        {&btnPrevPage, "btnPrevPage", QStringLiteral("上一页"), 1, QKeySequence(Qt::Key_PageUp)},
        {&btnNextPage, "btnNextPage", QStringLiteral("下一页"), 2, QKeySequence(Qt::Key_PageDown)},
        {&btnLastPage, "btnLastPage", QStringLiteral("最后页"), 3, QKeySequence(Qt::Key_End)},
        {&btnPrint, "btnPrint", QStringLiteral("打印 (A4)"), -1, QKeySequence::Print},
    };
    int x = 0;
    for (const auto &b : buttons) {
        auto *button = new QToolButton(pnlPageButtons);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(b.caption);
        button->setGeometry(x, 0, 78, 23);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(18, 18));
        button->setFocusPolicy(Qt::NoFocus);
        button->setShortcut(b.key);
        if (b.tag >= 0)
            button->setProperty("tag", b.tag);
        *b.member = button;
        x += 78;
    }

    QRPreview1 = new TReportPreview(this);
    QRPreview1->setAccessibleName(QStringLiteral("打印预览"));
    QRPreview1->setAccessibleDescription(QStringLiteral("报表的一页"));
    QRPreview1->setObjectName(QStringLiteral("QRPreview1"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(21);
    StatusBar1->setSizeGripEnabled(false);
    lblStatusPanel = new QLabel(QStringLiteral("#"));
    lblStatusPanel->setObjectName(QStringLiteral("lblStatusPanel"));
    StatusBar1->addWidget(lblStatusPanel, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CoolBar1);
    layout->addWidget(QRPreview1, 1);
    layout->addWidget(StatusBar1);

    for (QToolButton *page : {btnFirstPage, btnPrevPage, btnNextPage, btnLastPage})
        connect(page, &QToolButton::clicked, this, [this, page] { btnFirstPageClick(page); });
    connect(btnPrint, &QToolButton::clicked, this, [this] { btnPrintClick(); });

    FormCreate();
}

void TfrmPrint::SetReport(TCompositeReport *report)
{
    m_report = report;
    QRPreview1->SetPageStore(report ? report->PageStore() : nullptr);
}

void TfrmPrint::FormCreate()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    m_workArea = screen ? screen->availableGeometry() : QRect(0, 0, 631, 427);
    move(m_workArea.topLeft());
    setFixedSize(m_workArea.size());

    const char *glyphs[] = {"QRFIRSTPAGEBITMAP", "QRPREVPAGEBITMAP", "QRNEXTPAGEBITMAP",
                            "QRLASTPAGEBITMAP", "QRPRINTBITMAP"};
    QToolButton *targets[] = {btnFirstPage, btnPrevPage, btnNextPage, btnLastPage, btnPrint};
    for (int i = 0; i < 5; ++i) {
        const QPixmap glyph = LoadGlyph(QStringLiteral(":/") + QString::fromLatin1(glyphs[i]));
        if (glyph.isNull())
            break;
        targets[i]->setIcon(glyph);
    }
}

// The window manager's frame is known only once the window is shown; the whole window,
// frame included, is to cover the work area.
void TfrmPrint::FitWorkArea()
{
    const QSize frame = frameGeometry().size() - size();
    if ((frame.width() <= 0 && frame.height() <= 0) || m_workArea.isEmpty())
        return;
    setFixedSize(m_workArea.size() - frame);
    move(m_workArea.topLeft());
}

// A window manager reports its frame only after the window is mapped, and moves the window
// when it adds the frame; then the window is fitted again.
void TfrmPrint::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    if (isVisible())
        FitWorkArea();
}

void TfrmPrint::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TfrmPrint::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FitWorkArea();
    FormShow();
}

void TfrmPrint::FormResize()
{
    lblStatusPanel->setMinimumWidth(StatusBar1->contentsRect().width());
}

void TfrmPrint::FormShow()
{
    btnFirstPageClick(nullptr);
}

void TfrmPrint::btnFirstPageClick(QObject *sender)
{
    const int current = QRPreview1->PageNumber();
    if (sender == btnFirstPage)
        QRPreview1->SetPageNumber(1);
    else if (sender == btnPrevPage)
        QRPreview1->SetPageNumber(current - 1);
    else if (sender == btnNextPage)
        QRPreview1->SetPageNumber(current + 1);
    else if (sender == btnLastPage)
        QRPreview1->SetPageNumber(QRPreview1->PageCount());
    lblStatusPanel->setText(
        QStringLiteral("第 %1 页 / 共 %2 页").arg(QRPreview1->PageNumber()).arg(QRPreview1->PageCount()));
}

void TfrmPrint::btnPrintClick()
{
    const TCursorScope busy(Qt::WaitCursor, btnPrint);
    RunGuarded(this, [this] {
        if (!m_report)
            return;
        TPrinterSettings &settings = m_report->PrinterSettings;
        settings.UseDefaultPrinter();
        settings.PaperSize = QPageSize::A4;
        settings.Orientation = QPageLayout::Portrait;
        m_report->Prepare();
        bool confirmed = false;
        {
            const TCursorScope arrow(Qt::ArrowCursor);
            confirmed = ExecPrintDialog(*m_report, this);
        }
        if (!confirmed || settings.PrinterIndex < 0)
            return;
        // The report is laid out for A4 portrait; a different choice in the dialog would
        // cut it off or leave it askew.
        settings.PaperSize = QPageSize::A4;
        settings.Orientation = QPageLayout::Portrait;
        PrintReport(*m_report);
    });
}

void ShowPrintPreview(TCompositeReport &report, QWidget *owner)
{
    const auto frmPrint = std::make_unique<TfrmPrint>(owner);
    report.Prepare();
    frmPrint->SetReport(&report);
    const TCursorScope arrow(Qt::ArrowCursor);
    frmPrint->exec();
}
