#include "net/smtp/smtp_recipients.h"

#include "core/store/addresses.h"
#include "core/store/header_lines.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

void AddPiece(std::string_view piece, std::vector<std::string>& out) {
  std::string address = ExtractAddress(piece);
  // ExtractAddress keeps blanks inside "< a@b >"; the address itself never holds any.
  size_t first = address.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  size_t last = address.find_last_not_of(" \t");
  out.push_back(address.substr(first, last - first + 1));
}

// The text of one recipient field, its lines joined. A line break after an entry that
// holds an address, outside quotes, brackets and comments, separates like a comma (an
// outgoing message puts each address on a line of its own); any other is folding.
class FieldText {
 public:
  void AddLine(std::string_view line) {
    if (!text_.empty()) Take(!scan_.Open() && entry_has_address_ ? ',' : ' ');
    for (char c : line) Take(c);
  }
  const std::string& text() const { return text_; }

 private:
  void Take(char c) {
    text_ += c;
    if (scan_.Separates(c))
      entry_has_address_ = false;
    else if (c == '@')
      entry_has_address_ = true;
  }

  std::string text_;
  AddressListScan scan_;
  bool entry_has_address_ = false;
};

}  // namespace

std::vector<std::string> SplitRecipients(std::string_view text) {
  std::vector<std::string> out;
  for (std::string_view entry : AddressListEntries(text)) AddPiece(entry, out);
  return out;
}

HeaderScan ScanHeader(const std::vector<std::string>& lines, const std::function<void()>& after_line) {
  HeaderScan scan;
  size_t i = 0;
  while (i < lines.size() && !lines[i].empty()) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "to: ") || StartsWithIgnoringCase(line, "cc: ")) {
      FieldText field;
      field.AddLine(std::string_view(line).substr(4));
      ++i;
      while (i < lines.size() && IsContinuationLine(lines[i])) {
        field.AddLine(lines[i]);
        ++i;
        if (after_line) after_line();
      }
      for (std::string& address : SplitRecipients(field.text())) scan.recipients.push_back(std::move(address));
    } else {
      if (StartsWithIgnoringCase(line, "subject: ")) scan.subjects.push_back(line);
      ++i;
    }
    if (after_line) after_line();
  }
  return scan;
}

}  // namespace corvelle
