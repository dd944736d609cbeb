#include "ui/mailbox/mailbox_model.h"

#include <QFont>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <unordered_map>

#include "core/browse/folder_listing.h"
#include "ui/common/message_time.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

// The text for comparing without regard to letter case: ASCII folded by hand (most names),
// anything else through Qt's case folding.
std::string Folded(const std::string& text) {
  std::string folded = text;
  bool ascii = true;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  }
  return ascii ? folded : TextToQt(text).toCaseFolded().toStdString();
}

// The name without its extension: what stays when a message is opened or renumbered.
std::string_view StemOf(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

QString StatusText(MessageKind kind) {
  switch (kind) {
    case MessageKind::kUnread: return QStringLiteral("New");
    case MessageKind::kSpooled: return QStringLiteral("Spooled");
    case MessageKind::kPostponed: return QStringLiteral("Postponed");
    case MessageKind::kSent: return QStringLiteral("Sent");
    case MessageKind::kRead: break;
  }
  return {};
}

QString SizeText(int64_t size) { return QString("%1 KB").arg((size + 1023) / 1024); }

}  // namespace

TMailboxModel::TMailboxModel(QObject* parent) : QAbstractTableModel(parent) {}

TMailboxModel::Row TMailboxModel::MakeRow(ListedFile file) const {
  Row row;
  MessageEntry entry = ParseMessageName(file.name, sent_folder_, postponed_folder_);
  row.subject = std::move(entry.subject);
  row.party = std::move(entry.party);
  row.subject_key = Folded(row.subject);
  row.party_key = Folded(row.party);
  row.kind = entry.kind;
  row.name = std::move(file.name);
  row.inode = file.inode;
  row.size = file.size;
  row.mtime = file.mtime;
  if (std::optional<int64_t> known = dates_.Known(folder_ + row.name, row.size, row.mtime)) {
    row.date = known;
    row.date_read = true;
  }
  return row;
}

bool TMailboxModel::Load(const std::string& folder, bool postponed, std::string& error) {
  beginResetModel();
  folder_ = folder;
  sent_folder_ = IsSentFolderName(folder);
  postponed_folder_ = postponed;
  rows_.clear();
  shown_.clear();
  std::vector<ListedFile> files;
  const bool listed = ListFolderStats(folder, files, error);
  rows_.reserve(files.size());
  for (ListedFile& file : files) rows_.push_back(MakeRow(std::move(file)));
  Rebuild();
  endResetModel();
  return listed;
}

bool TMailboxModel::Passes(const Row& row) const {
  if (row.gone) return false;
  return filter_key_.empty() || row.subject_key.find(filter_key_) != std::string::npos ||
         row.party_key.find(filter_key_) != std::string::npos;
}

// Ties keep a fixed order (by name), so that a row's place never depends on how it came.
bool TMailboxModel::Before(uint32_t a, uint32_t b) const {
  const Row& x = rows_[a];
  const Row& y = rows_[b];
  int order = 0;
  switch (sort_column_) {
    case kStatus: order = static_cast<int>(x.kind) - static_cast<int>(y.kind); break;
    case kSubject: order = x.subject_key.compare(y.subject_key); break;
    case kParty: order = x.party_key.compare(y.party_key); break;
    case kDate: order = SortTime(x) < SortTime(y) ? -1 : SortTime(x) > SortTime(y) ? 1 : 0; break;
    case kSize: order = x.size < y.size ? -1 : x.size > y.size ? 1 : 0; break;
  }
  if (order == 0) order = x.name.compare(y.name);
  return sort_order_ == Qt::AscendingOrder ? order < 0 : order > 0;
}

void TMailboxModel::ReadDate(const Row& row) const {
  if (row.date_read) return;
  row.date = dates_.Date(folder_ + row.name, row.size, row.mtime);
  row.date_read = true;
}

bool TMailboxModel::DatesDecideOrder() const {
  return sort_column_ == kDate && rows_.size() <= kDatesReadForSort;
}

void TMailboxModel::Rebuild() {
  if (DatesDecideOrder())
    for (const Row& row : rows_) ReadDate(row);
  shown_.clear();
  for (uint32_t i = 0; i < rows_.size(); ++i)
    if (Passes(rows_[i])) shown_.push_back(i);
  std::sort(shown_.begin(), shown_.end(), [this](uint32_t a, uint32_t b) { return Before(a, b); });
}

void TMailboxModel::SetFilter(const QString& text) {
  std::string key = Folded(TextFromQt(text));
  if (key == filter_key_) return;
  beginResetModel();
  filter_key_ = std::move(key);
  Rebuild();
  endResetModel();
}

void TMailboxModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<uint32_t> held;
  for (const QModelIndex& index : before) held.push_back(shown_[static_cast<size_t>(index.row())]);
  sort_column_ = column;
  sort_order_ = order;
  if (DatesDecideOrder())
    for (const Row& row : rows_) ReadDate(row);
  std::sort(shown_.begin(), shown_.end(), [this](uint32_t a, uint32_t b) { return Before(a, b); });
  std::unordered_map<uint32_t, int> place;
  for (uint32_t h : held) place.emplace(h, -1);
  for (int r = 0; r < static_cast<int>(shown_.size()); ++r)
    if (auto found = place.find(shown_[static_cast<size_t>(r)]); found != place.end()) found->second = r;
  QModelIndexList after;
  for (int i = 0; i < before.size(); ++i) after << index(place[held[static_cast<size_t>(i)]], before[i].column());
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool TMailboxModel::Refresh(std::string& error) {
  std::vector<ListedFile> files;
  if (!ListFolderStats(folder_, files, error, false)) return false;
  std::unordered_map<std::string_view, ListedFile*> listed;
  listed.reserve(files.size());
  for (ListedFile& file : files) listed.emplace(file.name, &file);

  bool changed = false;
  std::vector<uint32_t> vanished;
  for (uint32_t i = 0; i < rows_.size(); ++i) {
    Row& row = rows_[i];
    if (row.gone) continue;
    auto found = listed.find(row.name);
    ListedFile* file = found == listed.end() ? nullptr : found->second;
    if (file && file->inode != row.inode && !StatListedFile(folder_, *file)) file = nullptr;
    if (!file) {
      vanished.push_back(i);
      continue;
    }
    if (file->size >= 0 && (file->size != row.size || file->mtime != row.mtime || file->inode != row.inode)) {
      row.inode = file->inode;
      row.size = file->size;
      row.mtime = file->mtime;
      row.date_read = false;
      changed = true;
    }
    listed.erase(found);
  }
  // The names new to the list, in a fixed order; a name that went meanwhile is left out.
  std::vector<ListedFile*> added;
  for (const auto& [name, file] : listed)
    if (file->size >= 0 || StatListedFile(folder_, *file)) added.push_back(file);
  std::sort(added.begin(), added.end(), [](const ListedFile* a, const ListedFile* b) { return a->name < b->name; });
  // A vanished name whose stem came back under another extension was renamed: the row
  // stays where it is, with its new name.
  if (!vanished.empty() && !added.empty()) {
    std::unordered_map<std::string_view, ListedFile*> by_stem;
    for (ListedFile* file : added) by_stem.emplace(StemOf(file->name), file);
    for (uint32_t& i : vanished) {
      auto found = by_stem.find(StemOf(rows_[i].name));
      if (found == by_stem.end()) continue;
      ListedFile* file = found->second;
      by_stem.erase(found);
      std::erase(added, file);
      rows_[i] = MakeRow(std::move(*file));
      i = UINT32_MAX;
      changed = true;
    }
  }
  for (uint32_t i : vanished)
    if (i != UINT32_MAX) rows_[i].gone = true;
  RemoveGoneRows();
  if (changed && !shown_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
  for (ListedFile* file : added) {
    rows_.push_back(MakeRow(std::move(*file)));
    InsertRow(static_cast<uint32_t>(rows_.size() - 1));
  }
  return true;
}

int TMailboxModel::UnreadCount() const {
  int count = 0;
  for (const Row& row : rows_)
    if (!row.gone && IsUnreadName(row.name)) ++count;
  return count;
}

void TMailboxModel::RemoveGoneRows() {
  for (int last = static_cast<int>(shown_.size()) - 1; last >= 0;) {
    if (!rows_[shown_[static_cast<size_t>(last)]].gone) {
      --last;
      continue;
    }
    int first = last;
    while (first > 0 && rows_[shown_[static_cast<size_t>(first - 1)]].gone) --first;
    beginRemoveRows({}, first, last);
    shown_.erase(shown_.begin() + first, shown_.begin() + last + 1);
    endRemoveRows();
    last = first - 1;
  }
}

void TMailboxModel::InsertRow(uint32_t index) {
  if (!Passes(rows_[index])) return;
  if (DatesDecideOrder()) ReadDate(rows_[index]);
  auto at = std::upper_bound(shown_.begin(), shown_.end(), index, [this](uint32_t a, uint32_t b) { return Before(a, b); });
  const int row = static_cast<int>(at - shown_.begin());
  beginInsertRows({}, row, row);
  shown_.insert(at, index);
  endInsertRows();
}

std::string TMailboxModel::PathAt(int row) const { return folder_ + RowAt(row).name; }

MessageKind TMailboxModel::KindAt(int row) const { return RowAt(row).kind; }

int TMailboxModel::RowOfName(const std::string& name) const {
  for (size_t r = 0; r < shown_.size(); ++r)
    if (rows_[shown_[r]].name == name) return static_cast<int>(r);
  return -1;
}

int TMailboxModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TMailboxModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TMailboxModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = RowAt(index.row());
  if (role == Qt::FontRole && row.kind == MessageKind::kUnread) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role == Qt::TextAlignmentRole && index.column() == kSize)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole && index.column() == kSubject) return PathToQt(row.name);
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  switch (index.column()) {
    case kStatus: return StatusText(row.kind);
    case kSubject: return TextToQt(row.subject);
    case kParty: return TextToQt(row.party);
    case kDate:
      // Read when first shown; the file's time stands in for a message without a date.
      ReadDate(row);
      return MessageTimeText(SortTime(row));
    case kSize: return SizeText(row.size);
  }
  return {};
}

QVariant TMailboxModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kStatus: return QStringLiteral("Status");
    case kSubject: return QStringLiteral("Subject");
    case kParty: return sent_folder_ || postponed_folder_ ? QStringLiteral("To") : QStringLiteral("From");
    case kDate: return QStringLiteral("Date");
    case kSize: return QStringLiteral("Size");
  }
  return {};
}

Qt::ItemFlags TMailboxModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

QStringList TMailboxModel::mimeTypes() const { return {kMessagePathsMime, QStringLiteral("text/uri-list")}; }

QMimeData* TMailboxModel::mimeData(const QModelIndexList& indexes) const {
  std::vector<int> rows;
  for (const QModelIndex& index : indexes)
    if (index.isValid()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  QList<QUrl> urls;
  QByteArray paths;
  for (int row : rows) {
    urls << QUrl::fromLocalFile(PathToQt(PathAt(row)));
    paths += QByteArray::fromStdString(PathAt(row));
    paths += '\0';
  }
  auto* mime = new QMimeData;
  mime->setUrls(urls);
  mime->setData(kMessagePathsMime, paths);
  return mime;
}

}  // namespace corvelle
