#include "ui/messages/folder_views.h"

#include <QDesktopServices>

#include "platform/paths.h"
#include "ui/common/qt_text.h"

namespace corvelle {
bool OpenOnDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

void ShowFolder(const UrlOpener& opener, const std::string& folder) {
  opener(QUrl::fromLocalFile(PathToQt(ResolvePath(folder))));
}

}  // namespace corvelle
