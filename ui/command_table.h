// The tables the main window builds its menus, tool bars and context menu from: each entry's
// text, command, key, check mark and fly-by text, in the order they are shown.
#pragma once

#include <QKeySequence>
#include <span>

struct MenuRow {
    // A top-level menu, a submenu of it (until the next End), a separator or a command.
    enum Kind { Top, Sub, End, Sep, Cmd };
    Kind kind;
    const char* text;
    int id = 0;
    QKeySequence key = {};
    bool checkable = false;
    const char* tip = nullptr;
};
std::span<const MenuRow> menuRows();

// Commands on the tool bar and their keys only, found as "Animation/<path>".
struct KeyOnlyRow {
    int id;
    const char* text;
    const char* path;
    int key;
};
std::span<const KeyOnlyRow> frameCommandRows();

// A tool-bar button and its icon (":/icons/<icon>.svg"); id 0 is a separator.
struct ToolButtonRow {
    int id;
    const char* icon;
};
std::span<const ToolButtonRow> mainToolBarRows();
std::span<const ToolButtonRow> paletteToolBarRows();

// An entry of the document windows' context menu "Bitmap"; id 0 is a separator.
struct ContextMenuRow {
    int id;
    const char* text;
};
std::span<const ContextMenuRow> contextMenuRows();
