#include "ui/common/qt_socket_notifier.h"

#include <QMetaObject>

namespace corvelle {
namespace {

// Notifiers may be dropped from inside their own signal: delete them from the loop.
void Drop(QPointer<QSocketNotifier>& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier->deleteLater();
  notifier = nullptr;
}

}  // namespace

QtSocketNotifier::QtSocketNotifier(QObject* parent) : QObject(parent) { SetSocketNotifier(this); }

QtSocketNotifier::~QtSocketNotifier() {
  if (InstalledSocketNotifier() == this) SetSocketNotifier(nullptr);
}

QSocketNotifier* QtSocketNotifier::MakeNotifier(int descriptor, QSocketNotifier::Type type) {
  auto* notifier = new QSocketNotifier(descriptor, type, this);
  const bool readable = type == QSocketNotifier::Read;
  connect(notifier, &QSocketNotifier::activated, this, [this, descriptor, readable] {
    auto it = watched_.find(descriptor);
    if (it == watched_.end() || !it->second.ready) return;
    auto ready = it->second.ready;  // the callback may unwatch and so destroy the entry
    ready(readable, !readable);
  });
  return notifier;
}

void QtSocketNotifier::Watch(int descriptor, bool read, bool write, std::function<void(bool, bool)> ready) {
  Entry& entry = watched_[descriptor];
  entry.ready = std::move(ready);
  if (read && !entry.read) entry.read = MakeNotifier(descriptor, QSocketNotifier::Read);
  if (write && !entry.write) entry.write = MakeNotifier(descriptor, QSocketNotifier::Write);
  if (!read) Drop(entry.read);
  if (!write) Drop(entry.write);
}

void QtSocketNotifier::Unwatch(int descriptor) {
  auto it = watched_.find(descriptor);
  if (it == watched_.end()) return;
  Drop(it->second.read);
  Drop(it->second.write);
  watched_.erase(it);
}

void QtSocketNotifier::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace corvelle
