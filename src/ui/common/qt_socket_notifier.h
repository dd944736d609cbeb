#pragma once
// The socket component's asynchronous mode on Qt's event loop: QSocketNotifiers watch the
// descriptors and queued calls run posted work.

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <map>

#include "net/sockets/socket_notifier.h"

namespace corvelle {

class QtSocketNotifier : public QObject, public SocketNotifier {
  Q_OBJECT
 public:
  // Installs itself as the socket component's notifier until destroyed.
  explicit QtSocketNotifier(QObject* parent = nullptr);
  ~QtSocketNotifier() override;

  void Watch(int descriptor, bool read, bool write, std::function<void(bool, bool)> ready) override;
  void Unwatch(int descriptor) override;
  void Post(std::function<void()> call) override;

 private:
  struct Entry {
    QPointer<QSocketNotifier> read, write;
    std::function<void(bool, bool)> ready;
  };
  QSocketNotifier* MakeNotifier(int descriptor, QSocketNotifier::Type type);

  std::map<int, Entry> watched_;
};

}  // namespace corvelle
