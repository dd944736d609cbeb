#include "core/mime/gmime_support.h"

#include <mutex>

namespace corvelle {
namespace {

std::string StreamBytes(GMimeStream* stream) {
  GByteArray* data = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
  return std::string(reinterpret_cast<const char*>(data->data), data->len);
}

}  // namespace

void EnsureGMime() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_mime_init();
    // 8-bit header bytes without a label: UTF-8 when they are, else the Windows code page.
    static const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(g_mime_parser_options_get_default(), fallback);
  });
}

std::string TakeGString(char* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

GRef<GMimeMessage> ParseMessage(std::string_view bytes) {
  EnsureGMime();
  // The stream copies nothing: the bytes outlive the parse.
  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  return GRef<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

std::string ObjectBytes(GMimeObject* object) {
  GRef<GMimeStream> out(g_mime_stream_mem_new());
  GMimeFormatOptions* format = g_mime_format_options_new();
  g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
  g_mime_object_write_to_stream(object, format, out.get());
  g_mime_format_options_free(format);
  return StreamBytes(out.get());
}

std::string PartContent(GMimePart* part) {
  GRef<GMimeStream> out(g_mime_stream_mem_new());
  if (GMimeDataWrapper* wrapper = g_mime_part_get_content(part)) g_mime_data_wrapper_write_to_stream(wrapper, out.get());
  return StreamBytes(out.get());
}

std::string PartEncodedContent(GMimePart* part) {
  GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
  GMimeStream* stream = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
  if (!stream) return "";
  GRef<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_stream_reset(stream);
  g_mime_stream_write_to_stream(stream, out.get());
  g_mime_stream_reset(stream);
  return StreamBytes(out.get());
}

}  // namespace corvelle
