#include "ui/newmail/quiet_interface.h"

#include <QCoreApplication>
#include <chrono>
#include <future>

#include "platform/disk_sync.h"

#include "ui/common/qt_user_interface.h"

namespace corvelle {

Answer QuietInterface::Message(const std::string& text, const std::string&, Buttons buttons, MessageIcon) {
  kept_.push_back(text);
  return SafeAnswer(buttons);
}

void QuietInterface::ProcessEvents() {
  if (since_events_.elapsed() < kQuietEventInterval) return;
  QCoreApplication::processEvents();
  since_events_.restart();
}

DiskFlush QuietInterface::SyncWhileResponsive() {
  return [this](const std::vector<std::string>& files) {
    // Only the flush leaves the interface thread: it reads no state but the files it is
    // given, and the retrieval that asked for it waits here for its answer.
    std::future<bool> synced = std::async(std::launch::async, [&files] { return SyncFiles(files); });
    while (synced.wait_for(std::chrono::milliseconds(kQuietEventInterval)) != std::future_status::ready) {
      QCoreApplication::processEvents();
      since_events_.restart();
    }
    return synced.get();
  };
}

}  // namespace corvelle
