// The mailbox window on a folder of 100,000 messages, offscreen. The goal is the first
// screen painted within 1 s from the names and sizes alone, and a scroll through the whole
// list that reads no header but the shown rows'.
//   FirstScreen   opening the window on the folder until its first screen is painted
//   ScrollThrough one page down at a time to the end, each page painted
//   FileAppears   one file filed into the shown folder, until its row is in the list
// Counters: headers read (per opening, or over the whole scroll), rows listed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMdiArea>
#include <QScrollBar>
#include <QTreeView>
#include <cstdlib>
#include <memory>

#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "store_bench_support.h"
#include "ui/mailbox/mailbox_model.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/services.h"
#include "ui/viewer/address_actions.h"
#include "window_bench_main.h"

namespace corvelle::bench {
namespace {

constexpr int kMessages = 100000;

std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

// A mail directory whose Inbox holds kMessages filed messages, and a settings file of its own.
struct Store {
  Store() {
    root = ScratchRoot::Get().NewFolder("mailbox");
    for (const char* folder : {"Inbox", "Archive", "Sent Mail", "Postponed", "Spool", "System", "config/corvelle"})
      std::filesystem::create_directories(root + folder);
    setenv("XDG_CONFIG_HOME", (root + "config").c_str(), 1);
    CreateRaw(root + "config/corvelle/CORVEL.INI", "[mailbox]\r\nFolder=Inbox\r\n");
    for (int i = 0; i < kMessages; ++i) {
      const std::string number = std::to_string(i);
      const std::string name = Padded("Subject of message " + number, 50) +
                               Padded("Sender " + std::to_string(i % 977) + " (s@example,org)", 30) +
                               (i % 10 == 0 ? ".newmail" : ".mail");
      CreateRaw(root + "Inbox/" + name, "From: s@example.org\r\nSubject: Subject of message " + number +
                                            "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n\r\nbody\r\n");
    }
    settings.MailDirectory = root;
    settings.DefaultMailFolder = "Inbox";
  }
  static Store& Get() {
    static Store store;
    return store;
  }
  std::string root;
  Settings settings;
  SilentUserInterface ui;
  AddressActions no_address_actions;
};

std::unique_ptr<TCorvelProg> MainWindow(Services& services) {
  auto frame = std::make_unique<TCorvelProg>(services);
  frame->resize(1000, 700);
  frame->show();
  QApplication::processEvents();
  return frame;
}

void CloseMailbox(TCorvelProg& frame) {
  frame.ClientArea->closeAllSubWindows();
  QApplication::processEvents();
}

void FirstScreen(benchmark::State& state) {
  Store& store = Store::Get();
  Services services = DesktopServices(store.ui, store.settings, store.no_address_actions);
  auto frame = MainWindow(services);
  int64_t headers = 0, rows = 0;
  for (auto _ : state) {
    TMailboxWindow* box = ShowMailbox(*frame, services);
    QApplication::processEvents();  // laid out and painted
    state.PauseTiming();
    headers += box->Model->HeadersRead();
    rows = box->Model->rowCount();
    CloseMailbox(*frame);
    state.ResumeTiming();
  }
  state.counters["headers_read"] = benchmark::Counter(static_cast<double>(headers), benchmark::Counter::kAvgIterations);
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(FirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void ScrollThrough(benchmark::State& state) {
  Store& store = Store::Get();
  Services services = DesktopServices(store.ui, store.settings, store.no_address_actions);
  auto frame = MainWindow(services);
  TMailboxWindow* box = ShowMailbox(*frame, services);
  QApplication::processEvents();
  QScrollBar* bar = box->List->verticalScrollBar();
  int64_t pages = 0;
  const int64_t before = box->Model->HeadersRead();
  for (auto _ : state) {
    bar->setValue(0);
    QApplication::processEvents();
    while (bar->value() < bar->maximum()) {
      bar->setValue(bar->value() + bar->pageStep());
      QApplication::processEvents();  // the page painted
      ++pages;
    }
  }
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["headers_read"] = static_cast<double>(box->Model->HeadersRead() - before);
  state.counters["rows"] = box->Model->rowCount();
  CloseMailbox(*frame);
}
BENCHMARK(ScrollThrough)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void FileAppears(benchmark::State& state) {
  Store& store = Store::Get();
  Services services = DesktopServices(store.ui, store.settings, store.no_address_actions);
  auto frame = MainWindow(services);
  TMailboxWindow* box = ShowMailbox(*frame, services);
  QApplication::processEvents();
  int count = 0;
  for (auto _ : state) {
    const int rows = box->Model->rowCount();
    CreateRaw(store.root + "Inbox/" + Padded("Arrived " + std::to_string(++count), 50) + Padded("Bob", 30) + ".newmail",
              "Date: Mon, 7 Dec 2026 11:00:00 +0000\r\n\r\nhello\r\n");
    box->ApplyChanges();
    QApplication::processEvents();
    if (box->Model->rowCount() != rows + 1) state.SkipWithError("the new file was not listed");
  }
  CloseMailbox(*frame);
}
BENCHMARK(FileAppears)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
}  // namespace corvelle::bench

int main(int argc, char** argv) {
  // The folder is made before any timing.
  return corvelle::bench::RunWindowBenchmarks(argc, argv, [] { corvelle::bench::Store::Get(); });
}
