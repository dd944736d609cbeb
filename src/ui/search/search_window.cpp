#include "ui/search/search_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"
#include "ui/common/message_time.h"
#include "ui/common/qt_text.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

constexpr int kPath = Qt::UserRole;  // a folder item's or a result's full path, as bytes
constexpr int kHitsPerBatch = 500;   // rows added per pass, so typing stays fluent
enum Column { kSubject, kFrom, kFolder, kDate };

std::string BytesOf(const QTreeWidgetItem* item) { return item->data(0, kPath).toByteArray().toStdString(); }

const char* FieldName(SearchField field) {
  switch (field) {
    case SearchField::kSubject: return "the subject";
    case SearchField::kSender: return "the sender";
    case SearchField::kRecipients: return "the recipients";
    case SearchField::kBody: return "the text";
  }
  return "";
}

QTreeWidgetItem* ResultItem(const SearchHit& hit) {
  // A file without a subject (no message, or an odd one) shows its name instead.
  QString subject = hit.subject.empty() ? PathToQt(NamePart(hit.path)) : TextToQt(hit.subject);
  auto* item = new QTreeWidgetItem({subject, TextToQt(hit.sender), PathToQt(hit.folder), DateFieldText(hit.date)});
  item->setData(0, kPath, QByteArray::fromStdString(hit.path));
  item->setToolTip(kSubject, QString("Found in %1").arg(FieldName(hit.field)));
  return item;
}

QString CountText(size_t found) {
  return found == 1 ? QString("1 message found") : QString("%1 messages found").arg(found);
}

}  // namespace

TSearchWindow::TSearchWindow(TCorvelProg& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  setObjectName("SearchWindow");
  setWindowTitle("Find messages");
  auto* label = new QLabel("&Find:", this);
  SearchField = new QLineEdit(this);
  SearchField->setObjectName("SearchField");
  SearchField->setAccessibleName("Text to find");
  label->setBuddy(SearchField);
  FindBtn = new QPushButton("Fin&d", this);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setEnabled(false);
  FolderTree = new QTreeWidget(this);
  FolderTree->setObjectName("FolderTree");
  FolderTree->setHeaderLabel("Folders");
  FolderTree->setAccessibleName("Folders to search");
  Results = new QTreeWidget(this);
  Results->setObjectName("Results");
  Results->setHeaderLabels({"Subject", "From", "Folder", "Date"});
  Results->setAccessibleName("Messages found");
  Results->setRootIsDecorated(false);
  Results->setUniformRowHeights(true);  // long lists stay quick to lay out
  Results->header()->resizeSection(kSubject, 280);
  Results->header()->resizeSection(kFrom, 180);
  StatusText = new QLabel(this);
  StatusText->setObjectName("StatusText");

  auto* top = new QHBoxLayout;
  top->addWidget(label);
  top->addWidget(SearchField, 1);
  top->addWidget(FindBtn);
  top->addWidget(CancelBtn);
  auto* split = new QSplitter(this);
  split->addWidget(FolderTree);
  split->addWidget(Results);
  split->setStretchFactor(1, 1);
  split->setSizes({180, 580});
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addWidget(StatusText);
  resize(760, 420);

  FillFolders();
  connect(SearchField, &QLineEdit::returnPressed, this, &TSearchWindow::Find);
  connect(FindBtn, &QPushButton::clicked, this, &TSearchWindow::Find);
  connect(CancelBtn, &QPushButton::clicked, this, &TSearchWindow::Cancel);
  connect(Results, &QTreeWidget::itemActivated, this, &TSearchWindow::OpenCurrent);
  connect(FolderTree, &QTreeWidget::itemChanged, this, &TSearchWindow::FolderChecked);
}

TSearchWindow::~TSearchWindow() { StopThread(); }

void TSearchWindow::FillFolders() {
  MailStore store = frame_.RunServices().Store();
  FolderNode root;
  store.FillMailFolderTree(root);
  auto* all = new QTreeWidgetItem(FolderTree, {"All folders"});
  all->setCheckState(0, Qt::Checked);
  AddFolderItems(all, root, store.Root());
  all->setExpanded(true);
}

void TSearchWindow::AddFolderItems(QTreeWidgetItem* parent, const FolderNode& node, const std::string& path) {
  for (const FolderNode& child : node.children) {
    std::string child_path = path + child.name + "/";
    auto* item = new QTreeWidgetItem(parent, {PathToQt(child.name)});
    item->setData(0, kPath, QByteArray::fromStdString(child_path));
    item->setCheckState(0, Qt::Unchecked);
    AddFolderItems(item, child, child_path);
  }
}

// "All folders" and single folders exclude each other: checking one clears the other kind.
void TSearchWindow::FolderChecked(QTreeWidgetItem* item) {
  if (checking_ || item->checkState(0) != Qt::Checked) return;
  checking_ = true;
  QTreeWidgetItem* all = FolderTree->topLevelItem(0);
  if (item == all) {
    for (QTreeWidgetItemIterator it(all, QTreeWidgetItemIterator::Checked); *it; ++it)
      if (*it != all) (*it)->setCheckState(0, Qt::Unchecked);
  } else {
    all->setCheckState(0, Qt::Unchecked);
  }
  checking_ = false;
}

std::vector<std::string> TSearchWindow::ChosenFolders() const {
  std::vector<std::string> folders;
  if (FolderTree->topLevelItem(0)->checkState(0) == Qt::Checked) return folders;
  for (QTreeWidgetItemIterator it(FolderTree, QTreeWidgetItemIterator::Checked); *it; ++it)
    folders.push_back(BytesOf(*it));
  return folders;
}

void TSearchWindow::StartWith(const std::string& text, const std::string& folder) {
  SearchField->setText(TextToQt(text));
  QTreeWidgetItem* chosen = FolderTree->topLevelItem(0);
  if (!folder.empty()) {
    std::string wanted = ResolvePath(folder);
    if (wanted.back() != '/') wanted += '/';
    chosen = nullptr;
    for (QTreeWidgetItemIterator it(FolderTree); *it && !chosen; ++it)
      if (BytesOf(*it) == wanted) chosen = *it;
    if (!chosen) {  // a folder outside the tree is searched all the same
      chosen = new QTreeWidgetItem(FolderTree, {PathToQt(wanted)});
      chosen->setData(0, kPath, QByteArray::fromStdString(wanted));
    }
  }
  chosen->setCheckState(0, Qt::Checked);
  if (chosen != FolderTree->topLevelItem(0)) {
    FolderTree->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    for (QTreeWidgetItemIterator it(FolderTree, QTreeWidgetItemIterator::Checked); *it; ++it)
      if (*it != chosen) (*it)->setCheckState(0, Qt::Unchecked);
    FolderTree->scrollToItem(chosen);
  }
  Find();
}

void TSearchWindow::Find() {
  StopThread();
  // Hits come in the order they are found; a heading sorts them once the search is over.
  Results->setSortingEnabled(false);
  Results->header()->setSortIndicator(-1, Qt::AscendingOrder);
  Results->clear();
  std::string text = TextFromQt(SearchField->text());
  std::vector<std::string> folders = ChosenFolders();
  if (text.empty()) {
    StatusText->setText("Please type the text to find.");
    return;
  }
  if (folders.empty() && FolderTree->topLevelItem(0)->checkState(0) != Qt::Checked) {
    StatusText->setText("Please choose the folders to search.");
    return;
  }
  cancel_ = false;
  searching_ = true;
  FindBtn->setEnabled(false);
  CancelBtn->setEnabled(true);
  StatusText->setText("Searching...");
  const unsigned run = ++run_;
  SearchRequest request{text, std::move(folders)};
  thread_ = std::thread([this, run, request, store = frame_.RunServices().Store()] {
    SearchSinks sinks{[this](const SearchHit& hit) { HitFound(hit); },
                      [this](const std::string& folder) { FolderStarted(folder); }};
    SearchSummary summary = SearchMessages(store, request, cancel_, sinks);
    QMetaObject::invokeMethod(this, [this, run, summary] { Finished(run, summary); }, Qt::QueuedConnection);
  });
}

void TSearchWindow::Cancel() {
  if (!searching_) return;
  cancel_ = true;
  TakeHits();
  searching_ = false;  // hits the thread hands out after this are dropped
  FindBtn->setEnabled(true);
  CancelBtn->setEnabled(false);
  ShowCount("Search cancelled: ");
}

void TSearchWindow::StopThread() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  waiting_.clear();
  folder_.clear();
}

void TSearchWindow::HitFound(const SearchHit& hit) {
  std::lock_guard lock(mutex_);
  waiting_.push_back(hit);
  PostTake();
}

void TSearchWindow::FolderStarted(const std::string& folder) {
  std::lock_guard lock(mutex_);
  folder_ = folder;
  PostTake();
}

// Called with mutex_ held.
void TSearchWindow::PostTake() {
  if (take_posted_) return;
  take_posted_ = true;
  QMetaObject::invokeMethod(this, [this] { TakeHits(); }, Qt::QueuedConnection);
}

void TSearchWindow::TakeHits() {
  std::vector<SearchHit> batch;
  std::string folder;
  {
    std::lock_guard lock(mutex_);
    take_posted_ = false;
    size_t count = std::min(waiting_.size(), static_cast<size_t>(kHitsPerBatch));
    batch.assign(std::make_move_iterator(waiting_.begin()), std::make_move_iterator(waiting_.begin() + count));
    waiting_.erase(waiting_.begin(), waiting_.begin() + count);
    if (!waiting_.empty()) PostTake();  // the rest in the next pass, after the events waiting
    folder.swap(folder_);
  }
  if (!searching_) return;
  QList<QTreeWidgetItem*> items;
  for (const SearchHit& hit : batch) items.append(ResultItem(hit));
  Results->addTopLevelItems(items);
  if (Results->topLevelItemCount() > 0 && !Results->currentItem()) Results->setCurrentItem(Results->topLevelItem(0));
  if (!folder.empty()) StatusText->setText("Searching " + PathToQt(folder) + "...");
}

void TSearchWindow::Finished(unsigned run, const SearchSummary& summary) {
  if (run != run_) return;
  if (thread_.joinable()) thread_.join();
  TakeHits();
  while (!waiting_.empty()) TakeHits();  // the thread has ended: nothing is added any more
  const bool was_searching = searching_;
  searching_ = false;
  Results->setSortingEnabled(true);
  FindBtn->setEnabled(true);
  CancelBtn->setEnabled(false);
  if (!was_searching) return;  // cancelled: the status says so already
  ShowCount("");
  if (summary.unreadable > 0) {
    QString first = summary.unreadable_paths.empty() ? QString() : PathToQt(summary.unreadable_paths.front());
    StatusText->setText(StatusText->text() + QString("; %1 file(s) could not be read, such as %2")
                                                 .arg(summary.unreadable)
                                                 .arg(first));
    QStringList paths;
    for (const std::string& path : summary.unreadable_paths) paths << PathToQt(path);
    StatusText->setToolTip(paths.join('\n'));
  }
}

void TSearchWindow::ShowCount(const QString& prefix) {
  StatusText->setToolTip(QString());
  StatusText->setText(prefix + CountText(static_cast<size_t>(Results->topLevelItemCount())));
}

void TSearchWindow::OpenCurrent() {
  QTreeWidgetItem* item = Results->currentItem();
  if (!item) return;
  TMailViewer* viewer = frame_.CreateMailViewer(BytesOf(item), "", "", "");
  // Opening a new message renames it (.newmail to .mail): the row follows the file.
  if (viewer && !viewer->FileName.empty()) item->setData(0, kPath, QByteArray::fromStdString(viewer->FileName));
}

}  // namespace corvelle
