#include "core/mime/transfer_decoding.h"

#include "core/mime/gmime_support.h"

namespace corvelle {

std::string DecodeTransferEncoding(std::string_view body, std::string_view encoding) {
  EnsureGMime();
  std::string name(encoding.substr(0, encoding.find_first_of(" \t;(")));
  GMimeContentEncoding kind = g_mime_content_encoding_from_string(name.c_str());
  if (kind != GMIME_CONTENT_ENCODING_BASE64 && kind != GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE &&
      kind != GMIME_CONTENT_ENCODING_UUENCODE)
    return std::string(body);
  GMimeEncoding state;
  g_mime_encoding_init_decode(&state, kind);
  std::string out(g_mime_encoding_outlen(&state, body.size()) + 16, '\0');  // room for what flushing adds
  size_t size = g_mime_encoding_flush(&state, body.data(), body.size(), out.data());
  out.resize(size);
  return out;
}

}  // namespace corvelle
