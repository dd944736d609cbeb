#pragma once
// Case-insensitive name lookups in folders that hold many files. Each folder's entry names
// (files and folders) are read once and then kept current: the kernel reports every name
// that enters or leaves a watched folder (inotify), whoever changes it. A folder that cannot
// be watched is read afresh whenever its modification time moved, and also while that time
// is within a clock tick or so of now: two changes in one tick leave the same time, so a
// recent time proves nothing. `folder` is taken as given (resolve it first); a trailing
// "/" is ignored. A folder that cannot be read holds no names. Callers still create and
// move without replacing: the index only saves directory scans, it never licenses an
// overwrite. A big folder's index outlives the run (SaveFolderNames) while the folder's
// change time stays the one saved.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvelle {

bool FolderHasNameIgnoringCase(const std::string& folder, std::string_view name);

// The first n >= `from` (below `limit`) for which `folder` holds no entry named name_of(n),
// ignoring case, found with one check of the folder; `limit` when every candidate is taken.
// `generation` receives FolderNamesGeneration(folder) as it was for that answer.
std::uint64_t FirstFreeIndexedName(const std::string& folder, std::uint64_t from, std::uint64_t limit,
                                   const std::function<std::string(std::uint64_t)>& name_of,
                                   std::uint64_t& generation);

// A number that changes whenever names may have left `folder` (read afresh, or a name that
// a look-up could have seen removed or moved away). A caller that remembers "every candidate
// below this one is taken" starts over when it changes.
std::uint64_t FolderNamesGeneration(const std::string& folder);

// Saves the index of each watched folder of many names, so that the next run need not read
// the folder (see folder_names.cpp). At the end of a run: it may wait a clock tick or two.
void SaveFolderNames();

// Test seam: false indexes folders without watching them, as where the kernel refuses a
// watch. Forgets every index.
void SetFolderWatchesForTest(bool enabled);

}  // namespace corvelle
