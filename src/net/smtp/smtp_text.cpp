#include "net/smtp/smtp_text.h"

#include <algorithm>

namespace corvelle {
namespace {

bool IsDottedIpv4(std::string_view s) {
  int parts = 0, digits = 0;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      if (++digits > 3) return false;
    } else if (c == '.' && digits > 0) {
      ++parts;
      digits = 0;
    } else {
      return false;
    }
  }
  return parts == 3 && digits > 0;
}

}  // namespace

std::string HeloArgument(std::string_view local_address) {
  std::string_view address = local_address.substr(0, local_address.find('%'));
  if (address.empty()) return "localhost";
  constexpr std::string_view kMapped = "::ffff:";
  if (address.size() > kMapped.size() && address.substr(0, kMapped.size()) == kMapped &&
      IsDottedIpv4(address.substr(kMapped.size())))
    address.remove_prefix(kMapped.size());
  if (address.find(':') != std::string_view::npos) return "[IPv6:" + std::string(address) + "]";
  return "[" + std::string(address) + "]";
}

std::string SmtpPath(std::string_view address) { return "<" + std::string(address) + ">"; }

bool IsSendableAddress(std::string_view address) {
  return std::none_of(address.begin(), address.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '<' || c == '>';
  });
}

namespace {

// Calls `emit(piece)` for every line `text` makes on the wire, as the sender reads it.
template <typename Emit>
void ForEachTextWireLine(std::string_view text, Emit&& emit) {
  for (size_t start = 0; start < text.size();) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(start, end - start);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    ForEachWireLine(line, emit);
    start = end + 1;
  }
}

}  // namespace

size_t LongestDataLine(std::string_view text) {
  size_t longest = 0;
  ForEachTextWireLine(text, [&longest](std::string_view piece) { longest = std::max(longest, piece.size()); });
  return longest;
}

size_t WireSize(std::string_view text) {
  size_t size = 0;
  ForEachTextWireLine(text, [&size](std::string_view piece) { size += piece.size() + 2; });
  return size;
}

}  // namespace corvelle
