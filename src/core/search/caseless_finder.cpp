#include "core/search/caseless_finder.h"

#include <algorithm>

namespace corvelle {
namespace {

// A slice of a long text between two looks at the cancel flag.
constexpr size_t kSlice = 1 << 20;

constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return table;
}
constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

unsigned char Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

}  // namespace

CaselessFinder::CaselessFinder(std::string_view needle) {
  lower_.reserve(needle.size());
  for (char c : needle) lower_ += static_cast<char>(kLower[static_cast<unsigned char>(c)]);
  const size_t m = lower_.size();
  skip_.fill(std::max<size_t>(m, 1));
  for (size_t i = 0; i + 1 < m; ++i) {
    auto c = static_cast<unsigned char>(lower_[i]);
    skip_[c] = skip_[Upper(c)] = m - 1 - i;
  }
}

size_t CaselessFinder::Find(std::string_view haystack, size_t from) const {
  const size_t m = lower_.size(), n = haystack.size();
  if (m == 0) return from <= n ? from : std::string_view::npos;
  if (n < m) return std::string_view::npos;
  const auto* text = reinterpret_cast<const unsigned char*>(haystack.data());
  const auto* needle = reinterpret_cast<const unsigned char*>(lower_.data());
  const unsigned char last = needle[m - 1];
  for (size_t at = from; at <= n - m;) {
    const unsigned char end = text[at + m - 1];
    if (kLower[end] == last) {
      size_t i = 0;
      while (i + 1 < m && kLower[text[at + i]] == needle[i]) ++i;
      if (i + 1 >= m) return at;
    }
    at += skip_[end];
  }
  return std::string_view::npos;
}

bool CaselessFinder::In(std::string_view haystack, const std::atomic<bool>* cancel) const {
  const size_t overlap = lower_.empty() ? 0 : lower_.size() - 1;
  for (size_t start = 0;; start += kSlice) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    std::string_view slice = haystack.substr(start, kSlice + overlap);
    if (Find(slice) != std::string_view::npos) return true;
    if (start + kSlice >= haystack.size()) return false;
  }
}

}  // namespace corvelle
