#include "core/mime/gmime_init.h"

#include <gmime/gmime.h>

#include <mutex>

namespace corvelle {

void EnsureGMime() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_mime_init();
    // 8-bit header bytes without a label: UTF-8 when they are, else the Windows code page.
    static const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(g_mime_parser_options_get_default(), fallback);
  });
}

}  // namespace corvelle
