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

class UserInterface;

// The socket's full path: in $XDG_RUNTIME_DIR when that is private to the user, else in a
// folder of the user's under the cache folder (made with mode 0700); its name holds a key
// of the settings file, so each profile has its own instance. "" when no private folder
// could be had.
QString InstanceSocketName();

// Hands `list` to the running instance of this user and settings file. False when none
// answers, the list cannot be sent, the socket file is another user's, or the listener runs
// as another user (told through `ui`, and nothing written): this start then goes on by
// itself.
bool ForwardToRunningInstance(UserInterface& ui, const std::vector<std::string>& list,
                              const QString& name = InstanceSocketName());

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  // What goes wrong with the socket is told through `ui`.
  InstanceServer(UserInterface& ui, LineHandler handler, QObject* parent = nullptr);

  // Listens on the socket. A socket nobody answers on is left over from a run that ended
  // and is removed; a live instance's socket is never taken over: false then. A socket
  // file of another user's is never used nor removed, and is reported.
  bool Listen(const QString& name = InstanceSocketName());

  // A connection that sends nothing this long is dropped.
  static constexpr int kIdleMs = 10000;

 private:
  void Accept();
  void Read(QLocalSocket* socket);

  UserInterface& ui_;
  LineHandler handler_;
  QLocalServer* server_;
};

}  // namespace corvelle
