#pragma once
// The settings file's account sections: "[Account NAME]" for every account after the first,
// in file order, and the first account's name ("AccountName" of section "main"). Only these
// two functions touch them.

namespace corvelle {

class PrivateProfile;
struct Settings;

// Reads Settings::AccountName and Settings::Accounts. A section without a name, or with a
// name another section has already (ignoring case), is passed over.
void ReadAccountSections(const PrivateProfile& ini, Settings& settings);
// Writes them. A file without account sections that gets none, and without "AccountName"
// that gets no name, is not touched; otherwise every account section is written anew, in
// the order of Settings::Accounts, and sections of accounts no longer there are removed.
void WriteAccountSections(PrivateProfile& ini, const Settings& settings);
// Writes only the two password keys of each account's section (the passwords moved into
// the keyring at start-up): nothing else of the file changes.
void WriteAccountPasswords(PrivateProfile& ini, const Settings& settings);

}  // namespace corvelle
