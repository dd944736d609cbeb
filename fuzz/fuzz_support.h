#pragma once
// What the fuzz targets share: a private scratch folder, and a transport that plays the
// fuzzer's bytes as everything a server says (what the client writes is dropped).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "net/sockets/transport.h"

namespace corvelle::fuzz {

// A folder of this process, made once, in memory when /dev/shm is there (the targets flush
// files often); ends in "/".
inline const std::string& Scratch() {
  static const std::string folder = [] {
    char shm[] = "/dev/shm/corvelle-fuzz.XXXXXX", tmp[] = "/tmp/corvelle-fuzz.XXXXXX";
    const char* made = ::mkdtemp(shm);
    if (!made) made = ::mkdtemp(tmp);
    return std::string(made ? made : "/tmp") + "/";
  }();
  return folder;
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The server's side of a connection, from the fuzzer's bytes: served in pieces of a size
// the first byte chooses, so lines also arrive cut at odd places; the end of the input is
// the end of the stream.
class InputTransport : public Transport {
 public:
  explicit InputTransport(std::string_view input)
      : piece_(input.empty() ? 1 : 1 + static_cast<unsigned char>(input[0]) % 64),
        input_(input.empty() ? input : input.substr(1)) {}
  int BeginConnect(const std::string&, const std::string&) override { return 0; }
  int ContinueConnect(int) override {
    open_ = true;
    return 0;
  }
  int Wait(bool, int) override { return 1; }
  long Receive(char* data, size_t size, int&) override {
    size_t n = std::min({size, piece_, input_.size()});
    input_.copy(data, n);
    input_.remove_prefix(n);
    return static_cast<long>(n);
  }
  long Send(const char*, size_t size, int& error) override {
    if (open_) return static_cast<long>(size);
    error = 10054;
    return -1;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::string LocalAddress() const override { return "127.0.0.1"; }

 private:
  size_t piece_;
  std::string_view input_;
  bool open_ = false;
};

}  // namespace corvelle::fuzz
