#include "net/support/dialogue.h"

#include <stdexcept>

namespace corvelle {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case '\\': out += '\\'; break;
      case 'x':
        if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
          out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
          i += 2;
          break;
        }
        [[fallthrough]];
      default:
        out += '\\';
        out += c;
    }
  }
  return out;
}

std::string Escape(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else if (u < 0x20 || u >= 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<DialogueStep> ParseDialogue(std::string_view script) {
  std::vector<DialogueStep> steps;
  while (!script.empty()) {
    size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::string_view tag = line.substr(0, 3);
    std::string_view text = line.size() > 3 ? line.substr(3) : std::string_view();
    if (tag == "S: ")
      steps.push_back({DialogueStep::Kind::kServer, Unescape(text) + "\r\n"});
    else if (tag == "S> ")
      steps.push_back({DialogueStep::Kind::kServer, Unescape(text)});
    else if (tag == "C: ")
      steps.push_back({DialogueStep::Kind::kClient, Unescape(text) + "\r\n"});
    else if (line == "S:")
      steps.push_back({DialogueStep::Kind::kServer, "\r\n"});
    else if (line == "C:")
      steps.push_back({DialogueStep::Kind::kClient, "\r\n"});
    else if (line == "CLOSE")
      steps.push_back({DialogueStep::Kind::kClose, {}});
    else if (line == "STALL")
      steps.push_back({DialogueStep::Kind::kStall, {}});
    else
      throw std::invalid_argument("dialogue line not understood: " + std::string(line));
  }
  return steps;
}

}  // namespace corvelle
