#include "ui/main/menus.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>

#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

using enum Command;
using enum EnableRule;

// depth 0: a menu of the bar; 1: an item (a sub-menu when the rows after it are deeper);
// 2: an item of a sub-menu. A caption of "-" is a separator.
struct MenuRow {
  int depth;
  const char* name;
  const char* caption;
  const char* shortcut;
  const char* hint;
  Command command;
  EnableRule rule;
};

constexpr MenuRow kMenuRows[] = {
    {0, "File1", "&File", "", "File related commands", None, Always},
    {1, "FileNewItem", "&New", "Ctrl+N", "Create a new file", FileNew, Always},
    {1, "FileOpenItem", "&Open", "Ctrl+O", "Open an existing file", FileOpen, Always},
    {1, "FileCloseItem", "&Close", "Ctrl+E", "Close current file", FileClose, AnyWindow},
    {1, "FileSaveAsItem", "S&ave As...", "Ctrl+A", "Save current file as...", FileSaveAs, AnyOrChosen},
    {1, "", "-", "", "", None, Always},
    {1, "Import1", "&Import", "", "", None, Always},
    {2, "Importpinefolder1", "&Pine folder", "", "", ImportPine, Always},
    {2, "ImportNetscapefolder1", "&Netscape folder", "", "", ImportNetscape, Always},
    {1, "Export1", "&Export", "", "", None, Always},
    {2, "ExportPinefolder1", "&Pine folder", "", "", ExportPine, Always},
    {2, "ExportNetscapefolder1", "&Netscape Folder", "", "", ExportNetscape, Always},
    {1, "Move1", "&Move", "Ctrl+M", "", Move, ReceivedOrChosen},
    {1, "Delete1", "&Delete", "Ctrl+D", "", Delete, ReceivedOrChosen},
    {1, "Print1", "&Print", "Ctrl+P", "", Print, AnyOrChosen},
    {1, "", "-", "", "", None, Always},
    {1, "Postpone1", "Pos&tpone Current", "Ctrl+T", "", Postpone, Composing},
    {1, "SpoolCurrent1", "Spoo&l Current", "Ctrl+L", "", Spool, Composing},
    {1, "SendCurrent1", "&Send Current", "Ctrl+S", "", Send, Composing},
    {1, "AttachFile1", "Attac&h file...", "", "Attach a file to the message", AttachFile, Composing},
    {1, "Nextnewmessage1", "Next ne&w message", "Ctrl+W", "", NextNewMessage, Always},
    {1, "", "-", "", "", None, Always},
    {1, "Autoadd1", "A&uto add", "", "", None, Always},
    {2, "AllSendersinfolder1", "All senders in folder", "", "", AutoAddAllSenders, Always},
    {2, "", "-", "", "", None, Always},
    {2, "CcAddress1", "Cc Address", "", "", AutoAddCc, Always},
    {2, "FromToaddress1", "From/To address", "", "", AutoAddFromTo, Always},
    {1, "Reply1", "&Reply", "Ctrl+R", "", Reply, ReceivedOrChosen},
    {1, "SendFile1", "Send &File / Forward", "", "", SendFile, Always},
    {1, "", "-", "", "", None, Always},
    {1, "GetNewMail1", "&Get / Send All", "Ctrl+G", "Retrieve new mail from the net", GetSendAll, Always},
    // A sub-menu of the accounts, filled when the File menu opens (KeepAccountMenu).
    {1, "GetMailFrom1", "Get mail from", "", "Retrieve new mail from one account", GetFromAccount, Always},
    {1, "RunFilter1", "R&un Filter", "", "", RunFilter, Always},
    {1, "RefreshNames1", "R&efresh Names", "", "", RefreshNames, Always},
    {1, "", "-", "", "", None, Always},
    {1, "FileExitItem", "E&xit", "", "Exit the application", Exit, Always},

    {0, "Edit1", "&Edit", "", "", None, Always},
    {1, "EditUndoItem", "&Undo", "Ctrl+U", "Undo last operation in active edit box", Undo, Composing},
    {1, "", "-", "", "", None, Always},
    {1, "EditCutItem", "Cu&t", "", "Cut to clipboard", Cut, Composing},
    {1, "EditCopyItem", "&Copy", "", "Copy to clipboard", Copy, AnyWindow},
    {1, "EditPasteItem", "&Paste", "", "Paste from clipboard", Paste, Composing},

    {0, "Search1", "&Search", "", "", None, Always},
    {1, "Find1", "&Find ...", "Ctrl+F", "", Find, AnyWindow},
    {1, "FindNext1", "Find &Next", "F3", "", FindNext, AnyWindow},
    {1, "Replace1", "&Replace ...", "", "", Replace, AnyWindow},
    {1, "", "-", "", "", None, Always},
    {1, "Findmessages1", "Find &messages...", "Ctrl+Shift+F", "Find messages in the mail folders", FindMessages,
     Always},

    {0, "View1", "&View", "", "", None, Always},
    {1, "Mailbox1", "Mail&box", "", "Show the mailbox window", ViewMailbox, Always},
    {1, "", "-", "", "", None, Always},
    {1, "Mail1", "&Mail", "", "", ViewMail, Always},
    {1, "Postponedmessages1", "P&ostponed messages", "", "", ViewPostponed, Always},
    {1, "Sentmail1", "S&ent mail", "", "", ViewSent, Always},
    {1, "Spooledmessages1", "S&pooled messages", "", "", ViewSpooled, Always},
    {1, "", "-", "", "", None, Always},
    {1, "Addressbook1", "&Address book", "", "", ViewAddressBook, Always},
    {1, "Commontext1", "&Common text", "", "Edit the contents of the common text menu", ViewCommonText, Always},
    {1, "Signatures1", "&Signatures", "", "", ViewSignatures, Always},
    {1, "", "-", "", "", None, Always},
    {1, "Filters1", "&Filters..", "", "", ViewFilters, Always},
    {1, "Directories1", "&Directories..", "", "", ViewDirectories, Always},
    {1, "UserSettings1", "&User settings..", "", "", ViewUserSettings, Always},
    {1, "Accounts1", "Accoun&ts..", "", "Add, edit and order the accounts after the first", ViewAccounts, Always},
    {1, "Preferences1", "&Preferences..", "", "", ViewPreferences, Always},

    {0, "Text1", "&Text", "", "", None, Always},
    {1, "Addcommontext1", "&Add common text", "", "Add commonly-entered text to the common Text menu", AddCommonText,
     Always},
    {1, "Reloadmenu1", "&Reload menu", "", "", ReloadMenu, Always},
    {1, "", "-", "", "", None, Always},

    {0, "Window1", "&Window", "", "Window related commands such as Tile and Cascade", None, Always},
    {1, "WindowCascadeItem", "&Cascade", "", "Arrange windows to overlap", Cascade, AnyWindow},
    {1, "WindowTileItem", "&Tile", "", "Arrange windows without overlap", Tile, AnyWindow},
    {1, "WindowMinimizeItem", "&Minimize All", "", "Minimize all windows", MinimizeAll, AnyWindow},

    {0, "Help1", "&Help", "", "Help topics", None, Always},
    {1, "SendaComment1", "Send a Comment...", "", "", SendComment, Always},
    {1, "ReportaProblem1", "Report a Problem...", "", "", ReportProblem, Always},
    {1, "", "-", "", "", None, Always},
    {1, "HelpAboutItem", "&About", "", "", About, Always},
};

struct SpeedButtonRow {
  const char* name;
  const char* caption;
  const char* hint;
  Command command;
  EnableRule rule;
};

constexpr SpeedButtonRow kSpeedButtons[] = {
    {"NewBtn", "&New", "New message|Start a new mail message", FileNew, Always},
    {"OpenBtn", "&Open", "Open message|Open an existing mail message", FileOpen, Always},
    {"SaveBtn", "S&ave", "Save message|Save this mail message to a file", FileSaveAs, AnyOrChosen},
    {"CopyBtn", "Copy", "Copy text|Copy the selected text", Copy, AnyWindow},
    {"CutBtn", "Cut", "Cut text|Cut the selected text", Cut, Composing},
    {"PasteBtn", "Paste", "Paste text|Paste clipboard text at cursor position", Paste, Composing},
    {"SpoolBtn", "Spoo&l", "Spool message|Spool this mail message to be sent later", Spool, Composing},
    {"SendBtn", "&Send", "Send message|Send this mail message", Send, Composing},
    {"PostponeBtn", "Pos&tpone", "Postpone message|Save this mail message to the Postponed folder", Postpone,
     Composing},
    {"ReplyBtn", "&Reply", "Reply to message|Create a reply to this mail message", Reply, ReceivedOrChosen},
    {"CloseBtn", "Clos&e", "Close message|Close this mail message", FileClose, AnyWindow},
    {"DeleteBtn", "&Delete", "Delete message|Delete this mail message", Delete, ReceivedOrChosen},
    {"MoveBtn", "&Move", "Move message|Move this mail message", Move, ReceivedOrChosen},
};

// A speed button that cuts its caption short ("...") when the bar is too narrow for all of
// them, so that narrow windows never show the buttons on top of each other.
class ElidingToolButton : public QToolButton {
 public:
  explicit ElidingToolButton(QWidget* parent) : QToolButton(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  }
  QSize minimumSizeHint() const override {
    QSize size = QToolButton::sizeHint();
    size.setWidth(std::min(size.width(), fontMetrics().horizontalAdvance(QChar(0x2026)) + 4));
    return size;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    if (width() < sizeHint().width())
      option.text = fontMetrics().elidedText(option.text, Qt::ElideRight, width() - Chrome(), Qt::TextShowMnemonic);
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
  }

 private:
  int Chrome() const { return sizeHint().width() - fontMetrics().size(Qt::TextShowMnemonic, text()).width(); }
};

bool HasChildren(size_t row) {
  return row + 1 < std::size(kMenuRows) && kMenuRows[row + 1].depth > kMenuRows[row].depth;
}

}  // namespace

QString LongHint(const QString& hint) {
  int bar = hint.indexOf('|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}

QString ShortHint(const QString& hint) {
  int bar = hint.indexOf('|');
  return bar < 0 ? hint : hint.left(bar);
}

QAction* MainMenu::Find(Command command) const {
  for (const RuledAction& item : items)
    if (item.action->data().toInt() == static_cast<int>(command)) return item.action;
  return nullptr;
}

MainMenu BuildMainMenu(QMenuBar* bar, const std::function<void(Command)>& run) {
  MainMenu result;
  QMenu* menus[3] = {nullptr, nullptr, nullptr};  // the open menu at each depth
  for (size_t i = 0; i < std::size(kMenuRows); ++i) {
    const MenuRow& row = kMenuRows[i];
    QString caption = QString::fromUtf8(row.caption);
    QString hint = QString::fromUtf8(row.hint);
    if (row.depth == 0) {
      menus[0] = bar->addMenu(caption);
      menus[0]->setObjectName(row.name);
      menus[0]->menuAction()->setStatusTip(LongHint(hint));
      if (QLatin1String(row.name) == QLatin1String("Text1")) result.text_menu = menus[0];
      if (QLatin1String(row.name) == QLatin1String("Window1")) result.window_menu = menus[0];
      continue;
    }
    QMenu* parent = menus[row.depth - 1];
    if (caption == "-") {
      parent->addSeparator();
    } else if (HasChildren(i) || row.command == GetFromAccount) {
      menus[row.depth] = parent->addMenu(caption);
      menus[row.depth]->setObjectName(row.name);
      menus[row.depth]->menuAction()->setStatusTip(LongHint(hint));
      if (row.command == GetFromAccount) {
        result.account_menu = menus[row.depth];
        result.account_menu->menuAction()->setVisible(false);  // until there are several accounts
      }
    } else {
      QAction* action = parent->addAction(caption);
      action->setObjectName(row.name);
      action->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut)));
      action->setStatusTip(LongHint(hint));
      action->setData(static_cast<int>(row.command));
      Command command = row.command;
      QObject::connect(action, &QAction::triggered, action, [run, command] { run(command); });
      if (row.rule != Always) action->setEnabled(false);
      result.items.push_back({action, row.rule});
    }
  }
  return result;
}

void KeepAccountMenu(const MainMenu& menu, const std::function<std::vector<std::string>()>& titles,
                     const std::function<void(const std::string&)>& get) {
  QMenu* accounts = menu.account_menu;
  auto* file = qobject_cast<QMenu*>(accounts->parent());
  QObject::connect(file, &QMenu::aboutToShow, accounts, [accounts, titles, get] {
    const std::vector<std::string> now = titles();
    accounts->clear();
    // With one account there is nothing to choose: Get / Send All is that account.
    accounts->menuAction()->setVisible(now.size() > 1);
    if (now.size() < 2) return;
    for (const std::string& title : now) {
      QString caption = TextToQt(title);
      QAction* action = accounts->addAction(caption.replace('&', "&&"));
      QObject::connect(action, &QAction::triggered, action, [get, title] { get(title); });
    }
  });
}

std::vector<RuledButton> BuildSpeedButtons(QWidget* panel, const QMenuBar* bar,
                                           const std::function<void(Command)>& run) {
  QList<QKeySequence> menu_mnemonics;
  for (const QAction* menu : bar->actions()) menu_mnemonics << QKeySequence::mnemonic(menu->text());
  std::vector<RuledButton> buttons;
  for (const SpeedButtonRow& row : kSpeedButtons) {
    auto* button = new ElidingToolButton(panel);
    button->setObjectName(row.name);
    // A mnemonic that a menu takes is not underlined: it would not work.
    QString caption = QString::fromUtf8(row.caption);
    if (menu_mnemonics.contains(QKeySequence::mnemonic(caption))) caption.remove('&');
    button->setText(caption);
    QString hint = QString::fromUtf8(row.hint);
    button->setToolTip(ShortHint(hint));
    button->setStatusTip(LongHint(hint));
    button->setAutoRaise(true);
    button->setEnabled(row.rule == Always);
    Command command = row.command;
    QObject::connect(button, &QToolButton::clicked, button, [run, command] { run(command); });
    panel->layout()->addWidget(button);
    buttons.push_back({button, row.rule});
  }
  return buttons;
}

}  // namespace corvelle
