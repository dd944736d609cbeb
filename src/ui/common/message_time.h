#pragma once
// How the message lists show a time: the mailbox window and the search results alike.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string>

#include "core/mime/date_field.h"
#include "ui/common/qt_text.h"

namespace corvelle {

// Seconds since the epoch as local date and minute; sorts as text in time order.
inline QString MessageTimeText(int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// A Date field's value as MessageTimeText, or as written when it names no time.
inline QString DateFieldText(const std::string& value) {
  std::optional<int64_t> seconds = ParseDateField(value);
  return seconds ? MessageTimeText(*seconds) : TextToQt(value);
}

}  // namespace corvelle
