#pragma once
// POP3 dialogues for the fake servers, built step by step: the login, RETR with a message
// byte-stuffed on the wire, DELE, QUIT. Messages hold any bytes; each step is exact.

#include <string>
#include <vector>

#include "net/support/dialogue.h"

namespace corvelle::testing {

class Pop3Dialogue {
 public:
  using Kind = DialogueStep::Kind;

  Pop3Dialogue& S(const std::string& line) { return Add(Kind::kServer, line + "\r\n"); }
  Pop3Dialogue& Raw(const std::string& bytes) { return Add(Kind::kServer, bytes); }
  Pop3Dialogue& C(const std::string& line) { return Add(Kind::kClient, line + "\r\n"); }
  Pop3Dialogue& Close() { return Add(Kind::kClose, ""); }
  Pop3Dialogue& Stall() { return Add(Kind::kStall, ""); }
  // Steps written as a script (dialogue.h): pauses, drips.
  Pop3Dialogue& Script(std::string_view script) { return Then(ParseDialogue(script)); }
  Pop3Dialogue& Then(const Pop3Dialogue& more) { return Then(more.steps_); }
  Pop3Dialogue& Then(const std::vector<DialogueStep>& more) {
    steps_.insert(steps_.end(), more.begin(), more.end());
    return *this;
  }

  // The greeting, USER joe and PASS secret.
  Pop3Dialogue& Auth() { return S("+OK POP3 ready").C("USER joe").S("+OK").C("PASS secret").S("+OK logged in"); }
  Pop3Dialogue& Login(int count) { return Auth().C("STAT").S("+OK " + std::to_string(count) + " 4096"); }
  // RETR `number` answered with `message` (CR LF lines), by default with "<size> octets".
  Pop3Dialogue& Retr(int number, const std::string& message, std::string reply = "") {
    if (reply.empty()) reply = "+OK " + std::to_string(message.size()) + " octets";
    C("RETR " + std::to_string(number)).S(reply);
    // Lines starting with "." get another one, and a lone "." ends the message.
    std::string wire;
    for (size_t at = 0, end; at < message.size(); at = end) {
      end = message.find("\r\n", at);
      end = end == std::string::npos ? message.size() : end + 2;
      wire += (message[at] == '.' ? "." : "") + message.substr(at, end - at);
    }
    return Raw(wire + ".\r\n");
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
