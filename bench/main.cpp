#include "bench/Bench.h"
#include "app/Application.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
std::map<std::string, std::function<void()>> &Registry()
{
    static std::map<std::string, std::function<void()>> r;
    return r;
}
QTemporaryDir *g_dir = nullptr;
int g_scale = 200000;

double Median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
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

void ReportFigure(const QString &name, double milliseconds, const QString &floorName,
                  double floorMilliseconds)
{
    std::printf("%s: %.1f ms  %s: %.1f ms  ratio %.2f\n", name.toUtf8().constData(), milliseconds,
                floorName.toUtf8().constData(), floorMilliseconds,
                floorMilliseconds > 0 ? milliseconds / floorMilliseconds : 0.0);
    std::fflush(stdout);
}

void ReportMegabytes(const QString &name, double megabytes)
{
    std::printf("%s: %.1f MB\n", name.toUtf8().constData(), megabytes);
    std::fflush(stdout);
}

double TimeMs(const std::function<void()> &body)
{
    QElapsedTimer t;
    t.start();
    body();
    return double(t.nsecsElapsed()) / 1e6;
}

double MedianMs(int runs, const std::function<void()> &body)
{
    body();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(TimeMs(body));
    return Median(ms);
}

std::pair<double, double> InterleavedMedianMs(int runs, const std::function<void()> &body,
                                              const std::function<void()> &floor)
{
    body();
    floor();
    std::vector<double> bodyMs, floorMs;
    for (int i = 0; i < runs; ++i) {
        bodyMs.push_back(TimeMs(body));
        floorMs.push_back(TimeMs(floor));
    }
    return {Median(bodyMs), Median(floorMs)};
}

QString BenchDir()
{
    return g_dir->path();
}

int BenchScale()
{
    return g_scale;
}

QString ScaleSuffix()
{
    if (g_scale == 200000)
        return QString();
    if (g_scale % 1000000 == 0)
        return QStringLiteral("_%1m").arg(g_scale / 1000000);
    return QStringLiteral("_%1").arg(g_scale);
}

int RunChildMode(int argc, char **argv);

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A measuring child started by a benchmark (see RunChildMode) does one thing and exits.
    if (argc > 1 && std::strncmp(argv[1], "--child-", 8) == 0)
        return RunChildMode(argc, argv);
    std::vector<std::string> wantedNames;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            g_scale = std::max(1000, std::atoi(argv[++i]));
            continue;
        }
        wantedNames.emplace_back(argv[i]);
    }
    TApplication app(argc, argv);
    SetUpApplication();
    QTemporaryDir dir;
    g_dir = &dir;
    // Optional arguments name the benchmarks to run (prefix match).
    for (const auto &[name, body] : Registry()) {
        bool wanted = wantedNames.empty();
        for (const std::string &w : wantedNames)
            wanted = wanted || name.rfind(w, 0) == 0;
        if (wanted)
            body();
    }
    return 0;
}
