#include "core/messages/spool_message.h"

#include <algorithm>

#include "core/compose/header_fields.h"
#include "core/compose/outgoing_message.h"
#include "core/mime/mime_writer.h"
#include "core/settings/settings.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {

namespace {

// Writes `data` as a new ".out" file of the spool folder; its path, or "" on failure.
std::string SpoolData(const MailStore& store, std::string_view data) {
  // WriteNewFile never replaces: a name taken between the choice and the rename (a second
  // writer) makes the next free name be tried.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string name = store.SpoolFileName();
    if (WriteNewFile(name, data)) return name;
    if (!PathExists(name)) return "";
  }
  return "";
}

// Typed text as one header line.
std::string OneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

}  // namespace

bool SpoolMessageLines(const MailStore& store, const std::vector<std::string>& lines) {
  std::string data;
  for (const std::string& line : lines) data += line + "\r\n";
  return !SpoolData(store, data).empty();
}

std::string SpoolFileMessage(const MailStore& store, const Settings& settings, const std::string& address,
                             const std::string& subject, std::string_view bytes) {
  // Header text typed or taken from a file name may be 8-bit: it goes out as encoded words,
  // and the message carries the fields every outgoing one has.
  std::vector<std::string> header = {
      "To: " + EncodeAddressEntry(OneLine(address)),
      "From: " + EncodeAddressEntry(OneLine(settings.MyName + " <" + settings.MailAddress + ">")),
      "Subject: " + EncodeHeaderText(OneLine(subject))};
  AddStandardFields(header, settings.MailAddress);
  std::string data;
  for (const std::string& line : header) data += line + "\r\n";
  data += "\r\n";
  data.append(bytes);
  return SpoolData(store, data);
}

}  // namespace corvelle
