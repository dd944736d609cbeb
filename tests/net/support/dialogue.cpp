#include "net/support/dialogue.h"

#include <cctype>
#include <stdexcept>

namespace corvelle::testing {
namespace {

std::string Unescape(std::string_view text) {
  static const std::string_view kEscapes("r\rn\nt\t0\0\\\\", 10);  // each letter, then its byte
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view rest = text.substr(i);
    size_t at = rest.size() > 1 && rest[0] == '\\' ? kEscapes.find(rest[1]) : std::string_view::npos;
    if (at != std::string_view::npos && at % 2 == 0) {
      out += kEscapes[at + 1];
      ++i;
    } else if (rest.size() > 3 && rest.starts_with("\\x") && std::isxdigit(static_cast<unsigned char>(rest[2])) &&
               std::isxdigit(static_cast<unsigned char>(rest[3]))) {
      out += static_cast<char>(std::stoi(std::string(rest.substr(2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string Escape(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n' || c == '\\')
      out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\\\";
    else if (u < 0x20 || u >= 0x7F)
      out += std::string("\\x") + kHex[u >> 4] + kHex[u & 15];
    else
      out += c;
  }
  return out;
}

std::string Drip(std::string_view bytes, int milliseconds) {
  std::string script;
  for (char c : bytes) script += "S> " + Escape(std::string_view(&c, 1)) + "\nPAUSE " + std::to_string(milliseconds) + "\n";
  return script;
}

std::vector<DialogueStep> ParseDialogue(std::string_view script) {
  using Kind = DialogueStep::Kind;
  std::vector<DialogueStep> steps;
  while (!script.empty()) {
    std::string_view line = script.substr(0, script.find('\n'));
    script.remove_prefix(std::min(script.size(), line.size() + 1));
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::string_view tag = line.substr(0, 3), text = line.substr(std::min<size_t>(3, line.size()));
    if (line.empty() || line[0] == '#') continue;
    if (tag == "S: " || tag == "C: " || line == "S:" || line == "C:")
      steps.push_back({line[0] == 'S' ? Kind::kServer : Kind::kClient, Unescape(text) + "\r\n"});
    else if (tag == "S> ")
      steps.push_back({Kind::kServer, Unescape(text)});
    else if (line.starts_with("PAUSE "))
      steps.push_back({Kind::kPause, "", std::stoi(std::string(line.substr(6)))});
    else if (line == "CLOSE" || line == "STALL")
      steps.push_back({line == "CLOSE" ? Kind::kClose : Kind::kStall, ""});
    else
      throw std::invalid_argument("dialogue line not understood: " + std::string(line));
  }
  return steps;
}

}  // namespace corvelle::testing
