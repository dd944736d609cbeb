// What TGetMail fetches: the messages the server lists (UIDL, or LIST when UIDL does not
// list them all), and the account's ids of messages stored before.

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"

namespace corvelle {
namespace {

// A server's reply as a box shows it.
constexpr size_t kReplyShown = 200;

}  // namespace

bool TGetMail::ListMailbox(int total) {
  listing_.numbers.clear();
  listing_.sizes.clear();
  if (total <= 0) return true;
  bool ids = session_.ListUniqueIds(total, listing_);
  if (ids) {
    commit_.Ids().KeepOnly(listing_.named);
    // Without an id a message left on the server comes again at every Get.
    if (listing_.unusable > 0 && !DeleteAfter)
      IdsNotKept("The mail server gives " + std::to_string(listing_.unusable) +
                 " of its messages no unique id that can be trusted.");
  }
  if (!session_.Usable()) return false;
  if (ids && listing_.numbers.size() == static_cast<size_t>(total)) return true;
  std::vector<int> listed_ids = std::move(listing_.numbers);
  if (session_.ListMessages(total, listing_)) return true;
  if (!session_.Usable()) return false;
  if (ids) {
    listing_.numbers = std::move(listed_ids);
    return true;
  }
  ShowMessage(ui_, "The mail server does not list its messages: " + session_.LastReply().substr(0, kReplyShown));
  return false;
}

const std::string& TGetMail::IdOf(int number) const {
  static const std::string none;
  auto id = listing_.ids.find(number);
  return id == listing_.ids.end() ? none : id->second;
}

bool TGetMail::LoadUniqueIds() {
  listing_.ids.clear();
  bool ok = commit_.LoadIds(UidState::FileFor(store_.Root(), user_, server_));
  if (!ok) Note("Messages fetched before could not be given their names in the Spool folder.");
  return ok;
}

}  // namespace corvelle
