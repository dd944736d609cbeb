#include "core/search/caseless_finder.h"

#include <string.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace corvelle {
namespace {

// A slice of a long text between two looks at the cancel flag.
constexpr size_t kSlice = 1 << 20;

// Eight bytes at a time: a byte is an upper-case ASCII letter when its high bit is clear and
// its low seven bits lie in 'A'..'Z'; such a byte gets 0x20 added (bit 5 set).
void LowerInto(const unsigned char* in, size_t size, unsigned char* out) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t x;
    std::memcpy(&x, in + i, 8);
    const uint64_t low = x & ~kHigh;
    const uint64_t from_a = low + (0x80 - 'A') * kOnes;      // high bit: at least 'A'
    const uint64_t past_z = low + (0x80 - 'Z' - 1) * kOnes;  // high bit: beyond 'Z'
    const uint64_t upper = (from_a ^ past_z) & ~x & kHigh;
    x |= upper >> 2;
    std::memcpy(out + i, &x, 8);
  }
  for (; i < size; ++i) out[i] = static_cast<unsigned char>(in[i] + (static_cast<unsigned>(in[i] - 'A') < 26u ? 32 : 0));
}

}  // namespace

bool LowerAscii(std::string_view bytes, std::string& out, const std::atomic<bool>* cancel) {
  out.resize(bytes.size());
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  auto* to = reinterpret_cast<unsigned char*>(out.data());
  for (size_t at = 0; at < bytes.size(); at += kSlice) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    LowerInto(in + at, std::min(kSlice, bytes.size() - at), to + at);
  }
  return true;
}

CaselessFinder::CaselessFinder(std::string_view needle) { LowerAscii(needle, lower_); }

size_t CaselessFinder::FindLowered(std::string_view lowered, size_t from) const {
  if (from > lowered.size()) return std::string_view::npos;
  const void* found = ::memmem(lowered.data() + from, lowered.size() - from, lower_.data(), lower_.size());
  return found ? static_cast<size_t>(static_cast<const char*>(found) - lowered.data()) : std::string_view::npos;
}

bool CaselessFinder::In(std::string_view bytes) const {
  std::string lowered;
  LowerAscii(bytes, lowered);
  return FindLowered(lowered) != std::string_view::npos;
}

}  // namespace corvelle
