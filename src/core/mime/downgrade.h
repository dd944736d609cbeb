#pragma once
// Outgoing text for a server that takes only 7-bit data.

#include <string>
#include <string_view>

namespace corvelle {

// The message `message` (CR LF lines, as stored in a spool file) with every part sent as
// 8bit or binary (or with 8-bit bytes and no encoding) re-encoded as quoted-printable. A
// message without 8-bit content comes back unchanged, byte for byte; the stored file is
// never touched: the result is only for the wire.
std::string DowngradeTo7Bit(std::string_view message);

}  // namespace corvelle
