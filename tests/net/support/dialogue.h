#pragma once
// Scripted dialogues between a client (C) and a server (S), for fake servers. One step a line:
//
//   S: text    the server sends text and CR LF
//   S> text    the server sends text with no line end
//   C: text    the client must send text and CR LF next
//   PAUSE n    the server says nothing for n milliseconds, then goes on
//   CLOSE      the server closes the connection
//   STALL      the server goes silent and keeps the connection open
//   # ...      a comment; empty lines are skipped
//
// Text may hold the escapes \r \n \t \0 \\ and \xHH, so any byte can be scripted.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle::testing {

struct DialogueStep {
  enum class Kind { kServer, kClient, kPause, kClose, kStall };
  Kind kind;
  std::string bytes;     // for S and C: the exact bytes, line end included
  int milliseconds = 0;  // for PAUSE
};

// The steps of `script`. Throws std::invalid_argument naming a line it cannot read.
std::vector<DialogueStep> ParseDialogue(std::string_view script);

// The script of a server that sends `bytes` one at a time, pausing `milliseconds` after each.
std::string Drip(std::string_view bytes, int milliseconds);

// A printable form of `bytes` (the escapes above for control and 8-bit bytes).
std::string Escape(std::string_view bytes);

}  // namespace corvelle::testing
