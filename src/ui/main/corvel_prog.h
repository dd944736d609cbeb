#pragma once
// The main window: an MDI frame whose children are message windows, with the menu bar,
// the speed-button bar and the two-part status line. It starts the program (settings,
// file types, set-up checks) when asked to, opens every message window (CreateMailViewer)
// and keeps the menus enabled for the active one. The commands themselves live with their
// features, which register them (features.h); the frame dispatches to them.

#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <string>
#include <vector>

#include "ui/common/file_dialog_state.h"
#include "ui/main/commands.h"
#include "ui/main/file_type_registration.h"
#include "ui/main/menus.h"
#include "ui/main/services.h"

class QFrame;
class QKeyEvent;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace corvelle {

class TMailViewer;
class TCorvelProg;
class TFindDialog;
class TReplaceDialog;

class TCorvelProg : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the frame with its menus and bars on the run's `services` (kept by reference);
  // the start-up is a step of its own.
  explicit TCorvelProg(Services& services, QWidget* parent = nullptr);
  ~TCorvelProg() override;

  // The start-up (FormCreate): loads the settings (restoring the window position when
  // asked to), registers the file types in the background and runs the set-up checks,
  // opening the setup dialog where they fail. False when the program is to end: an
  // incomplete setup was cancelled, and EndProgram has been called.
  bool StartUp();

  // Processes the program's own command line (its arguments after the program name).
  void DoParms(const std::vector<std::string>& args);

  // Opens one message window: caption `name`, first address, reply source and subject,
  // then its Init(name). A file that a window shows already brings that window to the
  // front instead. When the window cannot be made, `name` waits in DeferredOpens until
  // another message window closes. Returns the window, or nullptr (also when the new
  // window closed again at once: a missing or unreadable file).
  virtual TMailViewer* CreateMailViewer(const std::string& name, const std::string& first_address,
                                        const std::string& reply_source, const std::string& subject);

  // Enables the items and buttons for the active message window and reopens deferred
  // windows for the ones closed since the last run.
  void UpdateMenuItems();
  // Only the enabling part: also when the mailbox window's selection changes.
  void EnableMenuItems();

  // Adds a window that is no message window (the mailbox window) as an MDI child, deleted
  // when closed, its menu leaving the program's shortcuts alone.
  QMdiSubWindow* AddChildWindow(QWidget* widget);

  // Shows the long part of a hint in the status line.
  void ShowHint(const QString& hint);

  // Opens every dropped file, in drop order.
  void FileDrag1Drop(const std::vector<std::string>& paths);

  // Enables the common-text entries of the Text menu (the items after its third).
  void EnableCommonText(bool enable);

  // Rebuilds the common-text entries of the Text menu.
  void DoCommonTextFill();

  // Runs a menu or speed-button command (or a command-line option's, with its `args`)
  // through its registered handler, after clearing the result panel (a result stays until
  // the next command); a command without a handler does nothing.
  void RunCommand(Command command, const CommandArgs& args = {});

  // Shows the result of a command in the result panel, at once; Result() reads it back.
  void ShowResult(const QString& text);
  QString Result() const;

  Services& RunServices() const { return services_; }

  // The message windows that are open (closing ones excluded), in creation order, and
  // the active one (nullptr when none).
  std::vector<TMailViewer*> Viewers() const;
  int MessageWindowCount() const;
  TMailViewer* ActiveViewer() const;

  // The menu item of a command.
  QAction* Action(Command command) const;

 signals:
  // A command run through RunCommand has ended (the tray counts the new mail again).
  void commandEnded(Command command);

 public:

  int LastChildCount = 0;                 // message windows at the last UpdateMenuItems
  std::vector<std::string> DeferredOpens; // windows that could not be made, oldest first
  std::deque<std::string> PendingParms;   // forwarded command lines not yet processed
  int ParmNesting = 0;
  bool InStartup = false;  // while the window is being created
  // New message windows open maximized while true, else minimized. True after start-up;
  // cleared while forwarded command lines pile up.
  bool MaximizeViewers = true;

  QFrame* SpeedPanel;
  QMdiArea* ClientArea;
  QLabel* StatusLine;  // hints and progress texts
  QLabel* Panel3;      // the result of the last command, kept until the next one
  QMenu* Text1;
  QMenu* Window1;
  QPointer<TFindDialog> FindDialog1;        // made by the first Find, then kept
  QPointer<TReplaceDialog> ReplaceDialog1;  // made by the first Replace, then kept
  FileDialogState OpenDialog;
  FileDialogState SaveDialog1;
  FileTypeRegistration FileTypes;

 protected:
  // Makes a message window; may throw when it cannot.
  virtual TMailViewer* NewViewer();

  void closeEvent(QCloseEvent* event) override;  // asks the message windows; FormDestroy
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;  // the application's hints

 private:
  void BuildLayout();
  void BuildSpeedPanel(QWidget* central);
  QWidget* BuildStatusPanel(QWidget* central);
  qreal SmallPointSize() const;
  bool CheckSetup(const std::string& version);
  void CloseFindDialogs();
  bool ShowOpenWindow(const std::string& name);
  void ReopenDeferred(int count);
  void ActiveWindowChanged();
  void FillWindowList();
  bool IsProgramShortcut(const QKeyEvent& key) const;
  void FreeProgramShortcuts(QMdiSubWindow* window) const;

  Services& services_;
  CommandRegistry commands_;
  MainMenu menu_;
  std::vector<RuledButton> buttons_;
  std::vector<QAction*> window_list_;
  QPointer<QMdiSubWindow> last_active_;
  bool reopening_ = false;  // deferred windows are being reopened
};

}  // namespace corvelle
