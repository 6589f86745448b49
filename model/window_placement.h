// The main window's placement in settings section "MWnd": the show state and the restored
// rectangle, written when the window closes and used at start only when complete.
#pragma once

#include "model/ports.h"

struct WindowPlacement {
    // Show states as stored: 1 normal, 2 minimised, 3 maximised.
    int status = -1;
    int top = -1, left = -1, bottom = -1, right = -1;

    void save(SettingsStore& store) const;
    // The placement to use at start, or false for the platform's default: all five values must
    // be there (none -1) and the rectangle must not be empty. The left edge becomes
    // min(left + workLeft, screenWidth - iconSize), the top min(top + workTop, screenHeight -
    // iconSize), so at least an icon-sized corner stays on the screen.
    static bool restore(const SettingsStore& store, int workLeft, int workTop, int screenWidth,
                        int screenHeight, int iconSize, WindowPlacement& out);
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};
