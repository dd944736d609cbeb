#include "ui/messages/postpone.h"

#include <string>
#include <vector>

#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/messages/postpone_message.h"
#include "core/messages/save_message.h"
#include "core/user_interface.h"
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
    ShowMessage(viewer.RunServices().ui, kNotComposition);
    return false;
  }
  std::vector<std::string> lines;
  viewer.GetMessageFromWindow(lines);
  if (lines.empty()) return false;
  if (!viewer.FileName.empty()) {
    // Reopened from Postponed: that file is the one copy, replaced only by a complete one.
    if (!SaveMessageLines(viewer.FileName, lines)) {
      ShowMessage(viewer.RunServices().ui, kNotWritten);
      return false;
    }
    viewer.AskOnClose = false;
    return true;
  }
  std::string filed_as;
  switch (PostponeNewMessage(viewer.RunServices().Store(), viewer.RunServices().ui, lines, filed_as)) {
    case Postponing::kSaved:
      viewer.ShowResult(kSaved);
      viewer.AskOnClose = false;
      return true;
    case Postponing::kWriteFailed:
      ShowMessage(viewer.RunServices().ui, kNotWritten);
      return false;
    case Postponing::kMoveRefused:
      ShowMessage(viewer.RunServices().ui, kNotMoved);
      return false;
  }
  return false;
}

void PostponeAndClose(TMailViewer& viewer) {
  if (DoPostponeFile(viewer)) viewer.Release();
}

}  // namespace corvelle
