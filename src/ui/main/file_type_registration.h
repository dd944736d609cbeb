#pragma once
// Registration of the message file types, away from the interface thread: after writing
// the desktop files it refreshes the desktop's caches and waits for those programs, and
// the window must not wait with it.

#include <QThreadPool>

namespace corvelle {

class FileTypeRegistration {
 public:
  FileTypeRegistration();
  ~FileTypeRegistration();  // waits for the registrations asked for

  // Registers both types (every type again when `force`, else only missing ones). The
  // requests run one after another, in the order asked.
  void Request(bool force);

  // Waits up to `ms` milliseconds for every request. True when all are done.
  bool Wait(int ms);

 private:
  QThreadPool pool_;
};

}  // namespace corvelle
