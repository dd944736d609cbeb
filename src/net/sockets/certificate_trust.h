#pragma once
// What happens to a server certificate that failed verification: the user may trust that
// one certificate, by its SHA-256 fingerprint stored per server in the settings file; a
// different certificate from that server later is refused with a warning, never accepted
// silently.

#include <string>

namespace corvelle {

struct Settings;
class UserInterface;

// Decides, asking through `ui`, on the certificate of `server` ("host:port") with
// `fingerprint` that failed with `reason`. True to go on. False with `refusal` the text of
// why (the user has seen it or has just said no). A trust given is kept in `choices` and
// in the settings file.
bool AcceptUnverifiedCertificate(UserInterface& ui, Settings& choices, const std::string& server, const std::string& fingerprint,
                                 const std::string& reason, std::string& refusal);

}  // namespace corvelle
