#pragma once
// The messages of one folder as table rows, for a folder of a hundred thousand files: the
// names and sizes are listed once (ListFolderStats), subject and sender come from the
// names, and a Date field is read only when its row is shown (DateCache). The model sorts
// and filters itself over indices, and applies a re-listing of its folder row by row, so a
// view keeps its selection and scroll position.

#include <QAbstractTableModel>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/browse/date_cache.h"
#include "core/browse/folder_listing.h"
#include "core/browse/message_entry.h"

namespace corvelle {

class TMailboxModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kStatus, kSubject, kParty, kDate, kSize, kColumnCount };

  explicit TMailboxModel(QObject* parent = nullptr);

  // Lists `folder` (ending in "/") afresh; `postponed`: it is the Postponed folder. False,
  // with the model empty, when it cannot be read; `error` then says why.
  bool Load(const std::string& folder, bool postponed, std::string& error);
  // Lists the folder again and applies what changed: rows removed, added in their sorted
  // place, renamed in place (a message opened: ".newmail" became ".mail"), updated. Only
  // new names and replaced files (another inode) are stated again.
  bool Refresh(std::string& error);

  // The order the next Load sorts in (sort() re-sorts at once).
  void SetSortOrder(int column, Qt::SortOrder order) {
    sort_column_ = column;
    sort_order_ = order;
  }

  // Shows only the rows whose subject or sender holds `text` (ignoring letter case).
  void SetFilter(const QString& text);

  const std::string& Folder() const { return folder_; }
  std::string PathAt(int row) const;
  MessageKind KindAt(int row) const;
  // The row showing the file `name`, or -1.
  int RowOfName(const std::string& name) const;
  int SortColumn() const { return sort_column_; }
  Qt::SortOrder SortOrder() const { return sort_order_; }
  int64_t HeadersRead() const { return dates_.HeadersRead(); }
  // The unread files (".newmail") of the folder, filter or not.
  int UnreadCount() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void sort(int column, Qt::SortOrder order) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

 private:
  struct Row {
    std::string name;
    std::string subject, party;            // from the name
    std::string subject_key, party_key;    // the same, folded for sorting and filtering
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtime = 0;
    MessageKind kind = MessageKind::kRead;
    bool gone = false;                     // removed from the folder; dropped at the next Load
    mutable bool date_read = false;
    mutable std::optional<int64_t> date;
  };

  // Sorted by date, a folder up to this size has every Date field read first, so that the
  // order is the messages' own; a larger one is ordered by the file time of the rows not
  // yet shown, so that listing it stays a matter of names and file times.
  static constexpr size_t kDatesReadForSort = 20000;

  Row MakeRow(ListedFile file) const;
  void ReadDate(const Row& row) const;
  bool DatesDecideOrder() const;
  bool Passes(const Row& row) const;
  bool Before(uint32_t a, uint32_t b) const;
  int64_t SortTime(const Row& row) const { return row.date.value_or(row.mtime); }
  const Row& RowAt(int row) const { return rows_[shown_[static_cast<size_t>(row)]]; }
  void Rebuild();
  void RemoveGoneRows();
  void InsertRow(uint32_t index);

  std::string folder_;
  bool sent_folder_ = false;
  bool postponed_folder_ = false;
  std::vector<Row> rows_;        // every file listed, in listing order
  std::vector<uint32_t> shown_;  // the rows shown, in sorted order
  std::string filter_key_;
  int sort_column_ = kDate;
  Qt::SortOrder sort_order_ = Qt::DescendingOrder;
  mutable DateCache dates_;
};

// The MIME type of the message paths a drag carries (besides their file URLs).
inline constexpr const char* kMessagePathsMime = "application/x-corvelle-message-paths";

}  // namespace corvelle
