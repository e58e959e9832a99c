#include "output/Reports.h"
#include "output/CellFit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {
double g_fixedX = 0;
double g_fixedY = 0;

// Rounds to the nearest integer, halves to even (the default rounding mode).
int RoundEven(double value)
{
    return int(std::nearbyint(value));
}

enum class TPlace { LeftAt, RightAt, RightAtBandEdge };

struct TReportColumn {
    QString heading;
    TPlace place;
    int x;
    int width;  // widest cell text; a longer one is shortened
};

void PlaceInColumn(TReportLabel *label, const TReportColumn &column, int top)
{
    switch (column.place) {
    case TPlace::LeftAt:
        label->Left = ScaleX(column.x);
        break;
    case TPlace::RightAt:
        label->Left = ScaleX(column.x) - label->Width();
        break;
    case TPlace::RightAtBandEdge:
        label->Left = ReportBandWidth() - label->Width();
        break;
    }
    label->Top = top;
}

TReportLabel *AddText(TPageReport &page, const QString &caption)
{
    TReportLabel *label = CreateReportLabel(page);
    label->SetCaption(caption);
    return label;
}

// Integer division truncates toward zero, as the centring rule asks, also when a long
// user name is wider than the space it is centred in.
void CentreIn(TReportLabel *label, int width, int top)
{
    label->Left = (width - label->Width()) / 2;
    label->Top = top;
}

// Starts page number of a report: the title, period and totals, the rule, the column
// headings and the page number; the rows go below.
std::unique_ptr<TPageReport> StartPage(int number, const TReportHeader &header,
                                       const QList<TReportColumn> &columns)
{
    auto result = std::make_unique<TPageReport>(
        QSizeF(ScreenPixelsPerInch(Qt::Horizontal), ScreenPixelsPerInch(Qt::Vertical)));
    TPageReport &page = *result;
    page.Size = QSize(ReportPageWidth(), ReportPageHeight());
    page.Font = QFont(QStringLiteral("Tahoma"), 8);
    TReportBand &band = page.CreateBand();
    band.ForceNewPage = true;
    band.ForceNewColumn = false;
    band.Size = QSize(ReportBandWidth(), ReportBandHeight());

    TReportLabel *title = CreateReportLabel(page);
    QFont titleFont(QStringLiteral("Tahoma"), 14);
    titleFont.setBold(true);
    title->SetFont(titleFont);
    title->SetCaption(header.userName);
    CentreIn(title, ScaleX(578), 0);

    CentreIn(AddText(page, header.Period()), ScaleX(578), ScaleY(36));

    const struct {
        QString caption;
        TFen value;
        int top;
    } totals[] = {{QStringLiteral("收入合计："), header.inTotal, 0},
                  {QStringLiteral("支出合计："), header.outTotal, ScaleY(18)},
                  {QStringLiteral("结余合计："), header.Balance(), ScaleY(36)}};
    for (const auto &t : totals) {
        TReportLabel *caption = AddText(page, t.caption);
        caption->Left = ScaleX(578);
        caption->Top = t.top;
        TReportLabel *value = AddText(page, FormatFen(t.value));
        value->Left = ReportBandWidth() - value->Width();
        value->Top = t.top;
    }

    TReportShape *rule = band.AddShape();
    rule->Left = 0;
    rule->Top = ScaleY(58);
    rule->ShapeWidth = ReportBandWidth();
    rule->ShapeHeight = ScaleY(1);
    rule->FillColor = Qt::black;

    for (const TReportColumn &column : columns)
        PlaceInColumn(AddText(page, column.heading), column, ScaleY(68));

    TReportLabel *numberLabel = AddText(page, QStringLiteral("第 %1 页").arg(number));
    CentreIn(numberLabel, ReportBandWidth(), ReportBandHeight() - numberLabel->Height());
    return result;
}

// A report of rows, ReportRowsPerPage to a page; cells(i) gives the texts of row i, one per
// column, when its page is laid out.
TPagedReport RowsReport(const TReportHeader &header, const QList<TReportColumn> &columns, qsizetype rowCount,
                        std::function<QStringList(qsizetype)> cells)
{
    TPagedReport report;
    report.PageCount = int((rowCount + ReportRowsPerPage - 1) / ReportRowsPerPage);
    report.BuildPage = [header, columns, rowCount, cells = std::move(cells)](int number) {
        std::unique_ptr<TPageReport> page = StartPage(number, header, columns);
        const qsizetype first = qsizetype(number - 1) * ReportRowsPerPage;
        const qsizetype end = std::min(rowCount, first + ReportRowsPerPage);
        for (qsizetype i = first; i < end; ++i) {
            const QStringList texts = cells(i);
            const int top = ScaleY(86 + int(i - first) * 18);
            for (qsizetype c = 0; c < columns.size(); ++c) {
                TReportLabel *label = CreateReportLabel(*page);
                SetFittedCaption(*label, texts.value(c), ScaleX(columns[c].width));
                PlaceInColumn(label, columns[c], top);
            }
        }
        return page;
    };
    return report;
}

} // namespace

double ScreenPixelsPerInch(Qt::Orientation axis)
{
    const double fixed = axis == Qt::Horizontal ? g_fixedX : g_fixedY;
    if (fixed > 0)
        return fixed;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return axis == Qt::Horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return 96;
}

void SetScreenPixelsPerInch(double horizontal, double vertical)
{
    g_fixedX = horizontal;
    g_fixedY = vertical;
}

int ScaleX(int n)
{
    return RoundEven(n * ScreenPixelsPerInch(Qt::Horizontal) / 96);
}

int ScaleY(int n)
{
    return RoundEven(n * ScreenPixelsPerInch(Qt::Vertical) / 96);
}

int ReportPageWidth()
{
    return RoundEven(ScreenPixelsPerInch(Qt::Horizontal) * 210 / 25.4);
}

int ReportPageHeight()
{
    return RoundEven(ScreenPixelsPerInch(Qt::Vertical) * 297 / 25.4);
}

int ReportBandWidth()
{
    return RoundEven(ScreenPixelsPerInch(Qt::Horizontal) * 190 / 25.4);
}

int ReportBandHeight()
{
    return RoundEven(ScreenPixelsPerInch(Qt::Vertical) * 277 / 25.4);
}

TReportLabel *CreateReportLabel(TPageReport &page)
{
    TReportBand *band = page.Band();
    if (!band)
        band = &page.CreateBand();
    TReportLabel *label = band->AddLabel(QFont(QStringLiteral("Tahoma"), 8));
    label->AutoSize = true;
    label->Transparent = true;
    label->SetCaption(QString());
    return label;
}

TPagedReport RankingReport(const TReportHeader &header, const QList<TRankRow> &inRanking,
                           const QList<TRankRow> &outRanking)
{
    // Each cell keeps a gap of at least 4 to its neighbours; the band is 718 wide.
    static const QList<TReportColumn> columns = {
        {QStringLiteral("类别"), TPlace::LeftAt, 0, 74},     {QStringLiteral("项目"), TPlace::LeftAt, 78, 270},
        {QStringLiteral("数量"), TPlace::RightAt, 418, 66},  {QStringLiteral("收入"), TPlace::RightAt, 510, 88},
        {QStringLiteral("支出"), TPlace::RightAt, 602, 88},  {QStringLiteral("0 - 100%"), TPlace::RightAtBandEdge, 0, 112}};
    return RowsReport(header, columns, inRanking.size() + outRanking.size(),
                      [header, inRanking, outRanking](qsizetype i) {
                          const TRankRow &row =
                              i < inRanking.size() ? inRanking[i] : outRanking[i - inRanking.size()];
                          const TRankTexts t = RankTexts(row, header.TypeTotal(row.type));
                          return QStringList{t.type, t.item, t.count, t.in, t.out, t.share};
                      });
}

TPagedReport TransactionsReport(const TReportHeader &header, const QList<TRecord> &records)
{
    // Each cell keeps a gap of at least 4 to its neighbours; the band is 718 wide.
    static const QList<TReportColumn> columns = {
        {QStringLiteral("日期"), TPlace::LeftAt, 0, 74},    {QStringLiteral("项目"), TPlace::LeftAt, 78, 218},
        {QStringLiteral("收入"), TPlace::RightAt, 394, 88}, {QStringLiteral("支出"), TPlace::RightAt, 486, 88},
        {QStringLiteral("备注"), TPlace::LeftAt, 494, 224}};
    return RowsReport(header, columns, records.size(), [records](qsizetype i) {
        const TRecordTexts t = RecordTexts(records[i]);
        return QStringList{t.date, t.item, t.in, t.out, t.notes};
    });
}

TPagedReport ChartReport(const TReportHeader &header, const QImage &charts)
{
    TPagedReport report;
    report.PageCount = 1;
    report.BuildPage = [header, charts](int number) {
        std::unique_ptr<TPageReport> page = StartPage(number, header, {});
        if (charts.isNull() || charts.width() <= 0 || charts.height() <= 0)
            return page;
        const int top = ScaleY(72);
        const int room = ReportBandHeight() - top - ScaleY(24);
        const double scale =
            std::min(double(ReportBandWidth()) / charts.width(), double(room) / charts.height());
        TReportImage *picture = page->Band()->AddImage(charts);
        picture->ImageWidth = int(charts.width() * scale);
        picture->ImageHeight = int(charts.height() * scale);
        picture->Left = (ReportBandWidth() - picture->ImageWidth) / 2;
        picture->Top = top;
        return page;
    };
    return report;
}

TPagedReport SheetReport(const TReportHeader &header, const TSheetRows &sheet)
{
    // The band is 718 wide; each cell keeps a gap of 4 to its neighbours.
    constexpr int kBand = 718, kGap = 4;
    int weights = 0;
    for (qsizetype c = 0; c < sheet.columns.size(); ++c)
        weights += std::max(1, int(sheet.widths.value(c, 10)));
    QList<TReportColumn> columns;
    int x = 0;
    for (qsizetype c = 0; c < sheet.columns.size(); ++c) {
        const int share = kBand * std::max(1, int(sheet.widths.value(c, 10))) / std::max(1, weights);
        bool numbers = false;
        for (const QList<TSheetCell> &row : sheet.rows)
            if (c < row.size() && row[c].IsNumber()) {
                numbers = true;
                break;
            }
        const int width = std::max(8, share - kGap);
        if (numbers)
            columns.append({sheet.columns[c], TPlace::RightAt, x + width, width});
        else
            columns.append({sheet.columns[c], TPlace::LeftAt, x, width});
        x += share;
    }
    return RowsReport(header, columns, sheet.rows.size(), [sheet](qsizetype i) {
        QStringList texts;
        for (const TSheetCell &cell : sheet.rows[i])
            texts << cell.text;
        return texts;
    });
}

void LayOutAllPages(TReportPages &pages, const TPagedReport &report)
{
    FreeReportPages(pages);
    for (int number = 1; number <= report.PageCount; ++number)
        pages.push_back(report.BuildPage(number));
}

void FreeReportPages(TReportPages &pages)
{
    while (!pages.empty()) {
        pages.back()->FreeBand();
        pages.pop_back();
    }
}
