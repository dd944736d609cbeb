// Filter rules from any settings file: read, listed, saved and read again without losing a
// rule, and each condition matched against the input as a message.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/filters/mail_filter.h"
#include "core/filters/match_condition.h"
#include "fuzz_support.h"
#include "platform/profile.h"

using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string config = [] {
    std::string home = fuzz::Scratch() + "config";
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::filesystem::create_directories(home + "/corvelle");
    return SettingsFilePath();
  }();
  std::string_view input = fuzz::Bytes(data, size);
  std::ofstream(config, std::ios::binary | std::ios::trunc) << "[filters]\n" << input;
  std::vector<std::string> before, after, message;
  for (size_t at = 0, end; at <= input.size(); at = end + 1) {
    end = std::min(input.find('\n', at), input.size());
    message.emplace_back(input.substr(at, end - at));
  }
  {
    TMailFilter filter;
    before = filter.RuleTexts();
    for (const FilterRule& rule : filter.Rules())
      for (const FilterCondition& condition : rule.conditions) MatchCondition(condition.header, condition.search, message);
    if (!filter.SaveFilters()) return 0;
  }
  // A CR or LF inside a value is saved as a space (the file's line would end there).
  for (std::string& text : before)
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  TMailFilter reread;
  reread.SetDiscard(true);
  after = reread.RuleTexts();
  if (after != before) {
    for (size_t i = 0; i < std::max(before.size(), after.size()); ++i)
      std::fprintf(stderr, "rule %zu: [%s] -> [%s]\n", i + 1, i < before.size() ? before[i].c_str() : "",
                   i < after.size() ? after[i].c_str() : "");
    std::abort();
  }
  return 0;
}
