// What the POP3 server holds and offers: capabilities (CAPA, UTF8), the listing of the
// mailbox (UIDL, LIST) and the account's ids of messages stored before.

#include <algorithm>
#include <cstdlib>
#include <set>

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"

namespace corvelle {
namespace {

// A server's reply as a box shows it.
constexpr size_t kReplyShown = 200;
// The most lines a listing of `total` messages may have: its lines, some to spare, and never
// so many that a hostile count would fill the memory.
long long ListingBound(int total) { return std::min<long long>(total, 1000000) + 1000; }

}  // namespace

bool TGetMail::ReadListing(const std::function<bool(const std::string&)>& take, long long most) {
  std::string line;
  bool taking = true;
  for (long long lines = 0;; ++lines) {
    if (!ReadReplyLine(line)) return false;
    if (IsEndOfReply(line)) return true;
    if (lines == most) {  // a listing without end: nothing the server says next can be trusted
      Note("Transfer error: the mail server's listing does not end.");
      SessionLost(0);
      return false;
    }
    if (taking) taking = take(line);
  }
}

void TGetMail::ListCapabilities() {
  pipelining_ = false;
  if (Command("CAPA") != Reply::kAccepted) return;
  ReadListing([&](const std::string& line) {
    pipelining_ = pipelining_ || CapabilityLineNames(line, "PIPELINING");
    return true;
  });
}

// UTF8 (RFC 6856) is taken only before login. Without it some servers send a notice in
// place of a message with 8-bit header fields; a refusal changes nothing: the messages
// come as the server has them.
void TGetMail::EnableUtf8() {
  bool offered = false;
  if (Command("CAPA") != Reply::kAccepted || !ReadListing([&](const std::string& line) {
        offered = offered || CapabilityLineNames(line, "UTF8");
        return true;
      }))
    return;
  if (offered) Command("UTF8");
}

bool TGetMail::ListUniqueIds(int total) {
  ids_.clear();
  numbers_.clear();
  if (Command("UIDL") != Reply::kAccepted) return false;
  // Only what the server lists is kept: the count of a hostile STAT reply may be huge.
  std::unordered_map<int, std::string> ids;
  std::unordered_map<std::string, int> uses;
  std::set<int> numbers;
  std::set<std::string> listed;
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string id;
        bool named = ParseUidlLine(line, number, id);
        // A line with a number and no usable id still lists its message.
        if (!named && !ParseUidlLine(line.substr(0, line.find(' ')) + " -", number, id)) return true;
        if (number > total) return true;
        if (named) {
          ++uses[id];
          listed.insert(id);
        } else {
          id.clear();
        }
        numbers.insert(number);
        auto [at, fresh] = ids.try_emplace(number, id);
        if (!fresh) at->second.clear();  // a number listed twice: neither line names it
        return true;
      },
      ListingBound(total));
  if (!read) return false;
  int unusable = 0;
  for (int number : numbers) {
    std::string& id = ids[number];
    if (id.empty() || uses[id] != 1) {
      ++unusable;
      continue;
    }
    ids_[number] = id;
  }
  numbers_.assign(numbers.begin(), numbers.end());
  commit_.Ids().KeepOnly(listed);
  // Without an id a message left on the server comes again at every Get.
  if (unusable > 0 && !DeleteAfter)
    IdsNotKept("The mail server gives " + std::to_string(unusable) + " of its messages no unique id that can be trusted.");
  return true;
}

bool TGetMail::ListMessages(int total) {
  if (Command("LIST") != Reply::kAccepted) return false;
  std::set<int> numbers;
  sizes_.clear();
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string size;
        if (ParseUidlLine(line, number, size) && number <= total) {
          numbers.insert(number);
          sizes_[number] = std::atol(size.c_str());
        }
        return true;
      },
      ListingBound(total));
  numbers_.assign(numbers.begin(), numbers.end());
  return read;
}

bool TGetMail::ListMailbox(int total) {
  numbers_.clear();
  sizes_.clear();
  if (total <= 0) return true;
  bool ids = ListUniqueIds(total);
  if (!SessionUsable()) return false;
  if (ids && numbers_.size() == static_cast<size_t>(total)) return true;
  std::vector<int> listed_ids = std::move(numbers_);
  if (ListMessages(total)) return true;
  if (!SessionUsable()) return false;
  if (ids) {
    numbers_ = std::move(listed_ids);
    return true;
  }
  ShowMessage(ui_, "The mail server does not list its messages: " + reply_.substr(0, kReplyShown));
  return false;
}

const std::string& TGetMail::IdOf(int number) const {
  static const std::string none;
  auto id = ids_.find(number);
  return id == ids_.end() ? none : id->second;
}

bool TGetMail::LoadUniqueIds() {
  ids_.clear();
  bool ok = commit_.LoadIds(UidState::FileFor(mail_directory_, user_, server_));
  if (!ok) Note("Messages fetched before could not be given their names in the Spool folder.");
  return ok;
}

}  // namespace corvelle
