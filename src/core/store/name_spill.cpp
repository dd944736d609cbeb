#include "core/store/name_spill.h"

#include <cstdlib>

namespace corvelle {

NameSpill::~NameSpill() {
  if (file_) std::fclose(file_);
  std::free(line_);
}

void NameSpill::Add(std::string_view name) {
  if (!opened_) {
    opened_ = true;
    file_ = std::tmpfile();  // removed by the system once closed, whatever happens
  }
  if (!file_) {
    memory_.append(name).push_back('\0');
    return;
  }
  if (std::fwrite(name.data(), 1, name.size(), file_) != name.size() || std::fputc('\0', file_) == EOF)
    failed_ = true;
}

bool NameSpill::Rewind() {
  read_ = 0;
  if (file_ && (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0)) failed_ = true;
  return !failed_;
}

bool NameSpill::Next(std::string& name) {
  if (failed_) return false;
  if (!file_) {
    size_t end = memory_.find('\0', read_);
    if (end == std::string::npos) return false;
    name.assign(memory_, read_, end - read_);
    read_ = end + 1;
    return true;
  }
  ssize_t n = ::getdelim(&line_, &line_size_, '\0', file_);
  if (n <= 0) {
    failed_ = std::ferror(file_) != 0;
    return false;
  }
  name.assign(line_, static_cast<size_t>(n) - (line_[n - 1] == '\0'));
  return true;
}

}  // namespace corvelle
