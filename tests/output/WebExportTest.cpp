#include "base/Errors.h"
#include "base/HiClass.h"
#include "output/WebExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Gb(const QString &text)
{
    return THi::ToLocalBytes(text);
}

QString Page(const QString &templ, const QList<TMarkerValues> &rows, const TReportHeader &header)
{
    return THi::FromLocalBytes(BuildPage(Gb(templ), rows, header));
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
    const QList<TMarkerValues> rows = TransPageRows(
        {Rec(1, "2026-01-02", kTypeIn, "工资", 10000, "   "), Rec(2, "2026-01-03", kTypeOut, "奶粉", 3500, "  两罐 😀 ")});
    EXPECT_EQ(Page(templ, rows, Header(0, 3500)),
              QStringLiteral("<p>宝贝 (2026-01-01 至 2026-01-31)|宝贝 (2026-01-01 至 2026-01-31)</p>"
                             "[2026-01-02 工资 100.00/100.00 &nbsp; &nbsp; &nbsp;]"
                             "[2026-01-03 奶粉 &nbsp;/&nbsp; 35.00   两罐 😀    两罐 😀 ]"
                             "<p>收入合计：0.00&nbsp;&nbsp;支出合计：35.00&nbsp;&nbsp;结余合计：-35.00</p>"));
}

TEST(WebExport, RankingRowsPutNbspOnTheOtherSideOfTheirAmount)
{
    const QList<TRankRow> in{Rank(kTypeIn, "工资", 1, 10000)};
    const QList<TRankRow> out{Rank(kTypeOut, "奶粉", 3, 3500)};
    const QString page = Page(QStringLiteral("h<!-- - -->(#type|#category|#qty|#in|#out|#ratio)<!-- - -->t"),
                              CatesPageRows(in, out, Header(10000, 3500)), Header(10000, 3500));
    EXPECT_EQ(page, QStringLiteral("h(收入|工资|1|100.00|&nbsp;|100.00%)(支出|奶粉|3|&nbsp;|35.00|100.00%)t"));
}

TEST(WebExport, TypedTextIsShownAsTypedNeverAsMarkupOrAnotherMarker)
{
    // A pattern without markers is repeated once per row; head and tail keep what they have.
    const QList<TMarkerValues> rows = TransPageRows(
        {Rec(1, "2026-01-02", kTypeIn, "<b>Tom & \"Jerry\"</b>", 100, "#in #notes"),
         Rec(2, "2026-01-02", kTypeOut, "#category", 200, "x")});
    EXPECT_EQ(Page(QStringLiteral("<h1>#top</h1><!-- - --><hr><!-- - -->#bottom #top"), rows, Header(100, 200))
                  .section(QStringLiteral("</h1>"), 1)
                  .section(QStringLiteral("收入合计"), 0, 0),
              QStringLiteral("<hr><hr>"));
    const QString page = Page(QStringLiteral("h<!-- - -->{#category|#notes}<!-- - -->."), rows, Header(100, 200));
    EXPECT_EQ(page, QStringLiteral("h{&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;|#in #notes}{#category|x}."));
    // The user name in the title is escaped too.
    TReportHeader context = Header(0, 0);
    context.userName = QStringLiteral("A&B");
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
        WriteWebExport(templ, target, {}, Header(0, 0));
        FAIL() << "a template of two sections was accepted";
    } catch (const TError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("三部分"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(templ));
    }
    EXPECT_THROW(WriteWebExport(dir.filePath(QStringLiteral("none.html")), target, {}, Header(0, 0)), TError);
    EXPECT_EQ(THi::ReadWholeFile(target), QByteArray("earlier page"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(WebExport, DeliveredTemplateGivesAGb18030PageWithEveryRow)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("page.html"));
    const QList<TMarkerValues> rows = TransPageRows(
        {Rec(1, "2026-01-02", kTypeIn, "工资", 10000), Rec(2, "2026-01-03", kTypeOut, "宝宝奶粉钱 😀", 3500, "两罐")});
    WriteWebExport(QStringLiteral(TALLYFERN_BIN_DIR "/trans.html"), target, rows, Header(10000, 3500));
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
