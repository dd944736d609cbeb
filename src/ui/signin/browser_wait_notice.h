#pragma once
// The user's side of the wait for the browser: with a display, a small window that says the
// program waits for the sign-in in the browser, shows the address to copy (for a browser that
// did not open) and has a Cancel button; without one, a line on the error output.

#include <QUrl>
#include <memory>

class QDialog;

namespace corvelle {

inline constexpr const char* kBrowserWaitText = "Waiting for the sign-in in your browser...";

class BrowserWaitNotice {
 public:
  // Cancel sets `cancelled`, which must outlive the notice. `kept`: whether the sign-in is
  // kept for the next runs (a keyring answers); the notice says so when it is not.
  BrowserWaitNotice(const QUrl& address, bool browser_opened, bool kept, bool& cancelled);
  ~BrowserWaitNotice();

 private:
  std::unique_ptr<QDialog> window_;
};

}  // namespace corvelle
