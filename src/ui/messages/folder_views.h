#pragma once
// Showing a mail folder in the desktop's file manager: its default application for the
// folder, started without waiting. A path never goes through a shell command line.

#include <QUrl>
#include <functional>
#include <string>

namespace corvelle {

// What opens a URL. Tests record instead.
using UrlOpener = std::function<bool(const QUrl&)>;

// The desktop's opener (QDesktopServices::openUrl).
bool OpenOnDesktop(const QUrl& url);

// Opens `folder` (resolved ignoring case) as a file URL with `opener`.
void ShowFolder(const UrlOpener& opener, const std::string& folder);

}  // namespace corvelle
