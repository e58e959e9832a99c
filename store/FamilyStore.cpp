#include "store/FamilyStore.h"
#include "base/HiClass.h"
#include "store/Ado.h"
#include "store/PlanTables.h"
#include "store/TextLimits.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

// Only the columns that sums need: notes are never read.
constexpr const char *kMemberRecords =
    "select [date],[type],[cate],[amount] from [data] "
    "where [user]=? and [date]>=? and [date]<=?";

bool HasConsentTable(TConnection &conn)
{
    TStatement st(conn, QStringLiteral(
        "select 1 from sqlite_master where type='table' and name='family_consent'"));
    return st.Next();
}

// Users by name in code-page order; every name once.
QStringList MemberNames(TConnection &conn)
{
    QStringList names;
    TStatement st(conn, QStringLiteral("select distinct [name] from [users]"));
    while (st.Next())
        names << THi::DecodeText(st.Text(0));
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const QByteArray la = THi::ToLocalBytes(a), lb = THi::ToLocalBytes(b);
        return la != lb ? la < lb : a < b;
    });
    names.removeDuplicates();
    return names;
}

QStringList AgreedStored(TConnection &conn)
{
    QStringList stored;
    if (!HasConsentTable(conn))
        return stored;
    TStatement st(conn, QStringLiteral("select [user] from [family_consent]"));
    while (st.Next())
        stored << st.Text(0);
    return stored;
}

struct TItemSum {
    QString item;
    QByteArray local;
    QByteArray stored;
    qint64 count = 0;
    TFen sum = 0;
    QList<TFen> byMember;
};

QList<TFamilyItem> Ranked(std::vector<TItemSum> &sums, const QString &type)
{
    std::sort(sums.begin(), sums.end(), [](const TItemSum &a, const TItemSum &b) {
        if (a.sum != b.sum)
            return a.sum > b.sum;
        if (a.local != b.local)
            return a.local < b.local;
        return a.stored < b.stored;
    });
    QList<TFamilyItem> rows;
    for (TItemSum &s : sums)
        if (s.count > 0)
            rows.append({type, s.item, s.count, s.sum, s.byMember});
    return rows;
}

} // namespace

bool TFamilyStore::Agreed(const QString &user)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    return AgreedStored(conn).contains(THi::EncodeText(user));
}

void TFamilyStore::SetAgreed(const QString &user, bool agreed)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    RequirePlanTables(conn);
    const QString stored = THi::EncodeText(user);
    if (agreed)
        conn.Execute(QStringLiteral("insert or ignore into [family_consent] ([user]) values (?)"), {stored});
    else
        conn.Execute(QStringLiteral("delete from [family_consent] where [user]=?"), {stored});
}

TFamilySummary TFamilyStore::Summary(const QString &viewer, const QDate &fromDate, const QDate &toDate)
{
    TConnection conn;
    TConnectionScope scope{conn};
    OpenLedger(conn);
    TFamilySummary summary;
    summary.fromDate = fromDate;
    summary.toDate = toDate;
    const QStringList names = MemberNames(conn);
    const QStringList agreed = AgreedStored(conn);
    summary.viewerAgreed = names.contains(viewer) && agreed.contains(THi::EncodeText(viewer));
    if (!summary.viewerAgreed)
        return summary;
    for (const QString &name : names) {
        if (agreed.contains(THi::EncodeText(name)))
            summary.members.append({name, 0, 0});
        else
            summary.notJoined.append(name);
    }
    const int memberCount = int(summary.members.size());

    // Every month of the span, so that a month without records shows as zero.
    QHash<QByteArray, int> monthIndex;
    if (fromDate.isValid() && toDate.isValid())
        for (QDate m(fromDate.year(), fromDate.month(), 1); m <= toDate; m = m.addMonths(1)) {
            monthIndex.insert(m.toString(QStringLiteral("yyyy-MM")).toLatin1(), int(summary.months.size()));
            summary.months.append({m, 0, 0, QList<TFen>(memberCount, 0)});
        }

    static const QByteArray outWord = kTypeOut.toUtf8(), inWord = kTypeIn.toUtf8();
    const QString ymd = QStringLiteral("yyyy-MM-dd");
    QHash<QByteArray, int> itemIndex[2];
    std::vector<TItemSum> items[2];
    for (int m = 0; m < memberCount; ++m) {
        TFamilyMember &member = summary.members[m];
        TStatement st(conn, QString::fromUtf8(kMemberRecords),
                      {THi::EncodeText(member.name), fromDate.toString(ymd), toDate.toString(ymd)});
        QByteArray lastMonth;
        int month = -1;
        while (st.Next()) {
            const QByteArrayView type = st.Bytes(1);
            const int kind = type == QByteArrayView(outWord) ? 0 : type == QByteArrayView(inWord) ? 1 : -1;
            if (kind < 0)
                continue;  // a padded or unknown word counts in neither total
            const TFen amount = FenFromYuan(st.Number(3));
            const QByteArrayView date = st.Bytes(0);
            const QByteArrayView ym = date.first(std::min<qsizetype>(7, date.size()));
            if (ym != QByteArrayView(lastMonth)) {
                lastMonth = ym.toByteArray();
                month = monthIndex.value(lastMonth, -1);
            }
            const QByteArrayView storedItem = st.Bytes(2);
            const QByteArrayView shownPart = storedItem.first(std::min<qsizetype>(storedItem.size(), kStoredTextRead));
            const QByteArray key = QByteArray::fromRawData(shownPart.data(), shownPart.size());
            auto found = itemIndex[kind].constFind(key);
            int index;
            if (found == itemIndex[kind].constEnd()) {
                const QByteArray owned(shownPart.data(), shownPart.size());
                const QString text = ShownText(THi::DecodeText(QString::fromLatin1(owned)));
                index = int(items[kind].size());
                items[kind].push_back({text, THi::ToLocalBytes(text), owned, 0, 0, QList<TFen>(memberCount, 0)});
                itemIndex[kind].insert(owned, index);
            } else {
                index = found.value();
            }
            TItemSum &sum = items[kind][size_t(index)];
            ++sum.count;
            sum.sum += amount;
            sum.byMember[m] += amount;
            if (kind == 0) {
                member.out += amount;
                if (month >= 0) {
                    summary.months[month].out += amount;
                    summary.months[month].outByMember[m] += amount;
                }
            } else {
                member.in += amount;
                if (month >= 0)
                    summary.months[month].in += amount;
            }
        }
        summary.inTotal += member.in;
        summary.outTotal += member.out;
    }
    summary.outItems = Ranked(items[0], kTypeOut);
    summary.inItems = Ranked(items[1], kTypeIn);
    return summary;
}
