#include "ui/common/file_dialog_state.h"

#include <QDir>
#include <QFileInfo>

#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

QString& LastSaveFolder() {
  static QString folder;
  return folder;
}

}  // namespace

QString SaveStartFolder() {
  const QString& last = LastSaveFolder();
  return !last.isEmpty() && QDir(last).exists() ? last : QDir::homePath();
}

void RememberSaveFolder(const QString& saved_file) { LastSaveFolder() = QFileInfo(saved_file).absolutePath(); }

QStringList NameFilters(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == "*.*") pattern = "*";
    }
    int open = description.lastIndexOf('(');
    if (description.endsWith(')') && open >= 0) description = description.left(open).trimmed();
    filters << description + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

QString InitialDirectory(const std::string& folder) {
  std::string dir = folder;
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return PathToQt(dir);
}

}  // namespace corvelle
