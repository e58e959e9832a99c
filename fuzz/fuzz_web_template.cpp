// A page template beside the program may be edited or damaged: cutting and filling it
// must end in a page or a TError, never a crash.
#include "base/Errors.h"
#include "output/WebExport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TReportHeader context;
    context.userName = QStringLiteral("宝贝 <b>&\"");
    context.fromDate = QDate(2026, 1, 1);
    context.toDate = QDate(2026, 12, 31);
    context.inTotal = 10000;
    context.outTotal = 25050;
    const QList<TMarkerValues> rows = {
        {{"#date", "2026-01-02"}, {"#category", "&lt;b&gt;"}, {"#in", "&nbsp;"}, {"#out", "12.50"}, {"#notes", "#date"}},
        {{"#date", "2026-01-03"}, {"#category", ""}, {"#in", "3.00"}, {"#out", "&nbsp;"}, {"#notes", "&nbsp;"}}};
    try {
        CutSections(bytes);
        BuildPage(bytes, rows, context);
    } catch (const TError &) {
    }
    return 0;
}
