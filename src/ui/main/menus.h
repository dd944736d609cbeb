#pragma once
// The menu bar and the speed-button bar of the main window, built from tables: captions,
// shortcuts, hints, separators, the command of each item and which message window (or
// mailbox selection) it needs to be enabled.

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ui/main/commands.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolButton;
class QWidget;

namespace corvelle {

// When a menu item or speed button is enabled (UpdateMenuItems).
enum class EnableRule {
  Always,     // keeps its state
  AnyWindow,  // a message window is open
  Received,   // the active message window is not a composition window
  Composing,  // the active message window is a composition window
  AnyOrChosen,       // AnyWindow, or the active window is the mailbox window with a selection
  ReceivedOrChosen,  // Received, or the active window is the mailbox window with a selection
};

// A hint "short|long": the long part (the whole hint without a bar) for the status
// line, the short part for a tooltip.
QString LongHint(const QString& hint);
QString ShortHint(const QString& hint);

struct RuledAction {
  QAction* action;
  EnableRule rule;
};

struct RuledButton {
  QToolButton* button;
  EnableRule rule;
};

struct MainMenu {
  std::vector<RuledAction> items;  // every command item, in menu order
  QMenu* text_menu = nullptr;      // "&Text": three fixed items, then the common-text entries
  QMenu* window_menu = nullptr;    // "&Window": three fixed items, then the window list
  QMenu* account_menu = nullptr;   // File's "Get mail from": one item per account
  QAction* Find(Command command) const;
};

// Fills `bar` with the menus; every item runs `run` with its command.
MainMenu BuildMainMenu(QMenuBar* bar, const std::function<void(Command)>& run);

// Keeps the "Get mail from" sub-menu of `menu` up to date with the accounts: each time the
// File menu opens, one item per title `titles` gives (the settings may have changed), each
// running `get` with its title; hidden with one account.
void KeepAccountMenu(const MainMenu& menu, const std::function<std::vector<std::string>()>& titles,
                     const std::function<void(const std::string&)>& get);

// Fills `panel` (which has a horizontal layout) with the speed buttons, left to right. A
// button's mnemonic that a menu of `bar` uses too is left to the menu: Alt+E opens the
// Edit menu, and "Close" shows no underlined letter. A bar too narrow for the captions
// cuts them short.
std::vector<RuledButton> BuildSpeedButtons(QWidget* panel, const QMenuBar* bar,
                                           const std::function<void(Command)>& run);

}  // namespace corvelle
