#pragma once
#include "output/ListTexts.h"
#include <QElapsedTimer>
#include <QString>

#include <functional>

// Benchmarks register themselves; tallyfern-bench runs each once in registration order of
// their names and prints one line per figure: "name: <milliseconds> ms".
struct TBenchRegistrar {
    TBenchRegistrar(const char *name, std::function<void()> body);
};
#define TALLYFERN_BENCH(id) \
    static void bench_##id(); \
    static TBenchRegistrar bench_registrar_##id(#id, bench_##id); \
    static void bench_##id()

void ReportFigure(const QString &name, double milliseconds);
// A figure and its floor (the least the same work can cost) on one line, with their ratio.
void ReportFigure(const QString &name, double milliseconds, const QString &floorName,
                  double floorMilliseconds);
// A memory figure: "name: <megabytes> MB".
void ReportMegabytes(const QString &name, double megabytes);

// Milliseconds taken by body.
double TimeMs(const std::function<void()> &body);
// The median of runs timings, after one run that warms the caches.
double MedianMs(int runs, const std::function<void()> &body);
// The medians of two bodies timed in turn, so that both meet the same load of the machine.
std::pair<double, double> InterleavedMedianMs(int runs, const std::function<void()> &body,
                                              const std::function<void()> &floor);

// A folder for the benchmark's files, removed at exit.
QString BenchDir();

// Records in the seeded ledgers: 200,000 by default, or the --scale given on the command line.
int BenchScale();
// The name suffix of figures of a scaled run ("" at the default scale, "_1m" at 1,000,000).
QString ScaleSuffix();
// The benchmark ledger of 200,000 records (users 宝贝, 妈妈 and Dad, 2010 to 2019), made on
// first use.
QString SeededLedger();

// The records of the export figures: count records over ten years, about one in five an
// income, two notes in three made from notePattern (one %1, the record's number).
QList<TRecord> ExportRecords(int count, const QString &notePattern);
// The header of the export figures.
TReportHeader ExportHeader();
