#include "ui/command_table.h"

#include "document/document.h"
#include "ui/main_window.h"

std::span<const MenuRow> menuRows() {
    using enum MenuRow::Kind;
    static const MenuRow rows[] = {
        {Top, "&File  "},
        {Cmd, "&New\tCtrl+N", CMD_NEW, Qt::CTRL | Qt::Key_N},
        {Cmd, "&Open...\tCtrl+O", CMD_OPEN, Qt::CTRL | Qt::Key_O},
        {Cmd, "&Close", CMD_CLOSE},
        {Cmd, "&Save\tCtrl+S", CMD_SAVE, Qt::CTRL | Qt::Key_S},
        {Cmd, "Save &As...", CMD_SAVE_AS},
        {Sep, nullptr},
        {Sub, "&Export"},
        {Cmd, "Texturemap\t3DF", CMD_EXPORT},
        {End, nullptr},
        {Cmd, "&Preferences", CMD_PREFERENCES, {}, false, "Set global settings"},
        {Sep, nullptr},
        {Cmd, "Recent File", CMD_RECENT_FILE},
        {Sep, nullptr},
        {Cmd, "E&xit", CMD_EXIT},

        {Top, "&Edit  "},
        {Cmd, "&Undo\tCtrl+Z", CMD_UNDO, Qt::CTRL | Qt::Key_Z},
        {Cmd, "&Redo\tCtrl+Y", CMD_REDO, Qt::CTRL | Qt::Key_Y},
        {Sep, nullptr},
        {Cmd, "Cu&t\tCtrl+X", CMD_CUT, Qt::CTRL | Qt::Key_X},
        {Cmd, "&Copy\tCtrl+C", CMD_COPY, Qt::CTRL | Qt::Key_C},
        {Cmd, "&Paste\tCtrl+V", CMD_PASTE, Qt::CTRL | Qt::Key_V},
        {Cmd, "&Paste from ClipBoard\tCtrl+B", CMD_PASTE_CLIPBOARD, Qt::CTRL | Qt::Key_B},
        {Cmd, "Clear all", CMD_CLEAR_ALL},
        {Sep, nullptr},
        {Cmd, "&Scale\t       s", CMD_SCALE, Qt::Key_S},
        {Cmd, "&Resize\t       r", CMD_RESIZE, Qt::Key_R},
        {Sep, nullptr},
        {Cmd, "Flip &Vertical\t       y", CMD_FLIP_VERTICAL, Qt::Key_Y},
        {Cmd, "Flip &Horizontal\t       x", CMD_FLIP_HORIZONTAL, Qt::Key_X},
        {Cmd, "Flip &Isometric\t", CMD_FLIP_ISOMETRIC},
        {Sep, nullptr},
        {Cmd, "&Auto Crop", CMD_AUTO_CROP},

        {Top, "&Selection  "},
        {Cmd, "&Frame select mode", CMD_FRAME_SELECT, {}, true},
        {Cmd, "&Crop", CMD_CROP},
        {Cmd, "Make &Grid\tG", CMD_MAKE_GRID, Qt::SHIFT | Qt::Key_G},
        {Cmd, "&Select all\tCTRL+A", CMD_SELECT_ALL, Qt::CTRL | Qt::Key_A},

        {Top, "&Mask  "},
        {Sub, "Create mask"},
        {Cmd,
         "Pick key color",
         CMD_MASK_PICK_KEY,
         {},
         false,
         "pickup the transparency color with left mouse button"},
        {Cmd,
         "1-bit alpha channel",
         CMD_MASK_ONE_BIT,
         {},
         false,
         "Digitize 8-bit alpha values to 1-bit mask"},
        {Cmd,
         "8-bit alpha channel",
         CMD_MASK_EIGHT_BIT,
         {},
         false,
         "copy the alpha channel to the mask"},
        {Cmd, "Intensity", CMD_MASK_INTENSITY, {}, false, ""},
        {Cmd,
         "1-Pixel Border",
         CMD_MASK_BORDER,
         {},
         false,
         "Creates alpha channel. 1px border Intensity, inside full, outside 0"},
        {End, nullptr},
        {Cmd, "&Clear", CMD_MASK_CLEAR, {}, false, "Clears the mask"},
        {Cmd, "&Invert", CMD_MASK_INVERT, {}, false, "Invert the mask"},

        {Top, "&View  "},
        {Cmd, "&Toolbar", CMD_TOOLBAR, {}, true},
        {Cmd, "&Status Bar", CMD_STATUS_BAR, {}, true},
        {Sep, nullptr},
        {Cmd, "Zoom in\t    m", CMD_ZOOM_IN, Qt::Key_M},
        {Cmd, "Zoom out\t    n", CMD_ZOOM_OUT, Qt::Key_N},
        {Sub, "&Zoom"},
        {Cmd, "&1x", CMD_ZOOM_1, {}, true},
        {Cmd, "&2x", CMD_ZOOM_1 + 1, {}, true},
        {Cmd, "&3x", CMD_ZOOM_1 + 2, {}, true},
        {Cmd, "&4x", CMD_ZOOM_1 + 3, {}, true},
        {Cmd, "25%", CMD_ZOOM_25, {}, true},
        {Cmd, "50%", CMD_ZOOM_50, {}, true},
        {Cmd, "&Fit", CMD_ZOOM_FIT},
        {End, nullptr},
        {Sep, nullptr},
        {Cmd, "&Grid\t    g", CMD_GRID, Qt::Key_G, true},
        {Cmd, "Grid &Options\t ", CMD_GRID_OPTIONS},
        {Cmd, "S&nap to Grid\t    CRTL+g", CMD_SNAP, Qt::CTRL | Qt::Key_G, true},
        {Sub, "Grid Modus"},
        {Cmd, "&Normal", CMD_GRID_NORMAL, {}, true},
        {Cmd, "&Isometric", CMD_GRID_ISOMETRIC, {}, true},
        {End, nullptr},
        {Sep, nullptr},
        {Cmd, "&Red\t    1", CMD_RED, Qt::Key_1, true},
        {Cmd, "&Green\t    2", CMD_GREEN, Qt::Key_2, true},
        {Cmd, "&Blue\t    3", CMD_BLUE, Qt::Key_3, true},
        {Cmd, "&Alpha\t    4", CMD_ALPHA, Qt::Key_4, true},

        {Top, "F&rame  "},
        {Cmd,
         "Frame &Properties...",
         CMD_FRAME_PROPERTIES,
         {},
         false,
         "Set how long frames are shown while playing"},
        {Cmd,
         "Play at frame &durations",
         CMD_TIMED_PLAY,
         {},
         true,
         "Play each frame for its own duration instead of the fixed rate"},

        {Top, "&Tools"},
        {Cmd, "&Position List", CMD_POSITION_LIST},
        {Cmd, "Texture Font Wizard", CMD_FONT_WIZARD},
        {Cmd, "Pack Sprites...", CMD_PACK_SPRITES},
        {Cmd, "&Animationmaster", CMD_ANIMMASTER},

        // The open document windows follow these, refilled each time the menu opens.
        {Top, "&Window "},
        {Cmd, "&New Window", CMD_NEW_WINDOW},
        {Cmd, "&Cascade", CMD_CASCADE},
        {Cmd, "Tile &Vertical", CMD_TILE_VERTICAL},
        {Cmd, "Tile &Horizontal", CMD_TILE_HORIZONTAL},
        {Cmd, "Close &All", CMD_CLOSE_ALL},

        {Top, "&Help"},
        {Cmd, "&About Tarquil...", CMD_ABOUT},
    };
    return rows;
}

std::span<const KeyOnlyRow> frameCommandRows() {
    static const KeyOnlyRow rows[] = {
        {CMD_FIRST_FRAME, "Go to first anim frame", "First frame", Qt::Key_1},
        {CMD_PREVIOUS_FRAME, "Go to previous frame", "Previous frame", Qt::Key_2},
        {CMD_PLAY, "Play animation", "Play", Qt::Key_3},
        {CMD_NEXT_FRAME, "Go to next frame", "Next frame", Qt::Key_4},
        {CMD_LAST_FRAME, "Go to last frame", "Last frame", Qt::Key_5}};
    return rows;
}

std::span<const ToolButtonRow> mainToolBarRows() {
    static const ToolButtonRow rows[] = {
        {CMD_NEW, "new"},   {CMD_OPEN, "open"},         {CMD_SAVE, "save"},
        {0, nullptr},       {CMD_COPY, "copy"},         {CMD_PASTE, "paste"},
        {0, nullptr},       {CMD_UNDO, "undo"},         {CMD_REDO, "redo"},
        {0, nullptr},       {CMD_FIRST_FRAME, "first"}, {CMD_PREVIOUS_FRAME, "previous"},
        {CMD_PLAY, "play"}, {CMD_NEXT_FRAME, "next"},   {CMD_LAST_FRAME, "last"}};
    return rows;
}

std::span<const ToolButtonRow> paletteToolBarRows() {
    static const ToolButtonRow rows[] = {{CMD_ZOOM_IN, "zoom_in"},
                                         {CMD_ZOOM_OUT, "zoom_out"},
                                         {CMD_CROP, "crop"},
                                         {CMD_GRID, "grid"},
                                         {CMD_SNAP, "snap"},
                                         {CMD_FRAME_SELECT, "frame_select"},
                                         {0, nullptr},
                                         {CMD_RED, "red"},
                                         {CMD_GREEN, "green"},
                                         {CMD_BLUE, "blue"},
                                         {CMD_ALPHA, "alpha"}};
    return rows;
}

std::span<const ContextMenuRow> contextMenuRows() {
    static const ContextMenuRow rows[] = {{CMD_PASTE, "Paste\tCTRL+V"},
                                          {CMD_PASTE_CLIPBOARD, "Paste Clipboard\tCTRL+B"},
                                          {CMD_COPY, "Copy\tCTRL+C"},
                                          {0, nullptr},
                                          {CMD_GRID, "Grid\tg"},
                                          {CMD_SNAP, "Snap to grid \tCTRL+g"},
                                          {CMD_MAKE_GRID, "Make Grid\tG"},
                                          {0, nullptr},
                                          {CMD_ZOOM_IN, "Zoom In\tm"},
                                          {CMD_ZOOM_OUT, "Zoom Out\tn"},
                                          {0, nullptr},
                                          {CMD_EXPORT, "Export 3df"}};
    return rows;
}
