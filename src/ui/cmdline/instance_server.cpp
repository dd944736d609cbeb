#include "ui/cmdline/instance_server.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include "core/cmdline/forwarded_line.h"
#include "core/user_interface.h"
#include "platform/local_peer.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr int kConnectMs = 2000;
const char* const kLineProperty = "forwardedLine";

// The line ends with a zero byte, or when the sender closes the connection.
void Deliver(QLocalSocket* socket, const InstanceServer::LineHandler& handler) {
  QByteArray line = socket->property(kLineProperty).toByteArray();
  socket->setProperty(kLineProperty, QVariant());
  socket->disconnect();
  socket->abort();
  socket->deleteLater();
  if (line.endsWith('\0')) line.chop(1);
  handler(line.toStdString());
}

// The folder of the socket: the runtime folder when it is private to this user, else one
// of the user's own under the cache folder, made and checked. "" when neither will do.
QString InstanceSocketFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.startsWith('/') && IsPrivateFolder(runtime.toStdString(), false)) return runtime;
  QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
  if (!cache.startsWith('/')) cache = qEnvironmentVariable("HOME") + "/.cache";
  const QString folder = cache + "/corvelle";
  return IsPrivateFolder(folder.toStdString(), true) ? folder : QString();
}

}  // namespace

QString InstanceSocketName() {
  const QString folder = InstanceSocketFolder();
  if (folder.isEmpty()) return {};
  // One instance per settings file: a second profile has an instance of its own.
  const QByteArray key = QCryptographicHash::hash(QByteArray::fromStdString(SettingsFilePath()),
                                                  QCryptographicHash::Sha256).toHex().left(16);
  return folder + "/corvelle-" + QString::fromLatin1(key) + ".socket";
}

bool ForwardToRunningInstance(UserInterface& ui, const std::vector<std::string>& list, const QString& name) {
  std::optional<std::string> line = EncodeForwardedLine(list);
  // A socket file of another user's is never used; the start that listens reports it.
  if (!line || name.isEmpty() || OwnedByAnotherUser(name.toStdString())) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(kConnectMs)) return false;
  // Nothing goes to a listener that runs as someone else.
  if (!PeerIsSameUser(static_cast<int>(socket.socketDescriptor()))) {
    socket.abort();
    ShowMessage(ui, "The program listening on " + name.toStdString() +
                " runs as another user. The command line was not sent to it.");
    return false;
  }
  socket.write(line->data(), static_cast<qint64>(line->size()));
  socket.write("", 1);  // the end of the line
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(kConnectMs)) return false;
  socket.disconnectFromServer();
  return true;
}

InstanceServer::InstanceServer(UserInterface& ui, LineHandler handler, QObject* parent)
    : QObject(parent), ui_(ui), handler_(std::move(handler)), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
}

bool InstanceServer::Listen(const QString& name) {
  if (name.isEmpty()) {
    ShowMessage(ui_, "Corvelle found no private folder for its instance socket. Later starts cannot hand their "
                "command lines to this one.");
    return false;
  }
  if (OwnedByAnotherUser(name.toStdString())) {
    ShowMessage(ui_, "The instance socket " + name.toStdString() +
                " belongs to another user. Corvelle does not use it, so later starts cannot hand their "
                "command lines to this one.");
    return false;
  }
  // Listening with the user-only option puts the new socket in place with a rename, which
  // would replace a live one: look first.
  if (QFileInfo::exists(name)) {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kConnectMs)) return false;
    QLocalServer::removeServer(name);
  }
  return server_->listen(name);
}

void InstanceServer::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    socket->setParent(this);
    if (!PeerIsSameUser(static_cast<int>(socket->socketDescriptor()))) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
    idle->start(kIdleMs);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      Read(socket);
      // A connection that sent nothing (a probe) delivers nothing.
      if (!socket->property(kLineProperty).toByteArray().isEmpty()) Deliver(socket, handler_);
    });
    if (socket->bytesAvailable() > 0) Read(socket);
  }
}

// Gathers what has arrived; a line longer than the limit is refused and its sender dropped.
void InstanceServer::Read(QLocalSocket* socket) {
  QByteArray line = socket->property(kLineProperty).toByteArray() + socket->readAll();
  if (static_cast<size_t>(line.size()) > kMaxForwardedLine + 1) {
    socket->setProperty(kLineProperty, QVariant());
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
    return;
  }
  socket->setProperty(kLineProperty, line);
  if (auto* idle = socket->findChild<QTimer*>()) idle->start(kIdleMs);
  if (line.endsWith('\0')) Deliver(socket, handler_);
}

}  // namespace corvelle
