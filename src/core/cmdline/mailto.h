#pragma once
// mailto: links (RFC 6068), as a browser hands them to the program that writes mail. Only
// the fields a composition shows are taken: To (the path and "to="), Cc, Subject and the
// text; every other field (From, Bcc, Reply-To, In-Reply-To, ...) is ignored, so that a
// link can never set who sends the message or add hidden recipients.

#include <optional>
#include <string>
#include <vector>

namespace corvelle {

struct MailtoLink {
  std::vector<std::string> to, cc;  // addresses, percent-decoded
  std::string subject;              // UTF-8, percent-decoded
  std::vector<std::string> body;    // the text's lines (CR LF, LF or CR end a line)
};

// `s` with its "%XX" sequences decoded ("+" stays a plus sign); nothing when a "%" is not
// followed by two hexadecimal digits.
std::optional<std::string> PercentDecode(const std::string& s);

// The local path that a "file:" URL names ("file:///p" or "file://localhost/p", decoded), as
// a desktop may pass a message file to the program; nothing for any other argument.
std::optional<std::string> LocalPathOfFileUrl(const std::string& arg);

// True when `arg` begins with "mailto:" (any letter case).
bool IsMailtoLink(const std::string& arg);

// The link's fields, or nothing with `error` saying what is wrong: a "%" not followed by
// two hexadecimal digits, an address without "@" or with a control character (or a space
// outside a display name), a
// subject with a line break, or text that is not "mailto:" at all.
std::optional<MailtoLink> ParseMailto(const std::string& link, std::string& error);

}  // namespace corvelle
