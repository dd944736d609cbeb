// A filtering pass over 5,000 spool messages of about 4 KB through 20 rules, reported as
// messages per second (items_per_second). Most rules test a header field; three search the
// body, one files into two folders, and a fifth of the messages match no rule and go to the
// default folder. Each run filters into a fresh mail directory; making the spool files is
// not timed.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "core/store/mail_store.h"
#include "core/filters/mail_filter.h"
#include "core/settings/settings.h"
#include "core/store/mail_dirs.h"
#include "core/user_interface.h"
#include "store_bench_support.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


namespace corvelle::bench {
namespace {

constexpr int kMessages = 5000;
constexpr int kRules = 20;

std::string Message(int k) {
  std::string text = "Received: from relay" + std::to_string(k % 7) +
                     ".example by mx.example\r\n"
                     "From: Sender " +
                     std::to_string(k % 25) + " <sender" + std::to_string(k % 25) +
                     "@example>\r\n"
                     "To: someone@example,\r\n other@example\r\nSubject: Report number " +
                     std::to_string(k) + "\r\n\r\n";
  while (text.size() < 4000) text += "The quick brown fox jumps over the lazy dog, line after line of body text.\r\n";
  return text;
}

// Rule r takes the messages of sender r; rules 5, 10 and 15 search the body for words that
// are not there, so every message before them is read through.
void WriteRules() {
  TMailFilter filter;
  for (int r = 0; r < kRules; ++r) {
    std::string folder = "\"Folder " + std::to_string(r) + "\"";
    if (r == 3) folder += ",\"Copies\"";
    FilterRule rule{{{"From", "sender" + std::to_string(r) + "@"}}, folder};
    if (r % 5 == 0 && r > 0) rule = {{{"*Message Text*", "invoice " + std::to_string(r)}}, folder};
    filter.PutRule(rule, 0);
  }
}

void FilterSpool(benchmark::State& state) {
  std::string config = ScratchRoot::Get().NewFolder("config");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  WriteRules();
  for (auto _ : state) {
    state.PauseTiming();
    MailSettings.MailDirectory = ScratchRoot::Get().NewFolder("mail");
    MailSettings.DefaultMailFolder = "Inbox";
    StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false);
    for (int k = 0; k < kMessages; ++k) CreateRaw(MailSettings.MailDirectory + "Spool/" + Hex(k) + ".new", Message(k));
    TMailFilter filter;
    state.ResumeTiming();
    int left = filter.FilterMail(StoreOf(MailSettings),
                                 MailSettings.DefaultMailFolder, silent_ui);
    if (left != 0) state.SkipWithError("messages left in Spool");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMessages);
}
BENCHMARK(FilterSpool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace corvelle::bench

BENCHMARK_MAIN();
