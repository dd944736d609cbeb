#pragma once
// One running instance per user: later starts hand their options to it over a local
// socket private to the user, one connection per forwarded line.

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace corvelle {

// The socket's full path: in $XDG_RUNTIME_DIR (the temporary folder without one), its name
// holding the user id.
QString InstanceSocketName();

// Hands `list` to the running instance of this user. False when none answers (or the
// list cannot be sent): this start then goes on by itself.
bool ForwardToRunningInstance(const std::vector<std::string>& list);

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  explicit InstanceServer(LineHandler handler, QObject* parent = nullptr);

  // Listens on the socket. A socket nobody answers on is left over from a run that ended
  // and is removed; a live instance's socket is never taken over: false then.
  bool Listen(const QString& name = InstanceSocketName());

  // A connection that sends nothing this long is dropped.
  static constexpr int kIdleMs = 10000;

 private:
  void Accept();
  void Read(QLocalSocket* socket);

  LineHandler handler_;
  QLocalServer* server_;
};

}  // namespace corvelle
