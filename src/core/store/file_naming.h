#pragma once
// Names for new message files and moves that never overwrite. Work files are named with the
// lowest free hexadecimal counter ("0", "1", ... "9", "A", ... "F", "10", ...) plus an
// extension. A name counts as taken when any entry of the folder matches it ignoring case.

#include <string>
#include <string_view>

namespace corvelle {

class UserInterface;

// `folder` (trailing "/"s dropped, resolved ignoring case) + "/" + the lowest free counter
// name + `extension`. The file is not created: create it without replacing (WriteNewFile,
// WriteMessageLines).
std::string UniqueFileName(const std::string& folder, const std::string& extension);

// Moves `source` to `target`, or to the first free numbered variant of it when `target` is
// taken by a file or a folder (ignoring case): "Name 0.ext", then "Name0.ext", "Name1.ext",
// ... "Name9.ext", "NameA.ext", ... Never replaces anything: a name that turns up taken at
// the move itself makes the next candidate be tried. Lets `ui` process events before each
// candidate. `final_name` receives the name moved to, "" when the move failed
// (source missing, target folder missing); returns !final_name.empty(). Shows no message.
bool MoveFileUnique(UserInterface& ui, const std::string& source, const std::string& target, std::string& final_name);

// The same with `source` and the folder of `target` already resolved (ResolvePath), for
// filing many files into a few folders.
bool MoveResolvedFileUnique(UserInterface& ui, const std::string& source, const std::string& target,
                            std::string& final_name);

// Replaces in place every character a file name may not hold: \ / : ? become "-", * "~",
// '"' "'", < "(", > ")", | "[", "." ",", and bytes below 32 or above 126 a space. The length
// never changes.
void SanitizeFileName(std::string& s);

// SanitizeFileName for names made from decoded (UTF-8) header text: a valid multi-byte
// sequence stays as the letter it is; any other byte above 126 becomes a space.
void SanitizeDecodedName(std::string& s);

// The number of bytes of the first `width` characters of `s`, a UTF-8 sequence counting as
// one character and any other byte as one.
size_t Utf8PrefixBytes(std::string_view s, size_t width);

// True when `s` holds a character that SanitizeFileName would replace.
bool IsBadFileName(const std::string& s);

// The extension of a path: from the last "." after the last "/", dot included; "" if none.
std::string FileExtension(std::string_view name);

}  // namespace corvelle
