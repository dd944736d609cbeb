#include "core/mime/downgrade.h"

#include "core/mime/gmime_support.h"

namespace corvelle {
namespace {

bool Has8Bit(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80 || c == 0) return true;
  return false;
}

// Leaves of `object` that travel as 8bit or binary become quoted-printable. True when any did.
bool Reencode(GMimeObject* object, int depth) {
  if (!object || depth > 64) return false;
  if (GMIME_IS_MULTIPART(object)) {
    bool any = false;
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
      any = Reencode(g_mime_multipart_get_part(multipart, i), depth + 1) || any;
    return any;
  }
  if (!GMIME_IS_PART(object)) return false;
  GMimePart* part = GMIME_PART(object);
  switch (g_mime_part_get_content_encoding(part)) {
    case GMIME_CONTENT_ENCODING_8BIT:
    case GMIME_CONTENT_ENCODING_BINARY:
    case GMIME_CONTENT_ENCODING_DEFAULT:
    case GMIME_CONTENT_ENCODING_7BIT:
      break;
    default:
      return false;  // base64, quoted-printable, uuencode: 7-bit already
  }
  // A part labelled 7bit may still hold 8-bit bytes: only the content decides.
  const bool eight_bit = Has8Bit(PartContent(part));
  if (!eight_bit) return false;
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
  return true;
}

}  // namespace

std::string DowngradeTo7Bit(std::string_view message) {
  if (!Has8Bit(message)) return std::string(message);
  GRef<GMimeMessage> parsed = ParseMessage(message);
  if (parsed && Reencode(g_mime_message_get_mime_part(parsed.get()), 0)) return ObjectBytes(GMIME_OBJECT(parsed.get()));
  return std::string(message);
}

}  // namespace corvelle
