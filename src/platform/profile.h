#pragma once
// A private-profile (INI) file: "[section]" header lines, then "key=value" lines.
// Section and key names match without regard to case; the first section and the first
// key of a name count. A file is read whole, and its sections and keys indexed, when the
// object is made; writes change the copy in memory, and Save() replaces the file atomically
// (mode 0600: it holds passwords), keeping every line that was not written byte for byte
// (CR LF or LF, as the file had them).
// A file that starts with a byte-order mark is read too: UTF-8 keeps its mark; UTF-16 (either
// byte order) is read as UTF-8 and saved as UTF-16 with its mark again, unless a value
// written since is not UTF-8 text (a scrambled password can hold any byte), in which case
// it is saved as UTF-8 with a mark, so that no byte is lost. A symbolic link is saved
// through to the file it names.

#include <string>
#include <string_view>
#include <unordered_map>
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

  // The section names as their headers write them, in file order, each name once.
  std::vector<std::string> SectionNames() const;

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
    std::string text;        // without its line end
    std::string_view ending;  // "\r\n", "\n" or "" (last line without one)
  };
  // The lines of one section, its header first. Lines above the first section make a block
  // of their own, without a header, that no look-up finds.
  struct Block {
    std::string name;                                  // lower-cased
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> keys;      // lower-cased key -> its first line
  };
  enum class Encoding { kPlain, kUtf8Mark, kUtf16Le, kUtf16Be };

  void Parse(std::string_view data);
  void IndexSections();
  // The index of the first block of that section, or npos.
  size_t FindSection(std::string_view section) const;
  // The key's line, or nullptr.
  const Line* FindKey(std::string_view section, std::string_view key) const;
  std::string Encoded();

  std::string path_;
  std::vector<Block> blocks_;
  std::unordered_map<std::string, size_t> sections_;  // lower-cased name -> its first block
  std::string_view new_line_ = "\r\n";
  Encoding encoding_ = Encoding::kPlain;
  bool changed_ = false;
  bool unreadable_ = false;
};

// "$XDG_CONFIG_HOME/corvelle/CORVEL.INI" (default "~/.config/corvelle/CORVEL.INI").
std::string SettingsFilePath();

}  // namespace corvelle
