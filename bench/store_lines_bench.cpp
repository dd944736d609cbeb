// The line reader over a 100 MB message file, against a plain memchr line scan of the same
// buffer. GetNextString must reach at least half the scan's speed.
//   MemchrScan        finds every LF, no copy
//   MemchrScanCopy    finds every LF and copies each line into a string (what a reader returns)
//   GetNextString     TBigFile's reader (CR LF or LF ends a line, lone CR kept)
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "core/store/big_file.h"
#include "store_bench_support.h"

namespace corvelle::bench {
namespace {

constexpr size_t kSize = 100u << 20;

// Mail-like text: lines of 0 to 160 bytes, mostly CR LF, some bare LF, a few lone CRs.
const std::string& Text() {
  static const std::string text = [] {
    std::mt19937 random(1);
    std::string data;
    data.reserve(kSize + 200);
    while (data.size() < kSize) {
      size_t length = random() % 161;
      for (size_t i = 0; i < length; ++i) data += static_cast<char>(random() % 50 == 0 ? '\r' : 'a' + random() % 26);
      data += random() % 10 == 0 ? "\n" : "\r\n";
    }
    return data;
  }();
  return text;
}

void MemchrScan(benchmark::State& state) {
  const std::string& data = Text();
  for (auto _ : state) {
    size_t lines = 0;
    for (const char *p = data.data(), *end = p + data.size(); p < end; ++lines) {
      const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      p = lf ? lf + 1 : end;
    }
    benchmark::DoNotOptimize(lines);
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(MemchrScan)->Unit(benchmark::kMillisecond);

void MemchrScanCopy(benchmark::State& state) {
  const std::string& data = Text();
  std::string line;
  for (auto _ : state) {
    size_t lines = 0;
    for (const char *p = data.data(), *end = p + data.size(); p < end; ++lines) {
      const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      const char* stop = lf ? lf : end;
      line.assign(p, static_cast<size_t>(stop - p));
      benchmark::DoNotOptimize(line.data());
      p = lf ? lf + 1 : end;
    }
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(MemchrScanCopy)->Unit(benchmark::kMillisecond);

void GetNextString(benchmark::State& state) {
  TBigFile file;
  file.LoadFromString(Text());
  std::string line;
  for (auto _ : state) {
    file.SetPosition(0);
    size_t lines = 0;
    while (file.GetNextString(line)) {
      benchmark::DoNotOptimize(line.data());
      ++lines;
    }
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.Size()));
}
BENCHMARK(GetNextString)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvelle::bench

BENCHMARK_MAIN();
