#pragma once
// What the mime files share in calling GMime: its one-time set-up, ownership of its objects
// and strings, parsing a message file and writing objects back to bytes. Included by the
// .cpp files of this folder only, so GMime's headers go no further.

#include <gmime/gmime.h>

#include <memory>
#include <string>
#include <string_view>

namespace corvelle {

// Sets GMime up once per process; every function below calls it as needed.
void EnsureGMime();

template <typename T>
struct GObjectUnref {
  void operator()(T* object) const { g_object_unref(object); }
};
// An owned GObject (a message, stream, parser...), released with g_object_unref.
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref<T>>;

// The text of a string GLib allocated, which is freed; "" for null.
std::string TakeGString(char* text);

// The message in `bytes` (a message file), or null. The bytes must outlive the result.
GRef<GMimeMessage> ParseMessage(std::string_view bytes);

// `object` written out as a message file writes it: lines end in CR LF.
std::string ObjectBytes(GMimeObject* object);

// The decoded content of a leaf part ("" when it has none).
std::string PartContent(GMimePart* part);

// The content of a leaf part as the message holds it, still in its transfer encoding.
std::string PartEncodedContent(GMimePart* part);

}  // namespace corvelle
