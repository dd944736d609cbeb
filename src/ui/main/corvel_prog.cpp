#include "ui/main/corvel_prog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/accounts/account.h"
#include "core/store/folder_files.h"
#include "core/settings/settings.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/common/qt_text.h"
#include "ui/help/text_menu.h"
#include "ui/main/features.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/viewer/mail_viewer.h"
#include "ui/viewer/replace_dialog.h"
#include "ui/common/named.h"

namespace corvelle {

namespace {

constexpr int kFixedTextItems = 3;    // "&Add common text", "&Reload menu", separator

QLabel* LoweredPanel(QWidget* parent, const char* name) {
  auto* label = Named(new QLabel(parent), name);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setIndent(2);
  return label;
}

}  // namespace

TCorvelProg::TCorvelProg(Services& services, QWidget* parent) : QMainWindow(parent), services_(services) {
  setObjectName("CorvelProg");
  setWindowTitle("Corvelle");
  RegisterFeatureCommands(commands_, services_);
  BuildLayout();
  resize(577, 410);
  setAcceptDrops(true);
  qApp->installEventFilter(this);  // the application's hints
  connect(ClientArea, &QMdiArea::subWindowActivated, this, &TCorvelProg::ActiveWindowChanged);
  SaveDialog1.filters = NameFilters("Mail Files (*.mail;*.newmail)|*.mail;*.newmail|Text Files|*.txt");
  UpdateMenuItems();
}

TCorvelProg::~TCorvelProg() {
  qApp->removeEventFilter(this);
  // The children go with the frame; their going must not run frame code any more.
  disconnect(ClientArea, nullptr, this, nullptr);
  for (QMdiSubWindow* window : ClientArea->subWindowList()) window->disconnect(this);
}

void TCorvelProg::BuildLayout() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  BuildSpeedPanel(central);
  ClientArea = Named(new QMdiArea(central), "ClientArea");
  ClientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  ClientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Closing a window activates the one used before it, the window the user came from.
  ClientArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);

  layout->addWidget(SpeedPanel);
  layout->addWidget(ClientArea, 1);
  layout->addWidget(BuildStatusPanel(central));
  setCentralWidget(central);

  Text1 = menu_.text_menu;
  Window1 = menu_.window_menu;
  connect(Window1, &QMenu::aboutToShow, this, &TCorvelProg::FillWindowList);
  auto titles = [this] {
    std::vector<std::string> all;
    for (const Account& account : AllAccounts(services_.settings)) all.push_back(AccountTitle(account));
    return all;
  };
  KeepAccountMenu(menu_, titles, [this](const std::string& title) {
    RunCommand(Command::GetFromAccount, {.account = title});
  });
}

// The menu bar and the speed buttons, each running its command.
void TCorvelProg::BuildSpeedPanel(QWidget* central) {
  SpeedPanel = Named(new QFrame(central), "SpeedPanel");
  SpeedPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  SpeedPanel->setFixedHeight(25);
  auto* speed = new QHBoxLayout(SpeedPanel);
  speed->setContentsMargins(1, 1, 1, 1);
  speed->setSpacing(0);
  auto run = [this](Command command) { RunCommand(command); };
  menu_ = BuildMainMenu(menuBar(), run);  // first: its mnemonics win over the buttons'
  buttons_ = BuildSpeedButtons(SpeedPanel, menuBar(), run);
  speed->addStretch();
  // The bar never widens the window: thirteen captions fit 577 pixels with tight
  // padding, and a narrower window cuts the last buttons off.
  SpeedPanel->setStyleSheet(QString("QToolButton { padding: 1px 1px; font-size: %1pt; }").arg(SmallPointSize()));
  SpeedPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  SpeedPanel->setMinimumWidth(0);
}

// The status line (hints, progress) and the result panel.
QWidget* TCorvelProg::BuildStatusPanel(QWidget* central) {
  auto* bottom = Named(new QWidget(central), "StatusPanel");
  bottom->setFixedHeight(26);
  auto* status = new QHBoxLayout(bottom);
  status->setContentsMargins(0, 1, 0, 1);
  status->setSpacing(2);
  StatusLine = LoweredPanel(bottom, "StatusLine");
  StatusLine->setFixedWidth(291);
  QFont sans("Sans Serif");
  sans.setStyleHint(QFont::SansSerif);
  sans.setPointSizeF(SmallPointSize());
  StatusLine->setFont(sans);
  Panel3 = LoweredPanel(bottom, "Panel3");
  status->addWidget(StatusLine);
  status->addWidget(Panel3, 1);
  return bottom;
}

// The point size of the speed buttons and the status line: one below the window's.
qreal TCorvelProg::SmallPointSize() const {
  qreal size = font().pointSizeF();
  return size > 8 ? size - 1 : size;
}

void TCorvelProg::DoParms(const std::vector<std::string>& args) { ProcessParmStrings(*this, args, true); }

void TCorvelProg::DoCommonTextFill() {
  FillCommonTextMenu(*this, *Text1, kFixedTextItems);
  UpdateMenuItems();
}

void TCorvelProg::CloseFindDialogs() {
  if (FindDialog1) FindDialog1->close();
  if (ReplaceDialog1) ReplaceDialog1->close();
}

TMailViewer* TCorvelProg::NewViewer() {
  return new TMailViewer(services_, [this](const std::string& text) { ShowResult(TextToQt(text)); });
}

TMailViewer* TCorvelProg::CreateMailViewer(const std::string& name, const std::string& first_address,
                                           const std::string& reply_source, const std::string& subject) {
  if (ShowOpenWindow(name)) return ActiveViewer();
  TMailViewer* viewer = nullptr;
  try {
    viewer = NewViewer();
  } catch (...) {
    DeferredOpens.push_back(name);
    return nullptr;
  }
  QMdiSubWindow* window = ClientArea->addSubWindow(viewer);
  window->setAttribute(Qt::WA_DeleteOnClose);
  FreeProgramShortcuts(window);
  connect(window, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, &TCorvelProg::UpdateMenuItems); });
  if (MaximizeViewers)
    window->showMaximized();
  else
    window->showMinimized();
  if (!first_address.empty()) viewer->FromLine->SetEntries({first_address});
  viewer->SubjectLine->setText(TextToQt(subject));
  viewer->ReplySource = reply_source;
  viewer->setWindowTitle(PathToQt(name));
  viewer->Init(name);
  UpdateMenuItems();
  return window->isHidden() ? nullptr : viewer;
}

QMdiSubWindow* TCorvelProg::AddChildWindow(QWidget* widget) {
  QMdiSubWindow* window = ClientArea->addSubWindow(widget);
  window->setAttribute(Qt::WA_DeleteOnClose);
  FreeProgramShortcuts(window);
  connect(window, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, &TCorvelProg::UpdateMenuItems); });
  return window;
}

// The sub-window's own menu claims keys of the program's (Close: Ctrl+W, Next new
// message); two owners of one key make it do nothing. The program's keep them.
void TCorvelProg::FreeProgramShortcuts(QMdiSubWindow* window) const {
  for (QAction* action : window->findChildren<QAction*>()) {
    QList<QKeySequence> kept;
    for (const QKeySequence& key : action->shortcuts()) {
      bool taken = false;
      for (const RuledAction& item : menu_.items) taken = taken || item.action->shortcut() == key;
      if (!taken) kept << key;
    }
    if (kept.size() != action->shortcuts().size()) action->setShortcuts(kept);
  }
}

// Brings the window that shows the file `name` already to the front: true. A composition's
// caption names no file.
bool TCorvelProg::ShowOpenWindow(const std::string& name) {
  if (name.find('/') == std::string::npos) return false;
  for (TMailViewer* viewer : Viewers()) {
    if (!viewer->Shows(name)) continue;
    auto* window = qobject_cast<QMdiSubWindow*>(viewer->parentWidget());
    if (window->isMinimized()) window->showNormal();
    ClientArea->setActiveSubWindow(window);
    return true;
  }
  return false;
}

std::vector<TMailViewer*> TCorvelProg::Viewers() const {
  std::vector<TMailViewer*> viewers;
  for (QMdiSubWindow* window : ClientArea->subWindowList(QMdiArea::CreationOrder)) {
    auto* viewer = qobject_cast<TMailViewer*>(window->widget());
    if (viewer && !window->isHidden()) viewers.push_back(viewer);
  }
  return viewers;
}

int TCorvelProg::MessageWindowCount() const { return static_cast<int>(Viewers().size()); }

TMailViewer* TCorvelProg::ActiveViewer() const {
  QMdiSubWindow* window = ClientArea->currentSubWindow();
  if (!window || window->isHidden()) return nullptr;
  return qobject_cast<TMailViewer*>(window->widget());
}

void TCorvelProg::ActiveWindowChanged() {
  // Also sent when the frame itself loses the focus; only a change of window counts.
  QMdiSubWindow* current = ClientArea->currentSubWindow();
  if (current == last_active_) return;
  last_active_ = current;
  UpdateMenuItems();
}

void TCorvelProg::UpdateMenuItems() {
  int count = MessageWindowCount();
  EnableMenuItems();
  CloseFindDialogs();
  ReopenDeferred(count);
  LastChildCount = MessageWindowCount();
}

void TCorvelProg::EnableMenuItems() {
  TMailViewer* active = ActiveViewer();
  bool any = MessageWindowCount() > 0;
  bool composing = any && active && active->IsNewMessage();
  bool received = any && active && !active->IsNewMessage();
  TMailboxWindow* mailbox = ActiveMailbox(*this);
  bool chosen = mailbox && mailbox->HasSelection();
  auto allowed = [&](EnableRule rule) {
    switch (rule) {
      case EnableRule::Always: return true;
      case EnableRule::AnyWindow: return any;
      case EnableRule::Received: return received;
      case EnableRule::Composing: return composing;
      case EnableRule::AnyOrChosen: return any || chosen;
      case EnableRule::ReceivedOrChosen: return received || chosen;
    }
    return true;
  };
  for (const RuledAction& item : menu_.items)
    if (item.rule != EnableRule::Always) item.action->setEnabled(allowed(item.rule));
  for (const RuledButton& button : buttons_)
    if (button.rule != EnableRule::Always) button.button->setEnabled(allowed(button.rule));
  EnableCommonText(composing);
}

// Each window closed since the last update makes room for one deferred window, newest
// first. The windows opened here run UpdateMenuItems again; those runs must not reopen
// as well, or the room would be given out twice.
void TCorvelProg::ReopenDeferred(int count) {
  if (reopening_) return;
  reopening_ = true;
  for (int room = LastChildCount - count; room > 0 && !DeferredOpens.empty(); --room) {
    std::string name = DeferredOpens.back();
    DeferredOpens.pop_back();
    CreateMailViewer(name, "", "", "");
  }
  reopening_ = false;
}

void TCorvelProg::EnableCommonText(bool enable) {
  QList<QAction*> items = Text1->actions();
  for (int i = kFixedTextItems; i < items.size(); ++i) items[i]->setEnabled(enable);
}

void TCorvelProg::ShowHint(const QString& hint) { StatusLine->setText(LongHint(hint)); }

// True for a key press that is one of the program's menu shortcuts.
bool TCorvelProg::IsProgramShortcut(const QKeyEvent& key) const {
  const QKeySequence pressed(key.keyCombination());
  for (const RuledAction& item : menu_.items)
    if (!item.action->shortcut().isEmpty() && item.action->shortcut().matches(pressed) == QKeySequence::ExactMatch)
      return true;
  return false;
}

bool TCorvelProg::eventFilter(QObject* watched, QEvent* event) {
  // The menu shortcuts win in every field of the frame: an edit field would otherwise
  // take Ctrl+A, Ctrl+E or Ctrl+U for its own editing keys.
  if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this && IsProgramShortcut(*static_cast<QKeyEvent*>(event))) {
    event->ignore();
    return true;
  }
  if (event->type() == QEvent::StatusTip) ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
  if (event->type() == QEvent::Enter && watched->isWidgetType()) {
    // The hint under the mouse: a control without one shows its parent's, or none, so a
    // hint does not stay behind when the mouse moves on to a control without one.
    auto* widget = static_cast<QWidget*>(watched);
    while (widget && widget->statusTip().isEmpty() && !widget->isWindow()) widget = widget->parentWidget();
    ShowHint(widget ? widget->statusTip() : QString());
  }
  return QMainWindow::eventFilter(watched, event);
}

QAction* TCorvelProg::Action(Command command) const { return menu_.Find(command); }

// The result of the last command stays until the next one: not the mouse, not a window
// that opens or closes, wipes it.
void TCorvelProg::RunCommand(Command command, const CommandArgs& args) {
  Panel3->clear();
  // The message commands act on the mailbox window's selection while it is active.
  if (TMailboxWindow* mailbox = ActiveMailbox(*this); mailbox && mailbox->RunCommand(command)) return;
  commands_.Run(command, *this, args);
  emit commandEnded(command);
}

void TCorvelProg::ShowResult(const QString& text) {
  Panel3->setText(text);
  Panel3->repaint();
}

QString TCorvelProg::Result() const { return Panel3->text(); }

void TCorvelProg::FillWindowList() {
  for (QAction* action : window_list_) {
    Window1->removeAction(action);
    delete action;
  }
  window_list_.clear();
  QList<QMdiSubWindow*> windows = ClientArea->subWindowList(QMdiArea::CreationOrder);
  if (windows.isEmpty()) return;
  window_list_.push_back(Window1->addSeparator());
  int number = 0;
  for (QMdiSubWindow* window : windows) {
    if (window->isHidden()) continue;
    QString title = window->windowTitle();
    title.replace('&', "&&");
    QAction* action = Window1->addAction(QString("&%1 %2").arg(++number).arg(title));
    action->setCheckable(true);
    action->setChecked(window == ClientArea->currentSubWindow());
    QPointer<QMdiSubWindow> target = window;
    connect(action, &QAction::triggered, this, [this, target] {
      if (target) ClientArea->setActiveSubWindow(target);
    });
    window_list_.push_back(action);
  }
}

void TCorvelProg::FileDrag1Drop(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) CreateMailViewer(ShortFileName(path), "", "", "");
}

void TCorvelProg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TCorvelProg::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(PathFromQt(url.toLocalFile()));
  if (paths.empty()) return;
  event->acceptProposedAction();
  FileDrag1Drop(paths);
}

void TCorvelProg::closeEvent(QCloseEvent* event) {
  // Every message window is asked first; one that stays keeps the program running.
  ClientArea->closeAllSubWindows();
  if (MessageWindowCount() > 0) {
    event->ignore();
    return;
  }
  if (services_.settings.RememberPos) SaveRunWindowPosition(services_, {x(), y()});
  QMainWindow::closeEvent(event);
}

}  // namespace corvelle
