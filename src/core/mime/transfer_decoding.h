#pragma once
// The body of a single-part message taken out of its transfer encoding, without parsing
// the message: for callers that know the part is text and only want its bytes.

#include <string>
#include <string_view>

namespace corvelle {

// `body` decoded from `encoding` (a Content-Transfer-Encoding value: base64,
// quoted-printable, x-uuencode, any case); any other encoding (7bit, 8bit, binary, an
// unknown one) leaves the bytes as they are. Broken input decodes as far as it can; never
// fails.
std::string DecodeTransferEncoding(std::string_view body, std::string_view encoding);

}  // namespace corvelle
