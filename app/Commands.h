#pragma once

#include <QKeyCombination>

#include <QList>

#include <functional>
#include <span>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;

class ReaderWindow;

// Where a command is offered: the menu bar's captions are the window's
// design; commands with keys of their own are reached by those keys, and
// those added since the design also from the text box's context menu, where
// a mouse user finds them.
enum class CommandPlace { SettingsMenu, MenuBar, KeysOnly, KeysAndContextMenu };

// One command of the window: the menu bar and the window-wide keys are both
// made from these rows.
struct CommandRow {
    // The action's object name, by which tests find it.
    const char* objectName;
    // The menu caption, or what a screen reader names a keys-only command.
    const char16_t* caption;
    CommandPlace place;
    // A window-wide key; none for a command reached through the menu bar only.
    QKeyCombination key;
    bool startsEnabled;
    // Whether the keys go back to the text box after the command; those
    // that hand them elsewhere (the menu bar, the find bar) say not.
    bool keysBackToText;
    void (ReaderWindow::*run)();
};

// In the order the menus show them.
std::span<const CommandRow> readerCommands();

// Makes an action of every command in `window`: in the menu bar, in the
// settings menu (which it makes and returns) or in the window alone, each
// with its key. `run` runs the row of an action triggered.
QMenu* addCommands(QMainWindow* window, const std::function<void(const CommandRow&)>& run);

// The actions of `window` offered in the text box's context menu, in order.
QList<QAction*> contextMenuCommands(const QWidget* window);
