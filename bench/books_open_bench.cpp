// A book of 5,000 entries (one in ten a group) opening in the address book editor and in
// the recipient dialog, offscreen: reading the file, filling and sorting the lists, and
// painting the first screen. The goal is under 0.5 s for each.
//   OpenBook/0   the editor
//   OpenBook/1   the recipient dialog
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <random>

#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "store_bench_support.h"
#include "ui/books/address_book_form.h"
#include "ui/books/mail_select_dlg.h"
#include "window_bench_main.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


namespace corvelle::bench {
namespace {

constexpr int kEntries = 5000;

std::string Word(std::mt19937& random, size_t length) {
  std::string word;
  for (size_t i = 0; i < length; ++i) word += static_cast<char>('a' + random() % 26);
  return word;
}

// Entries in random order, as a book grows over the years.
std::string Book() {
  std::mt19937 random(1);
  std::string data;
  for (int i = 0; i < kEntries; ++i) {
    std::string nick = Word(random, 6) + std::to_string(i);
    std::string field = nick + "@" + Word(random, 8) + ".example";
    if (i % 10 == 0) field = "(" + field + ",x" + field + ",y" + field + ")";
    data += nick + "\t" + Word(random, 7) + ", " + Word(random, 5) + "\t" + field + "\r\n";
  }
  return data;
}

template <typename Window>
void Open() {
  SilentUserInterface ui;
  auto window = std::make_unique<Window>(ui, MailSettings);
  window->show();
  QApplication::processEvents();  // laid out and painted
  benchmark::DoNotOptimize(window.get());
}

void OpenBook(benchmark::State& state) {
  std::string folder = ScratchRoot::Get().NewFolder("books");
  MailSettings.MailDirectory = folder;
  MailSettings.DefaultAB = "AddressBook";
  MailSettings.DefaultABPath = DefaultAddressBookPath(MailSettings);
  MakeFolders(folder + "System/AddressBook");
  CreateRaw(MailSettings.DefaultABPath, Book());
  for (auto _ : state) state.range(0) == 0 ? Open<TAddressBookForm>() : Open<TMailSelectDlg>();
}
BENCHMARK(OpenBook)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace corvelle::bench

int main(int argc, char** argv) {
  return corvelle::bench::RunWindowBenchmarks(argc, argv);
}
