#pragma once
// Searching the messages of mail folders for a text: in the subject, the sender, the
// recipients (To, Cc) and the readable body, letter case ignored, encoded text decoded.
// Hits are handed out one by one as they are found; a cancel flag stops the search at once.
// Blocking: callers that must stay responsive run it on a thread of their own.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/search/message_match.h"

namespace corvelle {

class MailStore;

struct SearchRequest {
  std::string text;                  // what to find; an empty text finds nothing
  std::vector<std::string> folders;  // full folder paths, each with its sub-folders; empty: all
  int threads = 2;                   // files read and searched side by side
};

struct SearchHit {
  std::string path;     // the message file
  std::string folder;   // its folder relative to the mail directory ("Inbox/Old"); else the full path
  std::string subject;  // decoded, UTF-8
  std::string sender;   // the From field, decoded
  std::string date;     // the Date field as written
  SearchField field;    // the first field that holds the text
};

struct SearchSinks {
  // Each hit, from a searching thread, one call at a time.
  std::function<void(const SearchHit&)> hit;
  // A folder's files start to be searched (its folder text as in SearchHit), one call at a time.
  std::function<void(const std::string& folder)> folder;
};

struct SearchSummary {
  size_t searched = 0;                       // message files read
  size_t found = 0;                          // hits handed out
  size_t unreadable = 0;                     // files that could not be read
  std::vector<std::string> unreadable_paths; // the first few of them
  bool cancelled = false;
};

// Searches the folders SearchFolders(store, request.folders) names. Files with hidden
// names are nobody's messages and are skipped. Returns when every file is searched, or soon
// after `cancel` is set (it is looked at between files and inside long ones).
SearchSummary SearchMessages(const MailStore& store, const SearchRequest& request, const std::atomic<bool>& cancel,
                             const SearchSinks& sinks);

// The message file `bytes` as a hit, when it holds `text`; for callers searching single files.
bool SearchMessageBytes(std::string_view bytes, const SearchText& text, const std::atomic<bool>* cancel,
                        SearchHit& hit);

}  // namespace corvelle
