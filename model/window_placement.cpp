#include "model/window_placement.h"

#include <algorithm>

namespace {
const char* kSection = "MWnd";
}

void WindowPlacement::save(SettingsStore& store) const {
    store.setInt(kSection, "Status", status);
    store.setInt(kSection, "Top", top);
    store.setInt(kSection, "Left", left);
    store.setInt(kSection, "Bottom", bottom);
    store.setInt(kSection, "Right", right);
}

bool WindowPlacement::restore(const SettingsStore& store, int workLeft, int workTop,
                              int screenWidth, int screenHeight, int iconSize,
                              WindowPlacement& out) {
    WindowPlacement p;
    p.status = store.getInt(kSection, "Status", -1);
    p.top = store.getInt(kSection, "Top", -1);
    p.left = store.getInt(kSection, "Left", -1);
    p.bottom = store.getInt(kSection, "Bottom", -1);
    p.right = store.getInt(kSection, "Right", -1);
    if (p.status == -1 || p.top == -1 || p.left == -1 || p.bottom == -1 || p.right == -1)
        return false;
    // An empty or inverted rectangle would make a window nobody can see.
    if (p.width() <= 0 || p.height() <= 0) return false;
    const int w = p.width(), h = p.height();
    out.status = p.status;
    out.left = std::min(p.left + workLeft, screenWidth - iconSize);
    out.top = std::min(p.top + workTop, screenHeight - iconSize);
    out.right = out.left + w;
    out.bottom = out.top + h;
    return true;
}
