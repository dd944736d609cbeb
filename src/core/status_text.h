#pragma once
// The read-only status text of a transfer: numbered lines inserted and cleared by the mail
// components. Line k inserts before the present line k; at k == count it goes after the last
// line; with fewer than k lines nothing is inserted.

#include <string>
#include <vector>

namespace corvelle {

class StatusText {
 public:
  virtual ~StatusText() = default;

  void Insert(int line, const std::string& text);
  void Clear();
  const std::vector<std::string>& Lines() const { return lines_; }

 protected:
  // Called after every change, so a window can show the new lines.
  virtual void Changed() {}

 private:
  std::vector<std::string> lines_;
};

}  // namespace corvelle
