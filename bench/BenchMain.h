#pragma once

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

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
