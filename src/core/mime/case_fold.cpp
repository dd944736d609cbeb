#include "core/mime/case_fold.h"

#include <glib.h>

#include "core/mime/gmime_support.h"

namespace corvelle {

std::string FoldCase(std::string_view utf8) {
  // GLib folds valid UTF-8 only.
  std::string valid = TakeGString(g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size())));
  return TakeGString(g_utf8_casefold(valid.data(), static_cast<gssize>(valid.size())));
}

}  // namespace corvelle
