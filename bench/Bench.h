#pragma once
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

// Milliseconds taken by body.
double TimeMs(const std::function<void()> &body);

// A folder for the benchmark's files, removed at exit.
QString BenchDir();

// The benchmark ledger of 200,000 records (users 宝贝, 妈妈 and Dad, 2010 to 2019), made on
// first use.
QString SeededLedger();
