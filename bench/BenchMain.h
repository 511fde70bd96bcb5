#pragma once

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

#include <sys/resource.h>

// CPU seconds spent so far by every thread of the process: the library's work runs on threads
// of its own, which the benchmark library's CPU column does not see.
inline double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Reports the process's CPU time per item, over every thread, from construction to destruction;
// made before the benchmark loop.
class ProcessCpuCounter {
public:
    explicit ProcessCpuCounter(benchmark::State& state, double itemsPerIteration = 1)
        : m_state(state), m_itemsPerIteration(itemsPerIteration), m_start(processCpuSeconds()) {}
    ~ProcessCpuCounter()
    {
        const double items = m_itemsPerIteration * double(std::max<benchmark::IterationCount>(m_state.iterations(), 1));
        m_state.counters["cpu_ms_per_item"] = (processCpuSeconds() - m_start) * 1e3 / items;
    }

private:
    benchmark::State& m_state;
    double m_itemsPerIteration;
    double m_start;
};

// Runs the benchmarks the command line selects; the caller has made its application object.
inline int runBenchmarks(int argc, char** argv)
{
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}

// The same inside an offscreen QGuiApplication, which image code needs.
inline int runBenchmarksWithGuiApplication(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    return runBenchmarks(argc, argv);
}
