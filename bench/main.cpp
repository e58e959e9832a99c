#include "bench/Bench.h"
#include "app/Application.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {
std::map<std::string, std::function<void()>> &Registry()
{
    static std::map<std::string, std::function<void()>> r;
    return r;
}
QTemporaryDir *g_dir = nullptr;
} // namespace

TBenchRegistrar::TBenchRegistrar(const char *name, std::function<void()> body)
{
    Registry()[name] = std::move(body);
}

void ReportFigure(const QString &name, double milliseconds)
{
    std::printf("%s: %.1f ms\n", name.toUtf8().constData(), milliseconds);
    std::fflush(stdout);
}

double TimeMs(const std::function<void()> &body)
{
    QElapsedTimer t;
    t.start();
    body();
    return double(t.nsecsElapsed()) / 1e6;
}

QString BenchDir()
{
    return g_dir->path();
}

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication app(argc, argv);
    SetUpApplication();
    QTemporaryDir dir;
    g_dir = &dir;
    // Optional arguments name the benchmarks to run (prefix match).
    for (const auto &[name, body] : Registry()) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || name.rfind(argv[i], 0) == 0;
        if (wanted)
            body();
    }
    return 0;
}
