// A plain program timed by bench/search: searches a mail directory for a text as the search
// window does and prints what it found and how long it took.
//
//   search_messages MAIL_DIR TEXT [--threads N] [--list]
//
// Prints "found=N searched=N unreadable=N seconds=S"; with --list, each hit's path first.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/search/message_search.h"
#include "core/store/mail_store.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s MAIL_DIR TEXT [--threads N] [--list]\n", argv[0]);
    return 2;
  }
  corvelle::SearchRequest request{argv[2], {}};
  bool list = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) request.threads = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--list") == 0) list = true;
  }
  std::atomic<bool> cancel{false};
  corvelle::SearchSinks sinks{[&](const corvelle::SearchHit& hit) {
                                if (list) std::printf("%s\n", hit.path.c_str());
                              },
                              {}};
  auto start = std::chrono::steady_clock::now();
  corvelle::SearchSummary summary = corvelle::SearchMessages(corvelle::MailStore(argv[1]), request, cancel, sinks);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("found=%zu searched=%zu unreadable=%zu seconds=%.3f\n", summary.found, summary.searched,
              summary.unreadable, took.count());
  return 0;
}
