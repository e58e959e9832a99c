#include "family/FamilyForm.h"
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "output/FamilySheets.h"
#include "output/Reports.h"
#include "store/Ado.h"
#include "store/DbClass.h"
#include "store/FamilyStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QString kBaby = QStringLiteral("宝贝");
const QString kMum = QStringLiteral("妈妈");
const QString kDad = QStringLiteral("Dad");
const QDate kFrom(2026, 1, 1);
const QDate kTo(2026, 3, 31);

// Texts that only single records carry: none may reach the summary.
const QStringList kPrivate{QStringLiteral("秘密礼物"), QStringLiteral("私房钱"), QStringLiteral("Dad的烟"),
                           QStringLiteral("2026-01-05"), QStringLiteral("2026-02-14")};

// Every cell of the first sheet of an .xlsx file, or of a .csv file, as Python reads it.
QStringList ReadBack(const QString &path)
{
    const char *script = R"(
import csv, io, json, sys
p = sys.argv[1]
if p.endswith(".xlsx"):
    import openpyxl
    ws = openpyxl.load_workbook(p, read_only=True).worksheets[0]
    rows = [[c.value for c in row] for row in ws.iter_rows()]
else:
    rows = list(csv.reader(io.StringIO(open(p, "rb").read().decode("utf-8-sig"), newline="")))
cells = []
for row in rows:
    for v in row:
        cells.append("" if v is None else ("#%r" % v if isinstance(v, (int, float)) else v))
    cells.append("|")
sys.stdout.write(json.dumps(cells, ensure_ascii=False))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    python.waitForFinished(120000);
    QStringList cells;
    for (const QJsonValue &v : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        cells << v.toString();
    if (cells.isEmpty())
        ADD_FAILURE() << python.readAllStandardError().toStdString();
    return cells;
}

QList<QStringList> Rows(const QTreeWidget *list)
{
    QList<QStringList> rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QStringList row;
        for (int c = 0; c < list->columnCount(); ++c)
            row << list->topLevelItem(r)->text(c);
        rows << row;
    }
    return rows;
}

} // namespace

// Three members on a real ledger: 宝贝 and 妈妈 agree, Dad does not.
class Family : public ::testing::Test {
protected:
    void SetUp() override
    {
        TDbMan db(ledger.Path());
        for (const QString &user : {kBaby, kMum, kDad})
            db.AddUser(user, QStringLiteral("pw"));
        db.AddRecords(kBaby, NewRecords({{"2026-01-05", "支出", "米", "12.5", "秘密礼物"},
                                         {"2026-01-20", "支出", "电费", "80", ""},
                                         {"2026-02-14", "收入", "工资", "3000", "私房钱"},
                                         {"2026-03-01", "支出", "米", "0.1", ""},
                                         {"2025-12-31", "支出", "米", "99", ""}}));
        db.AddRecords(kMum, NewRecords({{"2026-01-06", "支出", "米", "20.2", ""},
                                        {"2026-03-31", "收入", "奖金", "500", ""},
                                        {"2026-03-02", "支出", "菜", "0.2", ""},
                                        {"2026-04-01", "支出", "菜", "7", ""}}));
        db.AddRecords(kDad, NewRecords({{"2026-01-07", "支出", "Dad的烟", "30", "Dad的烟"},
                                        {"2026-02-01", "收入", "工资", "9000", ""}}));
        // A type word the program does not write counts in neither total, as in a search.
        TConnection conn;
        conn.Open(ledger.Path());
        conn.Execute(QStringLiteral("insert into data (user,date,type,cate,amount,notes) values (?,?,?,?,?,?)"),
                     {THi::EncodeText(kMum), QStringLiteral("2026-02-02"), QStringLiteral(" 支出"),
                      THi::EncodeText(QStringLiteral("米")), 1000.0, QString()});
        conn.Close();
        Store().SetAgreed(kBaby, true);
        Store().SetAgreed(kMum, true);
    }
    TFamilyStore Store() const { return TFamilyStore(ledger.Path()); }

    TTempLedger ledger;
};

TEST_F(Family, FiguresAreTheSumsOfEachAgreeingMembersOwnSearch)
{
    const TFamilySummary s = Store().Summary(kBaby, kFrom, kTo);
    ASSERT_TRUE(s.viewerAgreed);
    ASSERT_EQ(s.members.size(), 2);
    EXPECT_EQ(s.notJoined, QStringList{kDad});
    TFen in = 0, out = 0;
    for (int m = 0; m < s.members.size(); ++m) {
        const TSearchResult own = TDbMan(ledger.Path()).Search(s.members[m].name, kFrom, kTo);
        SCOPED_TRACE(s.members[m].name.toStdString());
        EXPECT_EQ(s.members[m].in, own.inTotal);
        EXPECT_EQ(s.members[m].out, own.outTotal);
        in += own.inTotal;
        out += own.outTotal;
        // Each item's share of the member is the member's own ranked sum.
        for (const auto &[ranking, items] : {std::pair{&own.outRanking, &s.outItems}, std::pair{&own.inRanking, &s.inItems}})
            for (const TRankRow &rank : *ranking) {
                const auto it = std::find_if(items->begin(), items->end(),
                                             [&](const TFamilyItem &i) { return i.item == rank.item; });
                ASSERT_NE(it, items->end()) << rank.item.toStdString();
                EXPECT_EQ(it->byMember[m], rank.sum);
            }
        for (const TPeriodTotal &month : own.months) {
            const auto it = std::find_if(s.months.begin(), s.months.end(),
                                         [&](const TFamilyMonth &f) { return f.month == month.date; });
            ASSERT_NE(it, s.months.end());
            EXPECT_EQ(it->outByMember[m], month.out);
        }
    }
    EXPECT_EQ(s.inTotal, in);
    EXPECT_EQ(s.outTotal, out);
    EXPECT_EQ(s.inTotal, 350000);
    EXPECT_EQ(s.outTotal, 11300);
    // Every month of the span, expense ranked above income, largest first.
    ASSERT_EQ(s.months.size(), 3);
    EXPECT_EQ(s.months[1].out, 0);
    EXPECT_EQ(s.months[2].out, 30);
    ASSERT_EQ(s.outItems.size(), 3);
    EXPECT_EQ(s.outItems[0].item, QStringLiteral("电费"));
    EXPECT_EQ(s.outItems[1].item, QStringLiteral("米"));
    EXPECT_EQ(s.outItems[1].count, 3);
    EXPECT_EQ(s.outItems[1].sum, 3280);
    EXPECT_EQ(s.inItems.first().item, QStringLiteral("工资"));
    EXPECT_EQ(s.inItems.first().sum, 300000);  // Dad's salary is not counted
}

TEST_F(Family, AMemberWhoHasNotAgreedSeesNoFiguresAndLeavingTakesEffectAtOnce)
{
    const TFamilySummary dad = Store().Summary(kDad, kFrom, kTo);
    EXPECT_FALSE(dad.viewerAgreed);
    EXPECT_TRUE(dad.members.isEmpty());
    EXPECT_TRUE(dad.notJoined.isEmpty());
    EXPECT_EQ(dad.inTotal + dad.outTotal, 0);
    EXPECT_TRUE(dad.outItems.isEmpty() && dad.inItems.isEmpty() && dad.months.isEmpty());
    EXPECT_TRUE(FamilyRows(dad, TFamilyView::Members).rows.isEmpty());

    Store().SetAgreed(kMum, false);
    EXPECT_FALSE(Store().Agreed(kMum));
    const TFamilySummary baby = Store().Summary(kBaby, kFrom, kTo);
    ASSERT_EQ(baby.members.size(), 1);
    EXPECT_EQ(baby.notJoined, (QStringList{kDad, kMum}));
    EXPECT_EQ(baby.outTotal, 9260);

    // A deleted member's consent goes with the account; a new account of that name starts
    // without it.
    TDbMan(ledger.Path()).DeleteUser(kBaby);
    TDbMan(ledger.Path()).AddUser(kBaby, QStringLiteral("pw"));
    EXPECT_FALSE(Store().Agreed(kBaby));
}

TEST_F(Family, WindowShowsSumsOnlyAndExportsThemWithTheTitle)
{
    TScriptedDialogs &dialogs = Scripted();
    const std::unique_ptr<TfrmMain> window = SignedInMainWindow(ledger.Path(), kBaby);
    TfrmFamily form(*window, window.get());
    auto *list = Child<QTreeWidget>(&form, "lvwFamily");
    Child<QDateEdit>(&form, "dtpFamilyDate1")->setDate(kFrom);
    Child<QDateEdit>(&form, "dtpFamilyDate2")->setDate(kTo);
    Child<QPushButton>(&form, "btnFamilySearch")->click();
    EXPECT_TRUE(Child<QCheckBox>(&form, "chkConsent")->isChecked());

    const QList<QStringList> members = Rows(list);
    ASSERT_EQ(members.size(), 4);
    EXPECT_EQ(members[0], (QStringList{kBaby, "3000.00", "92.60", "2907.40", "81.95%"}));
    EXPECT_EQ(members[1], (QStringList{kMum, "500.00", "20.40", "479.60", "18.05%"}));
    EXPECT_EQ(members[2], (QStringList{kDad, "未加入", "", "", ""}));
    EXPECT_EQ(members[3], (QStringList{"家庭合计", "3500.00", "113.00", "3387.00", "100.00%"}));

    const QString dir = ledger.Dir();
    QStringList shown, exported;
    const struct {
        const char *radio;
        const char *file;
    } views[] = {{"rdoByMember", "members.xlsx"}, {"rdoByItem", "items.csv"}, {"rdoByMonth", "months.xlsx"}};
    for (const auto &v : views) {
        Child<QRadioButton>(&form, v.radio)->click();
        for (int c = 0; c < list->columnCount(); ++c)
            shown << list->headerItem()->text(c);
        for (const QStringList &row : Rows(list))
            shown << row;
        const QString path = dir + QLatin1Char('/') + QLatin1String(v.file);
        dialogs.fileNames.enqueue(path);
        Child<QPushButton>(&form, path.endsWith(".xlsx") ? "btnExportXlsx" : "btnExportCsv")->click();
        const QStringList cells = ReadBack(path);
        EXPECT_TRUE(cells.contains(QStringLiteral("家庭汇总 (2026-01-01 至 2026-03-31)"))) << v.file;
        exported << cells;
    }
    EXPECT_EQ(Rows(list).size(), 3);  // 按月: January to March
    EXPECT_TRUE(shown.contains(QStringLiteral("妈妈支出")));
    EXPECT_TRUE(exported.contains(QStringLiteral("#2907.4")));  // 宝贝's balance as a number
    EXPECT_TRUE(exported.contains(QStringLiteral("32.80")));    // 米 in the csv text
    EXPECT_TRUE(exported.contains(kDad));
    for (const QString &text : kPrivate) {
        EXPECT_FALSE(shown.join('\n').contains(text)) << text.toStdString();
        EXPECT_FALSE(exported.join('\n').contains(text)) << text.toStdString();
    }

    // The printed report of a view: the title and the totals row on the page.
    TReportPages pages;
    Child<QRadioButton>(&form, "rdoByMember")->click();
    LayOutAllPages(pages, SheetReport(FamilyHeader(form.Summary()), FamilyRows(form.Summary(), TFamilyView::Members)));
    ASSERT_EQ(pages.size(), 1u);
    QStringList printed;
    for (const auto &control : pages[0]->Band()->Controls())
        if (const auto *label = dynamic_cast<const TReportLabel *>(control.get()))
            printed << label->Caption();
    FreeReportPages(pages);
    EXPECT_TRUE(printed.contains(QStringLiteral("家庭汇总")));
    EXPECT_TRUE(printed.contains(QStringLiteral("(2026-01-01 至 2026-03-31)")));
    EXPECT_TRUE(printed.contains(QStringLiteral("家庭合计")));
    EXPECT_TRUE(printed.contains(QStringLiteral("2907.40")));
}

TEST_F(Family, TheConsentBoxStoresTheChoiceAndHidesEveryFigureAtOnce)
{
    Scripted();
    const std::unique_ptr<TfrmMain> window = SignedInMainWindow(ledger.Path(), kDad);
    TfrmFamily form(*window, window.get());
    auto *consent = Child<QCheckBox>(&form, "chkConsent");
    auto *list = Child<QTreeWidget>(&form, "lvwFamily");
    EXPECT_FALSE(consent->isChecked());
    EXPECT_FALSE(Child<QLabel>(&form, "lblExplain")->isHidden());
    EXPECT_EQ(Child<QLabel>(&form, "lblExplain")->text(), QStringLiteral("加入家庭汇总后，才能看到家人的汇总。"));
    EXPECT_EQ(list->topLevelItemCount(), 0);

    consent->click();
    EXPECT_TRUE(TFamilyStore(ledger.Path()).Agreed(kDad));
    EXPECT_TRUE(Child<QLabel>(&form, "lblExplain")->isHidden());
    EXPECT_EQ(form.Summary().members.size(), 3);
    EXPECT_EQ(list->topLevelItemCount(), 4);

    consent->click();
    EXPECT_FALSE(TFamilyStore(ledger.Path()).Agreed(kDad));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(form.Summary().members.isEmpty());
    EXPECT_FALSE(Child<QPushButton>(&form, "btnExportXlsx")->isEnabled());
    EXPECT_FALSE(TFamilyStore(ledger.Path()).Summary(kBaby, kFrom, kTo).notJoined.isEmpty());
}
