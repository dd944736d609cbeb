#pragma once
// Putting a composition's outgoing lines into the spool folder, where the next send run
// takes every ".out" file.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class MailStore;
struct Settings;

// Writes `lines` (each followed by CR LF) as a new ".out" file of the spool folder of
// `store` (SpoolFileName): written and flushed under a hidden work name, renamed when complete, so
// a send run never takes a cut-off file. True when the file exists complete.
bool SpoolMessageLines(const MailStore& store, const std::vector<std::string>& lines);

// Send File: a new ".out" file of the spool folder holding "To: " address, "From: " my name
// and address (settings.MyName, settings.MailAddress), "Subject: " subject (CR and LF in
// them become spaces, non-ASCII text goes as encoded words), the standard fields
// (AddStandardFields), an empty line, then `bytes` unchanged; written like
// SpoolMessageLines. Its path, or "" when it was not written.
std::string SpoolFileMessage(const MailStore& store, const Settings& settings, const std::string& address,
                             const std::string& subject, std::string_view bytes);

}  // namespace corvelle
