#pragma once
// The settings record the tests fill in and hand to what they drive (the program builds its
// own in main()). Fixtures reset it for each test.

#include "core/settings/settings.h"

namespace corvelle {

inline Settings MailSettings;

}  // namespace corvelle
