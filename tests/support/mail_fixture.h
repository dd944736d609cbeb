#pragma once
// A test with its own settings file and mail directory: XDG_CONFIG_HOME and HOME point into
// a temporary folder, MailSettings is reset to a complete setup there, and the UI seam
// records instead of showing.

#include <gtest/gtest.h>

#include "core/settings/settings.h"
#include "core/store/mail_store.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "support/test_settings.h"

namespace corvelle::testing {

class MailFixture : public ::testing::Test {
 protected:
  MailFixture();
  ~MailFixture() override;

  // Makes the whole mail directory tree under MailSettings.MailDirectory.
  void MakeTree();
  // Fills the user settings the servers need: sending to mail.example:25, fetching from
  // pop.example:110 as "joe" with the password "secret".
  void SetUserSettings();
  // The settings file of this test.
  std::string IniPath() const;
  // The store MailSettings names now (its mail directory and naming choice).
  MailStore Store() const { return MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames); }

  TempDir home;
  ScopedEnv config_env{"XDG_CONFIG_HOME", home.path() + "config"};
  ScopedEnv home_env{"HOME", home.path()};
  RecordingUi ui;
  std::string mail_dir;  // MailSettings.MailDirectory, ends in "/"
};

}  // namespace corvelle::testing
