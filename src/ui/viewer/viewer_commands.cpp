// Commands that open message windows or search in them: New, Reply, Find, Find Next and
// Replace. The find and replace dialogs belong to the main window, one of each; their
// buttons act on whichever message window is active when pressed.

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "ui/common/qt_text.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/main/services.h"
#include "ui/viewer/find_replace.h"
#include "ui/viewer/mail_viewer.h"
#include "ui/viewer/replace_dialog.h"

namespace corvelle {
namespace {

void ReplyItemClick(TCorvelProg& window, Services& services) {
  TMailViewer* active = window.ActiveViewer();
  if (!active) return;
  if (active->IsNewMessage()) {
    ShowMessage(services.ui, "You cannot reply to a new message.");
    return;
  }
  window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "", active->FileName,
                          TextFromQt(active->SubjectLine->text()));
}

// Searches the active window for what `dialog` asks.
void FindIn(TCorvelProg& window, TFindDialog* dialog) {
  if (TMailViewer* active = window.ActiveViewer())
    FindDialog1Find(window.RunServices().ui, *active->MailText, dialog->FindWhat(), dialog->Options(), dialog);
}

// Replace changes only the text of a composition; elsewhere its buttons just beep.
void ReplaceIn(TCorvelProg& window, TReplaceDialog* dialog, bool all) {
  TMailViewer* active = window.ActiveViewer();
  if (!active) return;
  if (active->MailText->isReadOnly()) {
    QApplication::beep();
    return;
  }
  ReplaceDialog1Replace(window.RunServices().ui, *active->MailText, dialog->FindWhat(), dialog->ReplaceWith(), dialog->Options(), all);
}

void Raise(QDialog* dialog) {
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

TFindDialog* FindDialog(TCorvelProg& window) {
  if (!window.FindDialog1) {
    auto* dialog = new TFindDialog(&window);
    window.FindDialog1 = dialog;
    QObject::connect(dialog, &TFindDialog::findNext, &window, [&window, dialog] { FindIn(window, dialog); });
  }
  return window.FindDialog1;
}

TReplaceDialog* ReplaceDialog(TCorvelProg& window) {
  if (!window.ReplaceDialog1) {
    auto* dialog = new TReplaceDialog(&window);
    window.ReplaceDialog1 = dialog;
    QObject::connect(dialog, &TReplaceDialog::findNext, &window, [&window, dialog] { FindIn(window, dialog); });
    QObject::connect(dialog, &TReplaceDialog::replace, &window,
                     [&window, dialog](const QString&, const QString&, SearchOptions, bool all) {
                       ReplaceIn(window, dialog, all);
                     });
  }
  return window.ReplaceDialog1;
}

// F3 searches again for the find dialog's text; without one yet, it opens the dialog.
void FindNextItemClick(TCorvelProg& window) {
  if (!window.FindDialog1 || window.FindDialog1->FindWhat().isEmpty())
    Raise(FindDialog(window));
  else
    FindIn(window, window.FindDialog1);
}

}  // namespace

void RegisterViewerCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::FileNew, [](TCorvelProg& window) {
    window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "", "", "");
  });
  registry.Register(Command::Reply, [&services](TCorvelProg& window) { ReplyItemClick(window, services); });
  registry.Register(Command::Find, [](TCorvelProg& window) { Raise(FindDialog(window)); });
  registry.Register(Command::FindNext, FindNextItemClick);
  registry.Register(Command::Replace, [](TCorvelProg& window) { Raise(ReplaceDialog(window)); });
}

}  // namespace corvelle
