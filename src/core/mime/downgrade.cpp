#include "core/mime/downgrade.h"

#include <gmime/gmime.h>

#include "core/mime/gmime_init.h"

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
  GMimeStream* probe = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), probe);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(probe));
  const bool eight_bit = Has8Bit(std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len));
  g_object_unref(probe);
  if (!eight_bit) return false;
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
  return true;
}

}  // namespace

std::string DowngradeTo7Bit(std::string_view message) {
  if (!Has8Bit(message)) return std::string(message);
  EnsureGMime();
  GMimeStream* in = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(in);
  GMimeMessage* parsed = g_mime_parser_construct_message(parser, nullptr);
  std::string out(message);
  if (parsed && Reencode(g_mime_message_get_mime_part(parsed), 0)) {
    GMimeFormatOptions* format = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
    GMimeStream* written = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(parsed), format, written);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(written));
    out.assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
    g_object_unref(written);
    g_mime_format_options_free(format);
  }
  if (parsed) g_object_unref(parsed);
  g_object_unref(parser);
  g_object_unref(in);
  return out;
}

}  // namespace corvelle
