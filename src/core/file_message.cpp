#include "core/file_message.h"

#include "core/addresses.h"
#include "core/file_naming.h"
#include "core/folder_list.h"
#include "core/message_text.h"
#include "core/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kSubjectWidth = 50;
constexpr size_t kNameWidth = 30;

bool StartsWithIgnoringCase(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && SameNameIgnoringCase(line.substr(0, prefix.size()), prefix);
}

// The header fields a filed message is named after, each padded or cut to its width.
struct NameFields {
  std::string subject = std::string(kSubjectWidth, ' ');
  std::string from = std::string(kNameWidth, ' ');
  std::string to = std::string(kNameWidth, ' ');
};

// The value of a "To: "/"From: " line with its continuation lines (those starting with a
// space), the trimmed pieces joined by one space. Only the first kNameWidth characters can
// reach the name, so joining stops there: a header of endless continuations costs nothing.
std::string AddressValue(const std::vector<std::string>& lines, size_t i, size_t prefix) {
  std::string value = TrimBlanks(std::string_view(lines[i]).substr(prefix));
  for (size_t next = i + 1;
       value.size() < kNameWidth && next < lines.size() && !lines[next].empty() && lines[next][0] == ' ';
       ++next) {
    value += ' ';
    value += TrimBlanks(lines[next]);
  }
  return value;
}

// Puts `value` in front of a field and cuts the field back to its width, so that many
// header lines cost linear time.
void Prepend(std::string& field, const std::string& value, size_t width) {
  field.insert(0, value.substr(0, width));
  field.resize(width);
}

std::string SubjectValue(std::string_view rest) {
  std::string value = TrimBlanks(rest);
  while (StartsWithIgnoringCase(value, "re:")) value = TrimBlanks(std::string_view(value).substr(3));
  return value.empty() ? "(none)" : value;
}

// Scans the header (up to the first empty line). A later "To: "/"From: "/"Subject: " line
// goes in front of an earlier one.
NameFields ScanHeader(const std::vector<std::string>& lines) {
  NameFields fields;
  bool has_subject = false;
  for (size_t i = 0; i < lines.size() && !lines[i].empty(); ++i) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "to: ")) {
      Prepend(fields.to, AddressValue(lines, i, 4), kNameWidth);
    } else if (StartsWithIgnoringCase(line, "from: ")) {
      Prepend(fields.from, AddressValue(lines, i, 6), kNameWidth);
    } else if (StartsWithIgnoringCase(line, "subject: ")) {
      has_subject = true;
      Prepend(fields.subject, SubjectValue(std::string_view(line).substr(9)), kSubjectWidth);
    }
  }
  if (!has_subject) Prepend(fields.subject, "(none)", kSubjectWidth);
  SanitizeFileName(fields.subject);
  SanitizeFileName(fields.from);
  SanitizeFileName(fields.to);
  return fields;
}

// ".mail" into a sent-mail folder and from ".mai"; a ".mail" source keeps its letter case;
// anything else is not opened yet: ".newmail".
std::string FiledExtension(const std::string& file_name, bool is_sent) {
  std::string ext = FileExtension(file_name);
  std::string lower = AsciiLower(ext);
  if (is_sent || lower == ".mai") return ".mail";
  return lower == ".mail" ? ext : ".newmail";
}

}  // namespace

bool FileMessage(const std::string& folders, const std::string& sub_dir, const std::string& file_name,
                 const std::vector<std::string>& lines, bool write_first) {
  if (lines.empty() || (lines.size() == 1 && lines[0].empty())) return true;
  NameFields fields = ScanHeader(lines);
  std::string source = MailSettings.MailDirectory + sub_dir;
  if (source.empty() || source.back() != '/') source += '/';
  source += file_name;

  bool result = true;
  for (const std::string& entry : SplitFolderList(folders)) {
    Ui().ProcessEvents();
    bool is_sent = StartsWithIgnoringCase(entry, "sent mail");
    // The copy is complete and on disk before the move takes it out of the work folder; a
    // copy that could not be written is not filed (whatever holds its name is not it).
    if (write_first && !WriteMessageLines(source, lines)) {
      result = false;
      continue;
    }
    std::string target =
        FolderPath(entry) + fields.subject + (is_sent ? fields.to : fields.from) + FiledExtension(file_name, is_sent);
    std::string final_name;
    MoveFileUnique(source, target, final_name);
  }
  return result;
}

}  // namespace corvelle
