#pragma once
// The main window: an MDI frame whose children are message windows, with the menu bar,
// the speed-button bar and the two-part status line. It starts the program (settings,
// file types, set-up checks), opens every message window (CreateMailViewer) and keeps
// the menus enabled for the active one. The commands themselves live elsewhere; the
// frame dispatches to them.

#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <string>
#include <vector>

#include "ui/common/file_dialog_state.h"
#include "ui/main/menus.h"

class QFrame;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace corvelle {

class TMailViewer;
class TCorvelProg;

// New message windows open maximized while true, else minimized. True after start-up;
// cleared while forwarded command lines pile up.
extern bool MaximizeViewers;

// The main window of this run (nullptr before it is created and after it is destroyed).
extern TCorvelProg* CorvelProg;

class TCorvelProg : public QMainWindow {
  Q_OBJECT
 public:
  explicit TCorvelProg(QWidget* parent = nullptr);  // FormCreate: the start-up sequence
  ~TCorvelProg() override;                          // FormDestroy

  // Processes the program's own command line (not handled yet).
  void DoParms();

  // Opens one message window: caption `name`, first address, reply source and subject,
  // then its Init(name). When the window cannot be made, `name` waits in DeferredOpens
  // until another message window closes. Returns the window, or nullptr.
  virtual TMailViewer* CreateMailViewer(const std::string& name, const std::string& first_address,
                                        const std::string& reply_source, const std::string& subject);

  // Enables the items and buttons for the active message window, reopens deferred
  // windows for the ones closed since the last run, clears the result panel.
  void UpdateMenuItems();

  // Shows the long part of a hint in the status line.
  void ShowHint(const QString& hint);

  // Opens every dropped file, in drop order.
  void FileDrag1Drop(const std::vector<std::string>& paths);

  // Enables the common-text entries of the Text menu (the items after its third).
  void EnableCommonText(bool enable);

  // Rebuilds the common-text entries of the Text menu (not filled yet).
  void DoCommonTextFill();

  // Runs a menu or speed-button command.
  void RunCommand(Command command);

  // The message windows that are open (closing ones excluded), in creation order, and
  // the active one (nullptr when none).
  std::vector<TMailViewer*> Viewers() const;
  int MessageWindowCount() const;
  TMailViewer* ActiveViewer() const;

  // The menu item of a command.
  QAction* Action(Command command) const;

  int LastChildCount = 0;                 // message windows at the last UpdateMenuItems
  std::vector<std::string> DeferredOpens; // windows that could not be made, oldest first
  std::deque<std::string> PendingParms;   // forwarded command lines not yet processed
  int ParmNesting = 0;
  bool InStartup = false;  // while the window is being created
  std::string ParmFile, ParmUser, ParmSubject;

  QFrame* SpeedPanel;
  QMdiArea* ClientArea;
  QLabel* StatusLine;  // hints and progress texts
  QLabel* Panel3;      // the result of the last command
  QMenu* Text1;
  QMenu* Window1;
  FileDialogState OpenDialog;
  FileDialogState SaveDialog1;

 protected:
  // Makes a message window; may throw when it cannot.
  virtual TMailViewer* NewViewer();

  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;  // the application's hints

 private:
  void BuildLayout();
  void CheckSetup(const std::string& version);
  void CloseFindDialogs();
  void ActiveWindowChanged();
  void FillWindowList();
  void WindowMinimizeItemClick();
  void HelpAboutItemClick();
  void FileNewItemClick();

  MainMenu menu_;
  std::vector<RuledButton> buttons_;
  std::vector<QAction*> window_list_;
  QPointer<QMdiSubWindow> last_active_;
};

}  // namespace corvelle
