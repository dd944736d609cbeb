#include "ui/main/file_type_registration.h"

#include "platform/file_types.h"

namespace corvelle {

FileTypeRegistration::FileTypeRegistration() { pool_.setMaxThreadCount(1); }

FileTypeRegistration::~FileTypeRegistration() { pool_.waitForDone(); }

void FileTypeRegistration::Request(bool force) {
  pool_.start([force] { AssociateFiles(force); });
}

bool FileTypeRegistration::Wait(int ms) { return pool_.waitForDone(ms); }

}  // namespace corvelle
