#include "net/support/fake_transport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/tcp_socket.h"

namespace corvelle {

struct FakeServer::State {
  int Connect(const std::string& host, const std::string& port);
  void Advance();
  void ClientWrote(std::string_view bytes);
  void ClientLine(const std::string& line);
  long Read(char* data, size_t size, int& error);
  bool ReadWouldBlock() const { return to_client_at == to_client.size() && stalled && !closed; }

  std::vector<DialogueStep> steps;
  size_t next = 0;
  std::string to_client, written, partial_line;
  size_t to_client_at = 0;  // what the client has read of to_client
  std::vector<std::string> problems;
  bool closed = false, stalled = false;
  int connect_result = 0;
  size_t chunk = 1 << 16;
  int connections = 0;
  std::string host, port;
};

namespace {

class FakeTransport final : public Transport {
 public:
  explicit FakeTransport(std::shared_ptr<FakeServer::State> server) : server_(std::move(server)) {}
  ~FakeTransport() override { Close(); }

  int BeginConnect(const std::string& host, const std::string& port) override {
    Close();
    int code = server_->Connect(host, port);
    open_ = code == 0;
    return code;
  }
  int ContinueConnect(int) override { return open_ ? 0 : wsa::kNotSocket; }
  int Wait(bool write, int milliseconds) override {
    if (!open_) return -wsa::kNotSocket;
    if (write || !server_->ReadWouldBlock()) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(milliseconds, 0)));
    return 0;
  }
  long Receive(char* data, size_t size, int& error) override {
    if (!open_) {
      error = wsa::kNotSocket;
      return -1;
    }
    return server_->Read(data, size, error);
  }
  long Send(const char* data, size_t size, int& error) override {
    if (!open_) {
      error = wsa::kNotSocket;
      return -1;
    }
    server_->ClientWrote(std::string_view(data, size));
    return static_cast<long>(size);
  }
  void Close() override {
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  int Handle() const override { return open_ ? 1000 + server_->connections : -1; }
  bool Watchable() const override { return false; }
  std::string LocalAddress() const override { return open_ ? "127.0.0.1" : ""; }

 private:
  std::shared_ptr<FakeServer::State> server_;
  bool open_ = false;
};

}  // namespace

FakeServer::FakeServer() : state_(std::make_shared<State>()) {}
FakeServer::FakeServer(std::string_view script) : FakeServer() { AddScript(script); }
FakeServer::~FakeServer() = default;

void FakeServer::AddScript(std::string_view script) { AddSteps(ParseDialogue(script)); }

void FakeServer::AddSteps(const std::vector<DialogueStep>& steps) {
  state_->steps.insert(state_->steps.end(), steps.begin(), steps.end());
}

std::unique_ptr<Transport> FakeServer::NewTransport() { return std::make_unique<FakeTransport>(state_); }

void FakeServer::SetConnectResult(int code) { state_->connect_result = code; }
void FakeServer::SetChunkSize(size_t bytes) { state_->chunk = bytes ? bytes : 1; }
const std::string& FakeServer::Written() const { return state_->written; }
const std::vector<std::string>& FakeServer::Problems() const { return state_->problems; }
bool FakeServer::Finished() const { return state_->next == state_->steps.size(); }
int FakeServer::Connections() const { return state_->connections; }
const std::string& FakeServer::Host() const { return state_->host; }
const std::string& FakeServer::Port() const { return state_->port; }

int FakeServer::State::Connect(const std::string& host_name, const std::string& port_name) {
  host = host_name;
  port = port_name;
  if (connect_result != 0) return connect_result;
  ++connections;
  closed = stalled = false;
  to_client.clear();
  to_client_at = 0;
  partial_line.clear();
  Advance();
  return 0;
}

// Plays server steps up to the next command the client must send.
void FakeServer::State::Advance() {
  while (next < steps.size() && !closed && !stalled) {
    const DialogueStep& step = steps[next];
    switch (step.kind) {
      case DialogueStep::Kind::kServer:
        if (to_client_at == to_client.size()) {
          to_client.clear();
          to_client_at = 0;
        }
        to_client += step.bytes;
        break;
      case DialogueStep::Kind::kClose:
        closed = true;
        break;
      case DialogueStep::Kind::kStall:
        stalled = true;
        break;
      case DialogueStep::Kind::kClient:
        return;
    }
    ++next;
  }
}

void FakeServer::State::ClientWrote(std::string_view bytes) {
  written.append(bytes);
  for (char c : bytes) {
    partial_line += c;
    if (c != '\n') continue;
    std::string line;
    line.swap(partial_line);
    ClientLine(line);
  }
}

void FakeServer::State::ClientLine(const std::string& line) {
  if (closed || stalled) return;  // nobody is listening any more
  if (next < steps.size() && steps[next].kind == DialogueStep::Kind::kClient) {
    if (steps[next].bytes == line) {
      ++next;
      Advance();
      return;
    }
    problems.push_back("expected C: " + Escape(steps[next].bytes) + " but the client sent " + Escape(line));
  } else {
    problems.push_back("the client sent " + Escape(line) + " after the end of the script");
  }
  closed = true;  // drop the connection, as a strict server would
}

long FakeServer::State::Read(char* data, size_t size, int& error) {
  if (to_client_at < to_client.size()) {
    // An offset rather than erasing from the front: big scripts stay linear.
    size_t n = std::min({size, chunk, to_client.size() - to_client_at});
    std::memcpy(data, to_client.data() + to_client_at, n);
    to_client_at += n;
    return static_cast<long>(n);
  }
  if (closed) return 0;
  if (stalled) {
    error = wsa::kWouldBlock;
    return -1;
  }
  if (next < steps.size())
    problems.push_back("the client reads while the server waits for C: " + Escape(steps[next].bytes));
  else
    problems.push_back("the client reads after the end of the script");
  closed = true;
  return 0;
}

}  // namespace corvelle
