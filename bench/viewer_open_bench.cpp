// Opening a 20 MB message in a message window, offscreen: reading, decoding, setting the
// text, placing the caret below the header and painting the first screen. The goal is a
// window that shows within 2 s.
//   OpenLargeMessage/0   the text is valid UTF-8
//   OpenLargeMessage/1   it is not (a Windows-1252 byte), so it is decoded twice
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <random>

#include "core/settings/settings.h"
#include "store_bench_support.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/mail_viewer.h"
#include "core/user_interface.h"
#include "window_bench_main.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


namespace corvelle::bench {
namespace {

constexpr size_t kSize = 20u << 20;

// A message of mail-like lines (0 to 100 bytes, CR LF) under a short header.
std::string Message(bool windows_1252) {
  std::mt19937 random(1);
  std::string data = "From: Ann <ann@example.org>\r\nSubject: Large\r\nDate: Mon, 1 Jan 2024\r\n\r\n";
  data.reserve(kSize + 200);
  while (data.size() < kSize) {
    size_t length = random() % 101;
    for (size_t i = 0; i < length; ++i) data += static_cast<char>(random() % 7 == 0 ? ' ' : 'a' + random() % 26);
    data += "\r\n";
  }
  if (windows_1252) data += "Caf\xe9\r\n";
  return data;
}

void OpenLargeMessage(benchmark::State& state) {
  std::string folder = ScratchRoot::Get().NewFolder("viewer");
  MailSettings.MailDirectory = folder;
  SilentUserInterface ui;
  AddressActions no_address_actions;
  Services services = DesktopServices(ui, MailSettings, no_address_actions);
  std::string path = folder + "large.mail";
  CreateRaw(path, Message(state.range(0) == 1));
  for (auto _ : state) {
    auto viewer = std::make_unique<TMailViewer>(services, [](const std::string&) {});
    viewer->resize(800, 600);
    viewer->show();
    viewer->Init(path);
    QApplication::processEvents();  // laid out and painted
    benchmark::DoNotOptimize(viewer->FileName);
    state.PauseTiming();
    viewer.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
BENCHMARK(OpenLargeMessage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace corvelle::bench

int main(int argc, char** argv) {
  return corvelle::bench::RunWindowBenchmarks(argc, argv);
}
