// The settings file when it has grown large: a filters section of many rules (about 10 MB
// at 100,000 rules). Loading must stay linear and one look-up must cost the same in a small
// file and in a large one.
//   LoadAndReadEveryFolderList/N  the start-up pass over N rules: load the file, then read
//                                 each rule's folder list, as the mail-tree check does
// Counters: us_per_lookup is the mean cost of one ReadString; mb is the file's size.
#include <benchmark/benchmark.h>

#include <fstream>

#include "platform/profile.h"
#include "store_bench_support.h"

namespace corvelle::bench {
namespace {

std::string WriteSettings(size_t rules) {
  std::string path = ScratchRoot::Get().NewFolder("settings") + "CORVEL.INI";
  std::string text = "[filters]\r\n";
  for (size_t n = 1; n <= rules; ++n) {
    std::string rule = std::to_string(n);
    text += rule + ".1.HeaderLine=From\r\n" + rule + ".1.SearchText=sender" + rule + "@example.org\r\n" + rule +
            ".FolderText=\"Lists/" + std::to_string(n % 50) + "\",\"Archive\"\r\n";
  }
  text += "[main]\r\nMailDirectory=/home/user/Mail/\r\n";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

void LoadAndReadEveryFolderList(benchmark::State& state) {
  size_t rules = static_cast<size_t>(state.range(0));
  std::string path = WriteSettings(rules);
  double lookups = 0, lookup_seconds = 0;
  for (auto _ : state) {
    PrivateProfile ini(path);
    auto start = Clock::now();
    for (const std::string& key : ini.SectionKeys("filters"))
      if (key.ends_with("FolderText")) benchmark::DoNotOptimize(ini.ReadString("filters", key, ""));
    benchmark::DoNotOptimize(ini.ReadString("main", "MailDirectory", ""));
    lookup_seconds += std::chrono::duration<double>(Clock::now() - start).count();
    lookups += static_cast<double>(rules + 1);
  }
  state.counters["us_per_lookup"] = lookup_seconds * 1e6 / lookups;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  state.counters["mb"] = static_cast<double>(file.tellg()) / 1e6;
}
BENCHMARK(LoadAndReadEveryFolderList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvelle::bench

BENCHMARK_MAIN();
