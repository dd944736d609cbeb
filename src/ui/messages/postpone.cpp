#include "ui/messages/postpone.h"

#include <QLabel>
#include <string>
#include <vector>

#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/messages/postpone_message.h"
#include "core/messages/save_message.h"
#include "core/user_interface.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

constexpr const char* kNotComposition = "You must select a new mail window to postpone.";
constexpr const char* kNotWritten = "Could not save message to Postponed folder.";
constexpr const char* kNotMoved = "Mail message could not be saved.";
constexpr const char* kSaved = "Message saved to Postponed folder.";

}  // namespace

bool DoPostponeFile(TMailViewer& viewer) {
  if (!viewer.IsNewMessage()) {
    ShowMessage(kNotComposition);
    return false;
  }
  std::vector<std::string> lines;
  viewer.GetMessageFromWindow(lines);
  if (lines.empty()) return false;
  if (!viewer.FileName.empty()) {
    // Reopened from Postponed: that file is the one copy, replaced only by a complete one.
    if (!SaveMessageLines(viewer.FileName, lines)) {
      ShowMessage(kNotWritten);
      return false;
    }
    viewer.AskOnClose = false;
    return true;
  }
  std::string filed_as;
  switch (PostponeNewMessage(MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames), Ui(), lines, filed_as)) {
    case Postponing::kSaved:
      if (CorvelProg) CorvelProg->Panel3->setText(kSaved);
      viewer.AskOnClose = false;
      return true;
    case Postponing::kWriteFailed:
      ShowMessage(kNotWritten);
      return false;
    case Postponing::kMoveRefused:
      ShowMessage(kNotMoved);
      return false;
  }
  return false;
}

void PostponeAndClose(TMailViewer& viewer) {
  if (DoPostponeFile(viewer)) viewer.Release();
}

}  // namespace corvelle
