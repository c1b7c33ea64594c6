#pragma once

// The main() of the benchmarks that need a QApplication.

#include "../tests/support/statehome.h"

#include <QApplication>

#include <benchmark/benchmark.h>

// Runs the registered benchmarks on the offscreen platform unless the caller chose another, so
// they measure the same work on a desktop and on a headless machine. With rejectUnknownArguments
// set, an argument neither Qt nor Google Benchmark knows stops the run with exit code 1 instead
// of being ignored.
inline int runGuiBenchmarks(int argc, char **argv, bool rejectUnknownArguments = false)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TTemporaryStateHome state;
    benchmark::Initialize(&argc, argv);
    if (rejectUnknownArguments && benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
