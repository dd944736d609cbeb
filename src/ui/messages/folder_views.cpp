#include "ui/messages/folder_views.h"

#include <QDesktopServices>

#include "platform/paths.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

bool DesktopOpener(const QUrl& url) { return QDesktopServices::openUrl(url); }

UrlOpener& Opener() {
  static UrlOpener opener = DesktopOpener;
  return opener;
}

}  // namespace

void SetUrlOpener(UrlOpener opener) { Opener() = opener ? std::move(opener) : DesktopOpener; }

void ShowFolder(const std::string& folder) { Opener()(QUrl::fromLocalFile(PathToQt(ResolvePath(folder)))); }

}  // namespace corvelle
