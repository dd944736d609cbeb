#include "ui/signin/browser_opener.h"

#include <QProcess>
#include <QUrl>

namespace corvelle {
namespace {

bool RunBrowserCommand(const QString& command, const QString& address) {
  QStringList arguments = QProcess::splitCommand(command);
  if (arguments.isEmpty()) return false;
  bool placed = false;
  for (QString& argument : arguments) {
    if (!argument.contains("%s")) continue;
    argument.replace("%s", address);
    placed = true;
  }
  if (!placed) arguments.append(address);
  const QString program = arguments.takeFirst();
  return QProcess::startDetached(program, arguments);
}

}  // namespace

UrlOpener BrowserOpener(UrlOpener desktop) {
  return [desktop = std::move(desktop)](const QUrl& url) {
    const QString browsers = qEnvironmentVariable("BROWSER");
    if (browsers.isEmpty()) return desktop(url);
    const QString address = url.toString(QUrl::FullyEncoded);
    for (const QString& command : browsers.split(':', Qt::SkipEmptyParts))
      if (RunBrowserCommand(command, address)) return true;
    return false;
  };
}

}  // namespace corvelle
