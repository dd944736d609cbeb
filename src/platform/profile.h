#pragma once
// A private-profile (INI) file: "[section]" header lines, then "key=value" lines.
// Section and key names match without regard to case; the first section and the first
// key of a name count. A file is read whole when the object is made; writes change the
// copy in memory, and Save() replaces the file atomically, keeping every line that was
// not written byte for byte (CR LF or LF, as the file had them).

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class PrivateProfile {
 public:
  // Reads `path` (names resolved ignoring case). A missing file is empty. A file that
  // exists but cannot be read is empty too, and Unreadable() says so: Save() then refuses,
  // so settings that could not be seen are never written over.
  explicit PrivateProfile(std::string path);

  bool Unreadable() const { return unreadable_; }

  // The value, without surrounding blanks and without one enclosing pair of double
  // quotes, cut to 1023 characters; `fallback` when the key is absent.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;

  // A decimal value, or hexadecimal after "0x"/"0X" (32 bits, so 0x80000008 reads as
  // -2147483640). A value that is not wholly a number gives `fallback`.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

  // The key names of a section, in file order.
  std::vector<std::string> SectionKeys(std::string_view section) const;

  // Sets key=value, replacing the key's line or adding one at the end of its section (the
  // section is added at the end of the file when absent). A value stops at its first
  // line break, which could not be stored.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);

  // Removes the section: its header and every line up to the next section.
  void EraseSection(std::string_view section);

  // Writes the file if anything changed. False when it could not be written.
  bool Save();

  const std::string& Path() const { return path_; }

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n" or "" (last line without one)
  };
  // Index range [begin, end) of the lines of the first section of that name; begin is the
  // header line. begin == end == npos when absent.
  struct Range {
    size_t begin, end;
  };
  Range FindSection(std::string_view section) const;
  // Index of the key's line, or npos.
  size_t FindKey(std::string_view section, std::string_view key) const;

  std::string path_;
  std::vector<Line> lines_;
  std::string new_line_ = "\r\n";
  bool changed_ = false;
  bool unreadable_ = false;
};

// "$XDG_CONFIG_HOME/corvelle/CORVEL.INI" (default "~/.config/corvelle/CORVEL.INI").
std::string SettingsFilePath();

}  // namespace corvelle
