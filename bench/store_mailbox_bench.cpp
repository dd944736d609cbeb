// Mailbox import and export, and refreshing names, on a real file system.
//   ImportMailbox    a 100 MB mailbox of 25,000 messages into one folder (naming, moves and
//                    the flush before the mailbox goes included); bytes_per_second
//   ExportFolder     that folder back into a mailbox file, flushed and read back; bytes_per_second
//   RefreshNames/N   a folder of N messages; us_per_message, the cost of one file (wall clock)
// With CORVELLE_BENCH_MBOX=PATH the mailbox is also written to PATH, for other programs to
// split the same mailbox. bench/mailbox-vs-formail times the whole program instead.
#include <unistd.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/user_interface.h"
#include "core/store/mail_store.h"
#include "core/mailbox/mailbox_export.h"
#include "core/mailbox/mailbox_import.h"
#include "core/settings/settings.h"
#include "core/store/refresh_names.h"
#include "platform/disk_sync.h"
#include "platform/paths.h"
#include "store_bench_support.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


namespace corvelle::bench {
namespace {

constexpr size_t kMessages = 25000;
constexpr size_t kMessageBytes = 4194;  // with its separator: 100 MiB in all

// Message `i` as a mailbox holds it, separator first, about kMessageBytes long.
std::string MailboxMessage(size_t i) {
  std::string n = std::to_string(i);
  std::string text = "From sender" + n + "@example.org Sun Dec  6 10:00:00 2026\n" + "From: Sender " + n +
                     " <sender" + n + "@example.org>\nTo: ann@example.org\nSubject: Report " + n +
                     " on topic " + std::to_string(i % 97) + "\nDate: Sun, 6 Dec 2026 10:00:00 +0000\n\n";
  std::string line(71, 'a' + static_cast<char>(i % 26));
  for (size_t k = 0; text.size() + 72 < kMessageBytes; ++k) text += (k == 10 ? ">From the archive, a quoted line" : line) + "\n";
  // An empty line ends each message, as mailbox splitters that need one (formail) expect.
  text.resize(kMessageBytes - 2, 'z');
  return text + "\n\n";
}

const std::string& Mailbox() {
  static const std::string data = [] {
    std::string all;
    all.reserve(kMessages * kMessageBytes);
    for (size_t i = 0; i < kMessages; ++i) all += MailboxMessage(i);
    if (const char* path = std::getenv("CORVELLE_BENCH_MBOX")) CreateRaw(path, all);
    return all;
  }();
  return data;
}

// A fresh mail directory with its "Spool"; returns the folder "Box" in it.
std::string FreshMailDirectory() {
  MailSettings.MailDirectory = ScratchRoot::Get().NewFolder("mail");
  MakeFolders(MailSettings.MailDirectory + "Spool");
  MakeFolders(MailSettings.MailDirectory + "Box");
  return MailSettings.MailDirectory + "Box/";
}

std::string imported_folder;  // what the last import filled, for the export

void ImportMailbox(benchmark::State& state) {
  const std::string& data = Mailbox();
  for (auto _ : state) {
    state.PauseTiming();
    std::string box = FreshMailDirectory();
    CreateRaw(box + "in.txt", data);
    state.ResumeTiming();
    ImportResult result = corvelle::ImportMailbox(StoreOf(MailSettings), silent_ui, box + "in.txt", MailboxKind::kPine);
    if (result.filed != static_cast<int>(kMessages) || !result.mailbox_removed) state.SkipWithError("import failed");
    imported_folder = box;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void ExportFolder(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    if (imported_folder.empty() || !PathExists(imported_folder + "in.txt")) {
      std::string box = FreshMailDirectory();
      CreateRaw(box + "in.txt", Mailbox());
      corvelle::ImportMailbox(StoreOf(MailSettings), silent_ui, box + "in.txt", MailboxKind::kPine);
      imported_folder = box;
    }
    std::string box = imported_folder;
    imported_folder.clear();
    state.ResumeTiming();
    ExportResult result = corvelle::ExportFolder(StoreOf(MailSettings), silent_ui, box, MailboxKind::kPine, 0);
    if (!result.ok || result.exported != static_cast<int>(kMessages)) state.SkipWithError("export failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Mailbox().size()));
}

void RefreshNames(benchmark::State& state) {
  size_t files = static_cast<size_t>(state.range(0));
  double total_us = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string box = FreshMailDirectory();
    for (size_t i = 0; i < files; ++i) {
      std::string message = MailboxMessage(i);
      CreateRaw(box + Hex(i) + ".mail", message.substr(message.find('\n') + 1));
    }
    ::sync();  // the writing of the set-up is not the run's to wait for
    state.ResumeTiming();
    auto start = Clock::now();
    corvelle::RefreshNames(StoreOf(MailSettings), silent_ui, box);
    total_us += Micros(Clock::now() - start);
  }
  state.counters["us_per_message"] = total_us / static_cast<double>(state.iterations() * files);
}

BENCHMARK(ImportMailbox)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(ExportFolder)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(RefreshNames)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace corvelle::bench

BENCHMARK_MAIN();
