#pragma once
// Showing a mail folder in the desktop's file manager: its default application for the
// folder, started without waiting. A path never goes through a shell command line.

#include <QUrl>
#include <functional>
#include <string>

namespace corvelle {

// Opens `folder` (resolved ignoring case) as a file URL.
void ShowFolder(const std::string& folder);

// What opens the URL; the default is QDesktopServices::openUrl. Tests record instead.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);  // an empty one restores the default

}  // namespace corvelle
