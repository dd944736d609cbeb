#pragma once
// The main() of the window benchmarks: offscreen unless a platform is named, a QApplication
// for the widgets, then Google Benchmark. `prepare` runs before any timing.

#include <QApplication>
#include <benchmark/benchmark.h>

#include <functional>

namespace corvelle::bench {

inline int RunWindowBenchmarks(int argc, char** argv, const std::function<void()>& prepare = {}) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (prepare) prepare();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace corvelle::bench
