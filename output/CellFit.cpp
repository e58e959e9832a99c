#include "output/CellFit.h"
#include "output/report/ReportModel.h"

#include <QList>
#include <QTextBoundaryFinder>

QString SetFittedCaption(TReportLabel &label, const QString &text, int maxWidth)
{
    label.SetCaption(text);
    if (label.Width() <= maxWidth || text.isEmpty())
        return text;

    // Ends of whole characters, the shortest first; a prefix ending at one of them keeps
    // surrogate pairs and combining marks together.
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        if (at < text.size())
            ends << at;

    const QString ellipsis(QChar(0x2026));
    // The longest prefix that fits with the ellipsis, found by bisection: widths grow with
    // the prefix.
    qsizetype lo = 0, hi = ends.size();  // prefixes ends[0..lo) fit; ends[hi..) do not
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        label.SetCaption(text.left(ends[mid]) + ellipsis);
        if (label.Width() <= maxWidth)
            lo = mid + 1;
        else
            hi = mid;
    }
    const QString fitted = (lo > 0 ? text.left(ends[lo - 1]) : QString()) + ellipsis;
    label.SetCaption(fitted);
    return fitted;
}
