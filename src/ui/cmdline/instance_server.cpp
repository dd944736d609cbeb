#include "ui/cmdline/instance_server.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include "core/cmdline/forwarded_line.h"
#include "platform/local_peer.h"

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

}  // namespace

QString InstanceSocketName() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + "/corvelle-" + QString::fromStdString(UserIdText()) + ".socket";
}

bool ForwardToRunningInstance(const std::vector<std::string>& list) {
  std::optional<std::string> line = EncodeForwardedLine(list);
  if (!line) return false;
  QLocalSocket socket;
  socket.connectToServer(InstanceSocketName());
  if (!socket.waitForConnected(kConnectMs)) return false;
  socket.write(line->data(), static_cast<qint64>(line->size()));
  socket.write("", 1);  // the end of the line
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(kConnectMs)) return false;
  socket.disconnectFromServer();
  return true;
}

InstanceServer::InstanceServer(LineHandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
}

bool InstanceServer::Listen(const QString& name) {
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
