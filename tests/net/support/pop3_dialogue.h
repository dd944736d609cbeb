#pragma once
// Building POP3 dialogues for fake servers: the login, RETR with a message byte-stuffed on
// the wire, DELE, QUIT. Messages hold any bytes; each step is exact.

#include <string>
#include <vector>

#include "net/support/dialogue.h"

namespace corvelle::testing {

// `message` (CR LF lines) as a RETR reply carries it: lines starting with "." get another
// one, and the lone "." ends it.
inline std::string Stuffed(const std::string& message) {
  std::string wire;
  size_t at = 0;
  while (at < message.size()) {
    size_t end = message.find("\r\n", at);
    end = end == std::string::npos ? message.size() : end + 2;
    if (message[at] == '.') wire += '.';
    wire.append(message, at, end - at);
    at = end;
  }
  return wire + ".\r\n";
}

class Pop3Dialogue {
 public:
  using Kind = DialogueStep::Kind;

  Pop3Dialogue& S(const std::string& line) { return Add(Kind::kServer, line + "\r\n"); }
  Pop3Dialogue& Raw(const std::string& bytes) { return Add(Kind::kServer, bytes); }
  Pop3Dialogue& C(const std::string& line) { return Add(Kind::kClient, line + "\r\n"); }
  Pop3Dialogue& Close() { return Add(Kind::kClose, ""); }
  Pop3Dialogue& Stall() { return Add(Kind::kStall, ""); }

  Pop3Dialogue& Login(int count, const std::string& user = "joe", const std::string& password = "secret") {
    return S("+OK POP3 ready").C("USER " + user).S("+OK").C("PASS " + password).S("+OK logged in")
        .C("STAT").S("+OK " + std::to_string(count) + " 4096");
  }
  // RETR `number` answered with `message` and the reply text "<size> octets".
  Pop3Dialogue& Retr(int number, const std::string& message) {
    return Retr(number, message, "+OK " + std::to_string(message.size()) + " octets");
  }
  Pop3Dialogue& Retr(int number, const std::string& message, const std::string& reply) {
    return C("RETR " + std::to_string(number)).S(reply).Raw(Stuffed(message));
  }
  Pop3Dialogue& Dele(int number) { return C("DELE " + std::to_string(number)).S("+OK message deleted"); }
  Pop3Dialogue& Rset() { return C("RSET").S("+OK"); }
  Pop3Dialogue& Quit() { return C("QUIT").S("+OK bye").Close(); }

  const std::vector<DialogueStep>& steps() const { return steps_; }

 private:
  Pop3Dialogue& Add(Kind kind, std::string bytes) {
    steps_.push_back({kind, std::move(bytes)});
    return *this;
  }
  std::vector<DialogueStep> steps_;
};

}  // namespace corvelle::testing
