#include "ui/mailbox/mailbox_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/browse/folder_listing.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/profile.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/services.h"
#include "ui/mailbox/folder_tree.h"
#include "ui/mailbox/mailbox_actions.h"
#include "ui/mailbox/mailbox_layout.h"
#include "ui/mailbox/mailbox_model.h"

namespace corvelle {
namespace {

// Long enough to gather a burst of changes (a filter pass files many messages) into one.
constexpr int kChangeWaitMs = 100;
constexpr int kDefaultColumnWidths[TMailboxModel::kColumnCount] = {60, 260, 160, 120, 60};

std::string WithSlash(const QString& path) {
  std::string text = PathFromQt(path);
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

}  // namespace

TMailboxWindow::TMailboxWindow(TCorvelProg& frame, Services& services, QWidget* parent)
    : QWidget(parent), frame_(frame), services_(services) {
  setObjectName("MailboxWindow");
  setWindowTitle("Mailbox");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(BuildTopBar());
  Splitter = Named(new QSplitter(Qt::Horizontal, this), "MailboxSplitter");
  Folders = new TFolderTree(Splitter);
  Splitter->addWidget(Folders);
  Splitter->addWidget(BuildListPane());
  Splitter->setStretchFactor(1, 1);
  layout->addWidget(Splitter, 1);
  setTabOrder(SearchLine, Folders);
  setTabOrder(Folders, FilterLine);
  setTabOrder(FilterLine, List);
  // Coming back to the window from the keyboard (a message window closed, the Window menu)
  // puts the keys in the list, once the closing window has let go of the focus. A click
  // that activates the window leaves the focus where it clicked.
  connect(frame.ClientArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    if (window != nullptr && window->widget() == this && QApplication::mouseButtons() == Qt::NoButton)
      QTimer::singleShot(0, List, [this] { List->setFocus(Qt::OtherFocusReason); });
  });

  changes_.setSingleShot(true);
  changes_.setInterval(kChangeWaitMs);
  connect(&changes_, &QTimer::timeout, this, &TMailboxWindow::ApplyChanges);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TMailboxWindow::FolderChanged);
  connect(Folders, &QTreeWidget::currentItemChanged, this, &TMailboxWindow::FolderChosen);
  connect(Folders, &TFolderTree::messagesDropped, this,
          [this](const std::vector<std::string>& paths, const std::string& folder) {
            MoveMessages(frame_, services_, paths, folder);
            ApplyChanges();
          });
  Folders->installEventFilter(this);
  FilterLine->installEventFilter(this);
  Folders->Fill(services_.Store());
  WatchFolders();
  RestoreLayout();
  UpdateCounts(Folders->FolderPaths());
}

QWidget* TMailboxWindow::BuildTopBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel("&Search:", bar);
  SearchLine = Named(new QLineEdit(bar), "MailboxSearch");
  SearchLine->setPlaceholderText("Find messages in this folder and below (Enter)");
  SearchLine->setAccessibleName("Search");
  label->setBuddy(SearchLine);
  connect(SearchLine, &QLineEdit::returnPressed, this, &TMailboxWindow::RunSearch);
  row->addWidget(label);
  row->addWidget(SearchLine, 1);
  return bar;
}

QWidget* TMailboxWindow::BuildListPane() {
  auto* pane = new QWidget(Splitter);
  auto* column = new QVBoxLayout(pane);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  FilterLine = Named(new QLineEdit(pane), "MailboxFilter");
  FilterLine->setPlaceholderText("Filter by subject or sender");
  FilterLine->setAccessibleName("Filter");
  FilterLine->setClearButtonEnabled(true);
  Model = new TMailboxModel(this);
  List = Named(new QTreeView(pane), "MessageList");
  List->setAccessibleName("Messages");
  List->setModel(Model);
  List->setRootIsDecorated(false);
  List->setItemsExpandable(false);
  List->setUniformRowHeights(true);  // rows laid out without asking each for its size
  List->setAllColumnsShowFocus(true);
  List->setSelectionMode(QAbstractItemView::ExtendedSelection);
  List->setSelectionBehavior(QAbstractItemView::SelectRows);
  List->setDragEnabled(true);
  List->setDragDropMode(QAbstractItemView::DragOnly);
  List->setDefaultDropAction(Qt::MoveAction);
  List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List->header()->setSectionsClickable(true);
  List->header()->setSortIndicatorShown(true);
  List->header()->setStretchLastSection(false);
  List->header()->setSectionResizeMode(QHeaderView::Interactive);
  List->installEventFilter(this);
  connect(List->header(), &QHeaderView::sortIndicatorChanged, this, &TMailboxWindow::SortChanged);
  connect(List, &QAbstractItemView::activated, this, &TMailboxWindow::OpenCurrent);
  connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, &frame_, &TCorvelProg::EnableMenuItems);
  connect(FilterLine, &QLineEdit::textChanged, Model, &TMailboxModel::SetFilter);
  column->addWidget(FilterLine);
  column->addWidget(List, 1);
  return pane;
}

void TMailboxWindow::RestoreLayout() {
  const MailboxLayout layout = ReadMailboxLayout(SettingsFilePath());
  for (int i = 0; i < TMailboxModel::kColumnCount; ++i)
    List->header()->resizeSection(i, i < layout.columns.size() && layout.columns[i] > 0 ? layout.columns[i]
                                                                                          : kDefaultColumnWidths[i]);
  Splitter->setSizes(layout.splitter.size() == 2 ? layout.splitter : QList<int>{180, 520});
  const MailStore store = services_.Store();
  const std::string wanted = layout.folder.empty() ? services_.settings.DefaultMailFolder : layout.folder;
  if (!ShowFolder(store.FolderPath(wanted)) && !ShowFolder(store.FolderPath(services_.settings.DefaultMailFolder))) {
    const std::vector<std::string> paths = Folders->FolderPaths();
    if (!paths.empty()) ShowFolder(paths.front());
  }
}

void TMailboxWindow::SaveLayout() {
  MailboxLayout layout;
  layout.splitter = Splitter->sizes();
  for (int i = 0; i < TMailboxModel::kColumnCount; ++i) layout.columns << List->header()->sectionSize(i);
  layout.folder = Relative(Model->Folder());
  if (!WriteMailboxLayout(SettingsFilePath(), layout))
    frame_.ShowResult("The mailbox layout could not be kept in " + PathToQt(SettingsFilePath()) + ".");
}

std::string TMailboxWindow::Relative(const std::string& path) const {
  const std::string root = services_.Store().Root();
  std::string relative = path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
  if (!relative.empty() && relative.back() == '/') relative.pop_back();
  return relative;
}

bool TMailboxWindow::ShowFolder(const std::string& path) {
  if (Folders->ChosenFolder() == path) return true;
  return Folders->ChooseFolder(path);  // FolderChosen follows
}

void TMailboxWindow::FolderChosen() {
  const std::string folder = Folders->ChosenFolder();
  if (folder.empty() || folder == Model->Folder()) return;
  const FolderSort sort = ReadFolderSort(SettingsFilePath(), Relative(folder));
  const int column = sort.column >= 0 && sort.column < TMailboxModel::kColumnCount ? sort.column : TMailboxModel::kDate;
  const Qt::SortOrder order = sort.column >= 0 ? (sort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder)
                                               : Qt::DescendingOrder;
  {
    const QSignalBlocker quiet(List->header());
    List->header()->setSortIndicator(column, order);
  }
  Model->SetSortOrder(column, order);
  std::string error;
  if (!Model->Load(folder, services_.Store().InPostponed(folder + "x"), error)) ShowError(folder, error);
  Folders->SetCount(folder, Model->UnreadCount());
  if (Model->rowCount() > 0) List->selectionModel()->setCurrentIndex(Model->index(0, 0), QItemSelectionModel::NoUpdate);
  List->scrollToTop();
  SaveLayout();
  frame_.EnableMenuItems();
}

void TMailboxWindow::SortChanged(int column, Qt::SortOrder order) {
  Model->sort(column, order);
  if (List->currentIndex().isValid()) List->scrollTo(List->currentIndex());
  if (!WriteFolderSort(SettingsFilePath(), Relative(Model->Folder()), {column, order == Qt::AscendingOrder}))
    frame_.ShowResult("The sort order could not be kept in " + PathToQt(SettingsFilePath()) + ".");
}

void TMailboxWindow::ShowError(const std::string& folder, const std::string& error) {
  ShowMessage(services_.ui, "Cannot read folder " + folder + ": " + error);
}

void TMailboxWindow::RunSearch() {
  const std::string text = TextFromQt(SearchLine->text().trimmed());
  if (text.empty()) return;
  frame_.RunCommand(Command::FindMessages, CommandArgs{.file = Model->Folder(), .subject = text});
}

std::vector<std::string> TMailboxWindow::SelectedPaths() const {
  std::vector<int> rows;
  for (const QModelIndex& index : List->selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  std::vector<std::string> paths;
  for (int row : rows) paths.push_back(Model->PathAt(row));
  return paths;
}

std::string TMailboxWindow::CurrentPath() const {
  const QModelIndex current = List->currentIndex();
  return current.isValid() ? Model->PathAt(current.row()) : std::string();
}

bool TMailboxWindow::HasSelection() const { return List->selectionModel()->hasSelection(); }

void TMailboxWindow::OpenCurrent() {
  const std::string path = CurrentPath();
  if (!path.empty()) frame_.CreateMailViewer(ShortFileName(path), "", "", "");
}

bool TMailboxWindow::RunCommand(Command command) {
  const std::vector<std::string> paths = SelectedPaths();
  // The current message when the selection holds it, else the first selected.
  std::string one = CurrentPath();
  if (std::find(paths.begin(), paths.end(), one) == paths.end()) one = paths.empty() ? "" : paths.front();
  switch (command) {
    case Command::Delete: DeleteMessages(frame_, services_, paths); break;
    case Command::Move: MoveMessages(frame_, services_, paths); break;
    case Command::Print: PrintMessages(frame_, services_, paths); break;
    case Command::Reply:
      if (!one.empty()) ReplyToMessage(frame_, services_, one, services_.Store().InPostponed(one));
      return true;
    case Command::FileSaveAs:
      if (!one.empty()) SaveMessageAs(frame_, services_, one);
      return true;
    default: return false;
  }
  ApplyChanges();
  SelectAfterRemoval();
  return true;
}

void TMailboxWindow::SelectAfterRemoval() {
  // The message that took the place of the first one gone, so that one can go on reading
  // or deleting down the list.
  if (HasSelection() || Model->rowCount() == 0) return;
  const QModelIndex current = List->currentIndex();
  const int row = std::min(current.isValid() ? current.row() : 0, Model->rowCount() - 1);
  List->selectionModel()->setCurrentIndex(Model->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TMailboxWindow::WatchFolders() {
  const QStringList watched = watcher_.directories();
  if (!watched.isEmpty()) watcher_.removePaths(watched);
  links_.clear();
  std::vector<std::string> folders = Folders->FolderPaths();
  folders.push_back(services_.Store().Root());
  QStringList paths;
  for (const std::string& path : folders) {
    if (path.empty()) continue;  // no mail directory set
    paths << PathToQt(path);
    links_[path] = FolderLinkCount(path);
  }
  watcher_.addPaths(paths);
}

// A folder's link count changes with its sub-folders; one that went, or a file system
// that keeps no such count (1), needs the whole tree read to tell.
bool TMailboxWindow::TreeMayHaveChanged(const std::set<std::string>& changed) const {
  for (const std::string& path : changed) {
    auto known = links_.find(path);
    const int64_t links = FolderLinkCount(path);
    if (known == links_.end() || links <= 1 || known->second != links) return true;
  }
  return false;
}

// The shown folder's count comes from its list, read already.
void TMailboxWindow::UpdateCounts(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (path == Model->Folder())
      Folders->SetCount(path, Model->UnreadCount());
    else
      Folders->UpdateCount(path);
}

void TMailboxWindow::FolderChanged(const QString& path) {
  changed_.insert(WithSlash(path));
  if (!changes_.isActive()) changes_.start();
}

void TMailboxWindow::ApplyChanges() {
  changes_.stop();
  std::set<std::string> changed;
  changed.swap(changed_);
  const MailStore store = services_.Store();
  // A folder made, renamed or removed anywhere: the tree again.
  if (TreeMayHaveChanged(changed) && TFolderTree::StoreFolderPaths(store) != Folders->FolderPaths()) {
    Folders->Fill(store);
    WatchFolders();
    UpdateCounts(Folders->FolderPaths());
    if (Folders->ChosenFolder() != Model->Folder()) {
      if (!Folders->ChosenFolder().empty()) return FolderChosen();
      const std::vector<std::string> paths = Folders->FolderPaths();
      if (!paths.empty()) ShowFolder(paths.front());
      return;
    }
  }
  std::string error;
  if (!Model->Folder().empty() && !Model->Refresh(error)) ShowError(Model->Folder(), error);
  changed.insert(Model->Folder());
  UpdateCounts({changed.begin(), changed.end()});
  frame_.EnableMenuItems();
}

// Delete in the list deletes; Enter in the tree and Down in the filter go on to the list.
bool TMailboxWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::KeypadModifier) return false;
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (watched == List && key->key() == Qt::Key_Delete) {
    frame_.RunCommand(Command::Delete);
    return true;
  }
  if ((watched == Folders && enter) || (watched == FilterLine && (key->key() == Qt::Key_Down || enter))) {
    List->setFocus();
    if (!List->currentIndex().isValid() && Model->rowCount() > 0)
      List->selectionModel()->setCurrentIndex(Model->index(0, 0), QItemSelectionModel::ClearAndSelect |
                                                                       QItemSelectionModel::Rows);
    return true;
  }
  return false;
}

void TMailboxWindow::closeEvent(QCloseEvent* event) {
  SaveLayout();
  QWidget::closeEvent(event);
}

TMailboxWindow* ActiveMailbox(const TCorvelProg& frame) {
  QMdiSubWindow* window = frame.ClientArea->currentSubWindow();
  if (!window || window->isHidden()) return nullptr;
  return qobject_cast<TMailboxWindow*>(window->widget());
}

TMailboxWindow* FindMailbox(const TCorvelProg& frame) {
  for (QMdiSubWindow* window : frame.ClientArea->subWindowList())
    if (auto* mailbox = qobject_cast<TMailboxWindow*>(window->widget())) return mailbox;
  return nullptr;
}

TMailboxWindow* ShowMailbox(TCorvelProg& frame, Services& services) {
  TMailboxWindow* mailbox = FindMailbox(frame);
  if (!mailbox) {
    mailbox = new TMailboxWindow(frame, services);
    frame.AddChildWindow(mailbox)->showMaximized();
  }
  auto* window = qobject_cast<QMdiSubWindow*>(mailbox->parentWidget());
  if (window->isMinimized()) window->showNormal();
  window->show();
  frame.ClientArea->setActiveSubWindow(window);
  if (frame.isMinimized()) frame.showNormal();
  frame.show();
  frame.raise();
  frame.activateWindow();
  mailbox->List->setFocus();
  return mailbox;
}

}  // namespace corvelle
