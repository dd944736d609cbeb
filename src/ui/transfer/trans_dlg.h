#pragma once
// TTransDlg: the transfer dialog of one command. It carries the command's run (the mail
// components and the filter engine) and shows it: the caption of the phase, the Total and
// Current bars, the status lines, and the two Cancel buttons, which act through the
// components' flags. Not modal: the components keep the interface alive between lines.
//
// It is the interface its run is handed: boxes go to the run's own interface, and it lets
// pending events through at most every few milliseconds, so a run of short steps (one per
// protocol line, one per filter rule) is not spent repainting.

#include <QDialog>
#include <QElapsedTimer>

#include "core/status_text.h"
#include "core/user_interface.h"
#include "net/transfer/transfer_run.h"
#include "net/transfer_context.h"
#include "ui/main/services.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace corvelle {

class TTransDlg : public QDialog, public TransferView, public UserInterface {
  Q_OBJECT
 public:
  TTransDlg(QWidget* parent, const Services& services, ResultLine result_line);
  ~TTransDlg() override;

  TransferRun& Run() { return run_; }

  void CancelCurButClick() { run_.CancelCurrent(); }
  void CancelAllButClick() { run_.CancelAllRuns(); }

  // TransferView
  void ShowPhase(const std::string& caption) override;
  void HidePhase() override;
  void EnableCancel(bool enable) override;

  // UserInterface
  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override;
  void TotalProgress(int percent) override;
  void CurrentProgress(int percent) override;
  void ProcessEvents() override;

  QProgressBar* TotalGauge;
  QProgressBar* CurGauge;
  QPushButton* CancelAllBut;
  QPushButton* CancelCurBut;
  QPlainTextEdit* StatusTxt;

 protected:
  // Escape and the close box would hide the dialog, and its Cancel buttons with it, while
  // the transfer goes on: they work as Cancel all (nothing while filtering, which cannot be
  // cancelled), and the dialog stays until its command ends.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The status lines; the memo is brought up to date when events are let through.
  class ShownLines : public StatusText {
   protected:
    void Changed() override { dirty = true; }

   public:
    bool dirty = false;
  };
  void ShowLines();

  ShownLines lines_;
  UserInterface& shown_to_;  // the run's own interface: boxes go there
  TransferContext context_;  // what the run is handed
  QElapsedTimer since_events_;
  int total_percent_ = 0, current_percent_ = 0;  // shown with the next pass of events
  TransferRun run_;  // after lines_: its components write into them
};

}  // namespace corvelle
