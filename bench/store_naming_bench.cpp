// Naming and filing in large folders: the cost per call must stay flat as a folder fills.
//   UniqueFileNameInFullFolder/N  a folder already holding N counter-named files
//   RetrieveIntoSpool             10,000 messages into an empty "Spool", one name after another
//   FileIdenticalMessages         10,000 messages with one header filed into one folder
// Counters: us_at_N is the median cost of one call over 100 calls made while the folder holds
// about N files; ratio compares the windows the goals name (median, and mean_ratio the same
// with means); wrong_names counts names that were not the lowest free one (must be 0).
#include <benchmark/benchmark.h>

#include "core/user_interface.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "platform/paths.h"
#include "store_bench_support.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


namespace corvelle::bench {
namespace {

const std::vector<std::string> kMessage = {"From: Ann Lee <ann@example.org>", "To: bob@example.org",
                                           "Subject: Re: The same subject every time", "", "Body line",
                                           "Another body line"};

void UniqueFileNameInFullFolder(benchmark::State& state) {
  size_t files = static_cast<size_t>(state.range(0));
  std::string folder = ScratchRoot::Get().NewFolder("full");
  for (size_t i = 0; i < files; ++i) CreateRaw(folder + Hex(i) + ".new", "x");
  UniqueFileName(folder, ".new");  // reads the folder once
  size_t next = files, wrong = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    std::string name = UniqueFileName(folder, ".new");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (name != folder + Hex(next) + ".new") ++wrong;
    // The caller creates the file through the store, as retrieval does.
    WriteNewFile(name, "x");
    ++next;
  }
  state.counters["wrong_names"] = static_cast<double>(wrong);
}
BENCHMARK(UniqueFileNameInFullFolder)->Arg(100)->Arg(10000)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);

void RetrieveIntoSpool(benchmark::State& state) {
  constexpr size_t kMessages = 10000;
  for (auto _ : state) {
    std::string spool = ScratchRoot::Get().NewFolder("Spool");
    std::vector<double> costs;
    size_t wrong = 0;
    Clock::duration total{};
    for (size_t i = 0; i < kMessages; ++i) {
      auto start = Clock::now();
      std::string name = UniqueFileName(spool, ".new");
      auto named = Clock::now();
      costs.push_back(Micros(named - start));
      if (name != spool + Hex(i) + ".new") ++wrong;
      WriteMessageLines(name, kMessage);
      total += Clock::now() - start;
    }
    state.SetIterationTime(std::chrono::duration<double>(total).count());
    double at_100 = MedianOver(costs, 100, 200), at_10000 = MedianOver(costs, kMessages - 100, kMessages);
    state.counters["us_at_100"] = at_100;
    state.counters["us_at_1000"] = MedianOver(costs, 1000, 1100);
    state.counters["us_at_10000"] = at_10000;
    state.counters["ratio"] = at_10000 / at_100;
    state.counters["mean_ratio"] = MeanOver(costs, kMessages - 100, kMessages) / MeanOver(costs, 100, 200);
    state.counters["us_per_message_with_write"] = Micros(total) / kMessages;
    state.counters["wrong_names"] = static_cast<double>(wrong);
  }
}
BENCHMARK(RetrieveIntoSpool)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void FileIdenticalMessages(benchmark::State& state) {
  constexpr size_t kMessages = 10000;
  for (auto _ : state) {
    MailSettings.MailDirectory = ScratchRoot::Get().NewFolder("Mail");
    MakeFolders(MailSettings.MailDirectory + "Inbox");
    MakeFolders(MailSettings.MailDirectory + "Spool");
    std::string text;
    for (const std::string& line : kMessage) text += line + "\r\n";
    for (size_t i = 0; i < kMessages; ++i) CreateRaw(MailSettings.MailDirectory + "Spool/" + Hex(i) + ".new", text);
    std::vector<double> costs;
    Clock::duration total{};
    for (size_t i = 0; i < kMessages; ++i) {
      auto start = Clock::now();
      StoreOf(MailSettings).FileMessage(silent_ui, "\"Inbox\"", "Spool", Hex(i) + ".new", kMessage, false);
      auto took = Clock::now() - start;
      costs.push_back(Micros(took));
      total += took;
    }
    state.SetIterationTime(std::chrono::duration<double>(total).count());
    double at_1000 = MedianOver(costs, 900, 1000), at_10000 = MedianOver(costs, kMessages - 100, kMessages);
    state.counters["us_at_100"] = MedianOver(costs, 100, 200);
    state.counters["us_at_1000"] = at_1000;
    state.counters["us_at_10000"] = at_10000;
    state.counters["ratio"] = at_10000 / at_1000;
    state.counters["mean_ratio"] = MeanOver(costs, kMessages - 100, kMessages) / MeanOver(costs, 900, 1000);
    // Every message must have arrived, under its own name.
    std::vector<FolderEntry> filed = ReadFolder(MailSettings.MailDirectory + "Inbox");
    state.counters["missing"] = static_cast<double>(kMessages - filed.size());
  }
}
BENCHMARK(FileIdenticalMessages)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvelle::bench

BENCHMARK_MAIN();
