#include "core/store/big_file.h"

#include <cstring>

#include "platform/paths.h"

namespace corvelle {

bool TBigFile::LoadFromFile(const std::string& path) {
  position_ = 0;
  return ReadWholeFile(path, data_);
}

void TBigFile::LoadFromString(std::string data) {
  data_ = std::move(data);
  position_ = 0;
}

// A line ends at the first LF; a CR right before it belongs to the line end, any other CR
// stays in the line. This gives what reading in 255-byte pieces until one holds an LF and
// then stepping back gives, without reading anything twice.
bool TBigFile::GetNextString(std::string& s) {
  if (position_ >= data_.size()) {
    s.clear();
    return false;
  }
  const char* begin = data_.data() + position_;
  size_t left = data_.size() - position_;
  const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', left));
  if (!lf) {
    s.assign(begin, left);
    position_ = data_.size();
    return true;
  }
  const char* end = (lf > begin && lf[-1] == '\r') ? lf - 1 : lf;
  s.assign(begin, static_cast<size_t>(end - begin));
  position_ += static_cast<size_t>(lf - begin) + 1;
  return true;
}

size_t TBigFile::Position() const { return position_; }

void TBigFile::SetPosition(size_t position) { position_ = position < data_.size() ? position : data_.size(); }

size_t TBigFile::Size() const { return data_.size(); }

const std::string& TBigFile::Data() const { return data_; }

}  // namespace corvelle
