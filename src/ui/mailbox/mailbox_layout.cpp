#include "ui/mailbox/mailbox_layout.h"

#include <QString>
#include <QStringList>

#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kSection = "mailbox";

QList<int> ReadNumbers(const PrivateProfile& profile, const char* key) {
  QList<int> numbers;
  const QString text = QString::fromStdString(profile.ReadString(kSection, key, ""));
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
    bool ok = false;
    const int number = part.trimmed().toInt(&ok);
    if (!ok || number < 0) return {};
    numbers << number;
  }
  return numbers;
}

std::string Numbers(const QList<int>& numbers) {
  QStringList parts;
  for (int number : numbers) parts << QString::number(number);
  return parts.join(',').toStdString();
}

// A key holds no "=" (it would end the key) and no line break.
std::string SortKey(const std::string& folder) {
  std::string key = "Sort:";
  for (char c : folder) {
    if (c == '%' || c == '=' || c == '\r' || c == '\n' || c == '[' || c == ']') {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
      key += code;
    } else {
      key += c;
    }
  }
  return key;
}

}  // namespace

MailboxLayout ReadMailboxLayout(const std::string& ini) {
  PrivateProfile profile(ini);
  MailboxLayout layout;
  layout.splitter = ReadNumbers(profile, "Splitter");
  layout.columns = ReadNumbers(profile, "Columns");
  layout.folder = profile.ReadString(kSection, "Folder", "");
  return layout;
}

bool WriteMailboxLayout(const std::string& ini, const MailboxLayout& layout) {
  PrivateProfile profile(ini);
  profile.WriteString(kSection, "Splitter", Numbers(layout.splitter));
  profile.WriteString(kSection, "Columns", Numbers(layout.columns));
  profile.WriteString(kSection, "Folder", layout.folder);
  return profile.Save();
}

FolderSort ReadFolderSort(const std::string& ini, const std::string& folder) {
  PrivateProfile profile(ini);
  const QStringList parts = QString::fromStdString(profile.ReadString(kSection, SortKey(folder), "")).split(',');
  FolderSort sort;
  bool ok = false;
  if (parts.size() == 2) sort.column = parts[0].toInt(&ok);
  if (!ok) return {};
  sort.ascending = parts[1] == "up";
  return sort;
}

bool WriteFolderSort(const std::string& ini, const std::string& folder, const FolderSort& sort) {
  PrivateProfile profile(ini);
  profile.WriteString(kSection, SortKey(folder), std::to_string(sort.column) + (sort.ascending ? ",up" : ",down"));
  return profile.Save();
}

}  // namespace corvelle
