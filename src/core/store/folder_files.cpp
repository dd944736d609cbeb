#include "core/store/folder_files.h"

#include <algorithm>

#include "core/store/mail_store.h"
#include "core/store/name_spill.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// Case-insensitive order; names equal but for case in byte order, so the order is total.
bool NameBefore(const std::string& a, const std::string& b) {
  if (LessIgnoringCase(a, b)) return true;
  if (LessIgnoringCase(b, a)) return false;
  return a < b;
}

constexpr size_t kNamesBetweenEvents = 1024;

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

int AddFolderNodesBelow(FolderNode& parent, const std::string& path, std::vector<FileIdentity>& ancestors) {
  std::vector<std::string> names;
  for (const FolderEntry& entry : ReadFolder(path))
    if (entry.is_folder && !SameNameIgnoringCase(entry.name, "spool")) names.push_back(entry.name);
  std::sort(names.begin(), names.end(), NameBefore);
  int added = 0;
  for (const std::string& name : names) {
    std::string child_path = WithSlash(path) + name + "/";
    FileIdentity identity;
    if (!GetFileIdentity(child_path, identity) ||
        std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end())
      continue;
    parent.children.push_back({name, {}});
    ++added;
    ancestors.push_back(identity);
    AddFolderNodesBelow(parent.children.back(), child_path, ancestors);
    ancestors.pop_back();
  }
  return added;
}

}  // namespace

void ListFolderFiles(UserInterface& ui, const std::string& folder, std::vector<std::string>& list) {
  size_t read = 0;
  for (FolderEntry& entry : ReadFolder(folder)) {
    if (++read % kNamesBetweenEvents == 0) ui.ProcessEvents();
    if (entry.is_file) list.push_back(std::move(entry.name));
  }
  std::sort(list.begin(), list.end(), NameBefore);
  list.erase(std::unique(list.begin(), list.end()), list.end());
}

struct SortedFolderFiles::Source {
  std::string name;
  size_t run;  // index in runs_; runs_.size() for names_
};

// For a heap with the first name on top.
bool SortedFolderFiles::Later(const Source& a, const Source& b) { return NameBefore(b.name, a.name); }

SortedFolderFiles::SortedFolderFiles(UserInterface& ui, const std::string& folder, size_t in_memory) {
  size_t read = 0;
  ForEachFolderEntry(folder, [&](FolderEntry& entry) {
    if (++read % kNamesBetweenEvents == 0) ui.ProcessEvents();
    if (!entry.is_file) return;
    ++count_;
    names_.push_back(std::move(entry.name));
    if (names_.size() >= std::max<size_t>(in_memory, 1)) Spill();
  });
  std::sort(names_.begin(), names_.end(), NameBefore);
}

SortedFolderFiles::~SortedFolderFiles() = default;

void SortedFolderFiles::Spill() {
  std::sort(names_.begin(), names_.end(), NameBefore);
  runs_.push_back(std::make_unique<NameSpill>());
  for (const std::string& name : names_) runs_.back()->Add(name);
  names_.clear();
}

bool SortedFolderFiles::Refill(Source& source) {
  if (source.run < runs_.size()) return runs_[source.run]->Next(source.name);
  if (next_memory_ == names_.size()) return false;
  source.name = names_[next_memory_++];
  return true;
}

bool SortedFolderFiles::Next(std::string& name) {
  if (!started_) {
    started_ = true;
    for (size_t run = 0; run <= runs_.size(); ++run) {
      Source source{{}, run};
      if ((run == runs_.size() || runs_[run]->Rewind()) && Refill(source)) heap_.push_back(std::move(source));
    }
    std::make_heap(heap_.begin(), heap_.end(), Later);
  }
  if (heap_.empty()) {
    for (const auto& run : runs_) failed_ = failed_ || run->Failed();
    return false;
  }
  std::pop_heap(heap_.begin(), heap_.end(), Later);
  name.swap(heap_.back().name);
  if (Refill(heap_.back())) {
    std::push_heap(heap_.begin(), heap_.end(), Later);
  } else {
    heap_.pop_back();
  }
  return true;
}

int AddFolderNodes(FolderNode& parent, const std::string& path) {
  std::vector<FileIdentity> ancestors;
  FileIdentity identity;
  if (GetFileIdentity(ResolvePath(path), identity)) ancestors.push_back(identity);
  return AddFolderNodesBelow(parent, ResolvePath(path), ancestors);
}

int MailStore::FillFolderTree(FolderNode& root) const {
  root.name = root_;
  root.children.clear();
  return AddFolderNodes(root, root_);
}

int MailStore::FillMailFolderTree(FolderNode& root) const {
  FillFolderTree(root);
  std::erase_if(root.children, [](const FolderNode& node) { return SameNameIgnoringCase(node.name, "System"); });
  return static_cast<int>(root.children.size());
}

std::vector<std::string> FolderPaths(const FolderNode& node, const std::string& path) {
  std::vector<std::string> paths;
  for (const FolderNode& child : node.children) {
    paths.push_back(path + child.name + "/");
    std::vector<std::string> below = FolderPaths(child, paths.back());
    paths.insert(paths.end(), below.begin(), below.end());
  }
  return paths;
}

std::string ShortFileName(const std::string& path) { return PathExists(path) ? ResolvePath(path) : std::string(); }

std::string LongFileName(const std::string& path) {
  std::string resolved = ResolvePath(path);
  if (!EntryExists(resolved)) return {};
  return FolderPart(path) + NamePart(resolved);
}

std::string LongPathName(const std::string& path) {
  if (path.find('/') == std::string::npos) return {};
  std::string resolved = ResolvePath(path);
  return EntryExists(resolved) ? resolved : std::string();
}

bool ConfirmDeleteFile(UserInterface& ui, const std::string& file_name) {
  Answer answer = ui.Message("Are you sure you want to delete " + file_name + "?", "Delete mail warning",
                             Buttons::YesNo, MessageIcon::None);
  return answer == Answer::Yes && RemoveFile(ResolvePath(file_name));
}

}  // namespace corvelle
