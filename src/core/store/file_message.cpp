#include "core/store/file_message.h"

#include <algorithm>

#include "core/mime/mime_text.h"
#include "core/store/addresses.h"
#include "core/store/file_naming.h"
#include "core/store/folder_list.h"
#include "core/store/header_lines.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kSubjectWidth = 50;
constexpr size_t kNameWidth = 30;

// The header fields a filed message is named after, each padded or cut to its width.
struct NameFields {
  std::string subject = std::string(kSubjectWidth, ' ');
  std::string from = std::string(kNameWidth, ' ');
  std::string to = std::string(kNameWidth, ' ');
};

// Encoded words are long, and "Re: " prefixes go before the name starts: a name may need
// many raw bytes, but never more than this.
constexpr size_t kRawLimit = 4096;

// The value of a "To: "/"From: "/"Subject: " line with its continuation lines unfolded.
// Only the first `limit` bytes can reach the name, so joining stops there (a header of
// endless continuations costs nothing), and a longer value is cut at a blank before the
// limit where there is one, so that the encoded words that reach the name stay whole.
std::string FieldText(const std::vector<std::string>& lines, size_t i, size_t prefix, size_t limit) {
  std::string value = UnfoldedField(lines, i, prefix, limit);
  if (value.size() > limit) {
    size_t blank = value.find_last_of(" \t", limit);
    value.resize(blank == std::string::npos || blank == 0 ? limit : blank);
  }
  return value;
}

// Puts `value` in front of a field and cuts the field back to its width, so that many
// header lines cost linear time. Decoded text is cut in whole characters.
void Prepend(std::string& field, const std::string& value, size_t width, bool decoded_text) {
  if (!decoded_text) {
    field.insert(0, value.substr(0, width));
    field.resize(width);
    return;
  }
  std::string decoded = value;
  SanitizeDecodedName(decoded);
  field.insert(0, decoded.substr(0, Utf8PrefixBytes(decoded, width)));
  field.resize(Utf8PrefixBytes(field, width));
}

// A field's raw value as the name sees it: decoded from encoded words when names are.
std::string NameValue(const std::string& raw, bool decode) { return decode ? DecodeHeaderText(raw) : raw; }

std::string SubjectValue(std::string_view rest) {
  std::string value(Trimmed(rest));
  while (StartsWithIgnoringCase(value, "re:")) value = std::string(Trimmed(std::string_view(value).substr(3)));
  return value.empty() ? "(none)" : value;
}

// Scans the header (up to the first empty line). A later "To: "/"From: "/"Subject: " line
// goes in front of an earlier one. Each field is unfolded, then decoded (with `decode`),
// then cut.
NameFields ScanHeader(const std::vector<std::string>& lines, bool decode) {
  NameFields fields;
  bool has_subject = false;
  for (size_t i = 0; i < lines.size() && !lines[i].empty(); ++i) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "to: ")) {
      Prepend(fields.to, NameValue(FieldText(lines, i, 4, kRawLimit), decode), kNameWidth, decode);
    } else if (StartsWithIgnoringCase(line, "from: ")) {
      Prepend(fields.from, NameValue(FieldText(lines, i, 6, kRawLimit), decode), kNameWidth, decode);
    } else if (StartsWithIgnoringCase(line, "subject: ")) {
      has_subject = true;
      Prepend(fields.subject, SubjectValue(NameValue(FieldText(lines, i, 9, kRawLimit), decode)), kSubjectWidth,
              decode);
    }
  }
  if (!has_subject) Prepend(fields.subject, "(none)", kSubjectWidth, decode);
  // Decoded text was cleaned as Prepend put it in.
  if (!decode)
    for (std::string* field : {&fields.subject, &fields.from, &fields.to}) SanitizeFileName(*field);
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

// A copy of `lines` under a fresh work name in the source's folder, moved to `target`.
// A refused copy is removed, or, while nothing else holds the message, kept as `source`.
FiledCopy FileOneCopy(UserInterface& ui, const std::string& source, const std::string& target,
                      const std::vector<std::string>& lines, std::string& kept, bool keep_refused) {
  FiledCopy copy;
  std::string work = UniqueFileName(FolderPart(source), "");
  if (!WriteMessageLines(work, lines)) {
    copy.outcome = Filing::kWriteFailed;
    return copy;
  }
  if (MoveFileUnique(ui, work, target, copy.name)) {
    copy.outcome = Filing::kMoved;
    SyncPath(FolderPart(copy.name));  // on disk before the source may go
  } else if (keep_refused && kept.empty() && (work == source || MoveNoReplace(work, source) == MoveResult::kMoved)) {
    kept = source;
  } else {
    RemoveFile(work);
  }
  return copy;
}

std::string TargetName(const std::string& folder, const NameFields& fields, const std::string& entry,
                       const std::string& file_name) {
  bool is_sent = StartsWithIgnoringCase(entry, "sent mail");
  return folder + fields.subject + (is_sent ? fields.to : fields.from) + FiledExtension(file_name, is_sent);
}

}  // namespace

std::string MailStore::FiledTarget(const std::string& folder_text, const std::string& file_name,
                                   const std::vector<std::string>& lines) const {
  return TargetName(FolderPath(folder_text), ScanHeader(lines, decode_names_), folder_text, file_name);
}

bool FilingResult::AllMoved() const {
  return std::all_of(copies.begin(), copies.end(), [](const FiledCopy& c) { return c.outcome == Filing::kMoved; });
}

bool FilingResult::WriteFailed() const {
  return std::any_of(copies.begin(), copies.end(),
                     [](const FiledCopy& c) { return c.outcome == Filing::kWriteFailed; });
}

bool MailStore::FileMessage(UserInterface& ui, const std::string& folders, const std::string& sub_dir,
                            const std::string& file_name, const std::vector<std::string>& lines, bool write_first,
                            FilingResult& result) const {
  result = {};
  if (lines.empty() || (lines.size() == 1 && lines[0].empty())) return true;
  NameFields fields = ScanHeader(lines, decode_names_);
  std::string source = root_ + sub_dir;
  if (source.empty() || source.back() != '/') source += '/';
  source = ResolvePath(source + file_name);
  bool source_existed = EntryExists(source);

  for (const std::string& entry : SplitFolderList(folders)) {
    ui.ProcessEvents();
    std::string target = TargetName(FolderPath(entry), fields, entry, file_name);
    FiledCopy copy;
    if (write_first) {
      copy = FileOneCopy(ui, source, target, lines, result.kept, !source_existed);
    } else {
      copy.outcome = MoveFileUnique(ui, source, target, copy.name) ? Filing::kMoved : Filing::kMoveRefused;
    }
    copy.folder = entry;
    result.copies.push_back(std::move(copy));
  }
  if (!write_first) return true;
  bool any_moved = std::any_of(result.copies.begin(), result.copies.end(),
                               [](const FiledCopy& c) { return c.outcome == Filing::kMoved; });
  // The message has reached a folder: the copy held back for it is not needed. The source
  // goes once every folder holds the message; otherwise it stays to be filed again.
  if (any_moved && !result.kept.empty()) {
    RemoveFile(result.kept);
    result.kept.clear();
  }
  if (result.AllMoved() && source_existed && RemoveFile(source)) SyncPath(FolderPart(source));
  return result.AllMoved();
}

bool MailStore::FileMessage(UserInterface& ui, const std::string& folders, const std::string& sub_dir,
                            const std::string& file_name, const std::vector<std::string>& lines,
                            bool write_first) const {
  FilingResult result;
  return FileMessage(ui, folders, sub_dir, file_name, lines, write_first, result);
}

}  // namespace corvelle
