#include "output/WebExport.h"
#include "base/Errors.h"
#include "base/HiClass.h"
#include "base/AtomicFile.h"
#include "base/DeliveredFiles.h"
#include "output/xls/Workbook.h"

#include <QStringEncoder>

#include <algorithm>

namespace {

const QByteArray kNbsp = QByteArrayLiteral("&nbsp;");

QByteArray TrimBytes(const QByteArray &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && quint8(text[from]) <= 32)
        ++from;
    while (to > from && quint8(text[to - 1]) <= 32)
        --to;
    return text.mid(from, to - from);
}

// Cell texts are shown as typed, so characters with a meaning in markup are escaped. One
// encoder serves a whole page: opening one per text costs more than the encoding itself.
class THtml {
public:
    QByteArray operator()(const QString &text);
    QByteArray OrNbsp(const QString &text) { return THi::Trim(text).isEmpty() ? kNbsp : (*this)(text); }

private:
    QStringEncoder m_encoder{"GB18030"};
};

QByteArray THtml::operator()(const QString &text)
{
    const auto special = [](QChar c) { return c == u'&' || c == u'<' || c == u'>' || c == u'"'; };
    if (std::none_of(text.cbegin(), text.cend(), special)) {
        // Dates and amounts are plain ASCII, the same bytes in GB18030.
        if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
            return text.toLatin1();
        return m_encoder.encode(text);
    }
    QString escaped;
    escaped.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': escaped += QLatin1String("&amp;"); break;
        case '<': escaped += QLatin1String("&lt;"); break;
        case '>': escaped += QLatin1String("&gt;"); break;
        case '"': escaped += QLatin1String("&quot;"); break;
        default: escaped += c;
        }
    }
    return m_encoder.encode(escaped);
}

bool MarkerAt(const QByteArray &text, qsizetype at, const QByteArray &marker)
{
    if (text.size() - at < marker.size())
        return false;
    for (qsizetype i = 0; i < marker.size(); ++i) {
        char c = text[at + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != marker[i])
            return false;
    }
    return true;
}

// Replaces every marker of section in one pass. '#' never occurs inside a GB18030
// multi-byte character, so working on the bytes is safe; inserted values are not searched
// again, so a text such as "#in" typed by the user stays as it is.
void AppendFilled(QByteArray &out, const QByteArray &section, const TMarkerValues &values)
{
    qsizetype pos = 0;
    for (;;) {
        const qsizetype hash = section.indexOf('#', pos);
        if (hash < 0)
            break;
        out.append(section.constData() + pos, hash - pos);
        pos = hash;
        bool replaced = false;
        for (const auto &[marker, value] : values) {
            if (MarkerAt(section, hash, marker)) {
                out.append(value);
                pos += marker.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out.append(section[pos++]);
    }
    out.append(section.constData() + pos, section.size() - pos);
}

} // namespace

QList<QByteArray> CutSections(const QByteArray &text)
{
    const QByteArray separator(kSectionSeparator);
    const QByteArray trimmed = TrimBytes(text);
    QList<QByteArray> sections;
    qsizetype from = 0;
    while (from < trimmed.size()) {
        qsizetype at = trimmed.indexOf(separator, from);
        if (at < 0)
            at = trimmed.size();
        if (at > from)
            sections.append(TrimBytes(trimmed.mid(from, at - from)));
        from = at + separator.size();
    }
    return sections;
}

QList<TMarkerValues> TransPageRows(const QList<TRecord> &records)
{
    THtml html;
    QList<TMarkerValues> rows;
    rows.reserve(records.size());
    for (const TRecord &record : records) {
        const TRecordTexts t = RecordTexts(record);
        rows.append({{QByteArrayLiteral("#date"), html(t.date)},
                     {QByteArrayLiteral("#category"), html(t.item)},
                     {QByteArrayLiteral("#in"), html.OrNbsp(t.in)},
                     {QByteArrayLiteral("#out"), html.OrNbsp(t.out)},
                     {QByteArrayLiteral("#notes"), html.OrNbsp(t.notes)}});
    }
    return rows;
}

QList<TMarkerValues> CatesPageRows(const QList<TRankRow> &inRanking, const QList<TRankRow> &outRanking,
                                   const TReportHeader &header)
{
    THtml html;
    QList<TMarkerValues> rows;
    rows.reserve(inRanking.size() + outRanking.size());
    for (const QList<TRankRow> *ranking : {&inRanking, &outRanking})
        for (const TRankRow &row : *ranking) {
            const TRankTexts t = RankTexts(row, header.TypeTotal(row.type));
            rows.append({{QByteArrayLiteral("#type"), html(t.type)},
                         {QByteArrayLiteral("#category"), html(t.item)},
                         {QByteArrayLiteral("#qty"), html(t.count)},
                         {QByteArrayLiteral("#in"), html.OrNbsp(t.in)},
                         {QByteArrayLiteral("#out"), html.OrNbsp(t.out)},
                         {QByteArrayLiteral("#ratio"), html(t.share)}});
        }
    return rows;
}

QByteArray BuildPage(const QByteArray &templateText, const QList<TMarkerValues> &rows,
                     const TReportHeader &header)
{
    const QList<QByteArray> sections = CutSections(templateText);
    if (sections.size() < 3)
        throw TError(QStringLiteral("网页模板应由“%1”分成页头、行和页尾三部分，却只有 %2 部分")
                         .arg(QLatin1String(kSectionSeparator))
                         .arg(sections.size()));
    THtml html;
    QByteArray page;
    page.reserve(sections[0].size() + sections[2].size() + rows.size() * (sections[1].size() + 64));
    AppendFilled(page, sections[0], {{QByteArrayLiteral("#top"), html(header.Title())}});
    for (const TMarkerValues &row : rows)
        AppendFilled(page, sections[1], row);
    const QString bottom = QStringLiteral("收入合计：%1&nbsp;&nbsp;支出合计：%2&nbsp;&nbsp;结余合计：%3")
                               .arg(FormatFen(header.inTotal), FormatFen(header.outTotal),
                                    FormatFen(header.Balance()));
    AppendFilled(page, sections[2], {{QByteArrayLiteral("#bottom"), THi::ToLocalBytes(bottom)}});
    return page;
}

void WriteWebExport(const QString &templatePath, const QString &targetPath,
                    const QList<TMarkerValues> &rows, const TReportHeader &header)
{
    CheckNotTemplate(templatePath, targetPath);
    const QByteArray text = THi::ReadWholeFile(templatePath);
    QByteArray page;
    try {
        page = BuildPage(text, rows, header);
    } catch (const TError &e) {
        throw TError(QStringLiteral("“%1”：%2").arg(templatePath, e.message()));
    }
    WriteFileReplacing(targetPath, page);
}
