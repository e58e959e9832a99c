#include "app/Errors.h"
#include "app/HiClass.h"
#include "output/WebExport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Gb(const QString &text)
{
    return THi::ToLocalBytes(text);
}

TListData TransList(const QList<QStringList> &rows)
{
    return {{"", "日期", "项目", "收入", "支出", "备注"}, rows};
}

TExportContext Context(double in, double out)
{
    return {QStringLiteral("宝贝"), QDate(2026, 1, 1), QDate(2026, 1, 31), in, out};
}

QString Page(const QString &templ, const QList<TMarkerValues> &rows, const TExportContext &context)
{
    return THi::FromLocalBytes(BuildPage(Gb(templ), rows, context));
}

} // namespace

TEST(WebExport, SectionsAreCutAtSeparatorsTrimmedAndEmptyPiecesDropped)
{
    EXPECT_EQ(CutSections("\r\n  <h1>head</h1>\r\n\r\n<!-- - -->\r\n\t<tr>row</tr>\r\n<!-- - -->\r\n tail \r\n\r\n"),
              (QList<QByteArray>{"<h1>head</h1>", "<tr>row</tr>", "tail"}));
    // A separator at the start or two in a row give no section; one at the end no last piece.
    EXPECT_EQ(CutSections("<!-- - -->a<!-- - --><!-- - -->b<!-- - -->c<!-- - -->"),
              (QList<QByteArray>{"a", "b", "c"}));
    // A piece of blanks only survives as an empty section.
    EXPECT_EQ(CutSections("a<!-- - -->  \n <!-- - -->c"), (QList<QByteArray>{"a", "", "c"}));
    // The separator is matched exactly.
    EXPECT_EQ(CutSections("a<!-- -- -->b<!--  - -->c").size(), 1);
}

TEST(WebExport, MarkersInAnyCaseAndEveryOccurrenceAreFilledRowByRow)
{
    const QString templ = QStringLiteral(
        "<p>#TOP|#top</p><!-- - -->[#Date #CATEGORY #in/#IN #out #notes #Notes]\n<!-- - --><p>#Bottom</p>");
    const QList<TMarkerValues> rows = TransPageRows(TransList(
        {{"1", "2026-01-02", "工资", "100.00", "", "   "},
         {"2", "2026-01-03", "奶粉", "", "35.00", "  两罐 😀 "}}));
    EXPECT_EQ(Page(templ, rows, Context(0, 35)),
              QStringLiteral("<p>宝贝 (2026-01-01 至 2026-01-31)|宝贝 (2026-01-01 至 2026-01-31)</p>"
                             "[2026-01-02 工资 100.00/100.00 &nbsp; &nbsp; &nbsp;]"
                             "[2026-01-03 奶粉 &nbsp;/&nbsp; 35.00   两罐 😀    两罐 😀 ]"
                             "<p>收入合计：0.00&nbsp;&nbsp;支出合计：35.00&nbsp;&nbsp;结余合计：-35.00</p>"));
}

TEST(WebExport, RankingRowsPutNbspOnTheOtherSideOfTheirAmount)
{
    const TListData in{{"类别", "项目", "数量", "收入", "0 - 100%"}, {{"收入", "工资", "1", "100.00", "100.00%"}}};
    const TListData out{{"类别", "项目", "数量", "支出", "0 - 100%"}, {{"支出", "奶粉", "3", "35.00", "100.00%"}}};
    const QString page = Page(QStringLiteral("h<!-- - -->(#type|#category|#qty|#in|#out|#ratio)<!-- - -->t"),
                              CatesPageRows(in, out), Context(100, 35));
    EXPECT_EQ(page, QStringLiteral("h(收入|工资|1|100.00|&nbsp;|100.00%)(支出|奶粉|3|&nbsp;|35.00|100.00%)t"));
}

TEST(WebExport, TypedTextIsShownAsTypedNeverAsMarkupOrAnotherMarker)
{
    // A pattern without markers is repeated once per row; head and tail keep what they have.
    const QList<TMarkerValues> rows = TransPageRows(TransList(
        {{"1", "2026-01-02", "<b>Tom & \"Jerry\"</b>", "1.00", "", "#in #notes"},
         {"2", "2026-01-02", "#category", "", "2.00", "x"}}));
    EXPECT_EQ(Page(QStringLiteral("<h1>#top</h1><!-- - --><hr><!-- - -->#bottom #top"), rows, Context(1, 2))
                  .section(QStringLiteral("</h1>"), 1)
                  .section(QStringLiteral("收入合计"), 0, 0),
              QStringLiteral("<hr><hr>"));
    const QString page = Page(QStringLiteral("h<!-- - -->{#category|#notes}<!-- - -->."), rows, Context(1, 2));
    EXPECT_EQ(page, QStringLiteral("h{&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;|#in #notes}{#category|x}."));
    // The user name in the title is escaped too.
    TExportContext context = Context(0, 0);
    context.user = QStringLiteral("A&B");
    EXPECT_TRUE(Page(QStringLiteral("#top<!-- - -->r<!-- - -->t"), {}, context).startsWith(QStringLiteral("A&amp;B (")));
}

TEST(WebExport, TemplateWithoutThreeSectionsIsReportedAndNothingWritten)
{
    QTemporaryDir dir;
    const QString templ = dir.filePath(QStringLiteral("two.html"));
    const QString target = dir.filePath(QStringLiteral("out.html"));
    THi::WriteWholeFile(templ, "<h1>#top</h1>\n<!-- - --><!-- - -->\n<tr>#date</tr>\n");
    THi::WriteWholeFile(target, "earlier page");
    try {
        WriteWebExport(templ, target, {}, Context(0, 0));
        FAIL() << "a template of two sections was accepted";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("三部分"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(templ));
    }
    EXPECT_THROW(WriteWebExport(dir.filePath(QStringLiteral("none.html")), target, {}, Context(0, 0)), TError);
    EXPECT_EQ(THi::ReadWholeFile(target), QByteArray("earlier page"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(WebExport, DeliveredTemplateGivesAGb18030PageWithEveryRow)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("page.html"));
    const QList<TMarkerValues> rows = TransPageRows(TransList(
        {{"1", "2026-01-02", "工资", "100.00", "", ""}, {"2", "2026-01-03", "宝宝奶粉钱 😀", "", "35.00", "两罐"}}));
    WriteWebExport(QStringLiteral(TALLYFERN_BIN_DIR "/trans.html"), target, rows, Context(100, 35));
    const QByteArray bytes = THi::ReadWholeFile(target);
    EXPECT_TRUE(bytes.contains("charset=\"gb18030\""));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("9439fc36")));   // the emoji, in GB18030
    const QString page = THi::FromLocalBytes(bytes);
    EXPECT_FALSE(page.contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(page.contains(QLatin1String("<!-- - -->")));
    EXPECT_TRUE(page.contains(QStringLiteral("宝贝 (2026-01-01 至 2026-01-31)")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "<tr><td class=\"date\">2026-01-02</td><td>工资</td><td class=\"num\">100.00</td><td class=\"num\">&nbsp;</td><td>&nbsp;</td></tr>"
        "<tr><td class=\"date\">2026-01-03</td><td>宝宝奶粉钱 😀</td><td class=\"num\">&nbsp;</td><td class=\"num\">35.00</td><td>两罐</td></tr>")));
    EXPECT_TRUE(page.contains(QStringLiteral("收入合计：100.00&nbsp;&nbsp;支出合计：35.00&nbsp;&nbsp;结余合计：65.00")));
}
