#include "model/app_palette.h"

#include "texlib/palette_file.h"

namespace {

AppPalette& builtIn() {
    static AppPalette palette;
    return palette;
}

AppPalette* gCurrent = nullptr;

} // namespace

AppPalette::AppPalette() { clear(); }

void AppPalette::setEntry(int i, uint32_t value) {
    if (i < 0 || i >= kEntries) return;
    entries_[i] = value;
    argb_[i] = 0xFF000000u | txColorRefToArgb(value);
}

void AppPalette::setAll(const uint32_t* values) {
    for (int i = 0; i < kEntries; ++i) setEntry(i, values[i]);
}

void AppPalette::clear() {
    for (int i = 0; i < kEntries; ++i) setEntry(i, 0);
}

AppPalette& appPalette() { return gCurrent ? *gCurrent : builtIn(); }

void setAppPalette(AppPalette* palette) { gCurrent = palette; }

TxReadContext appReadContext() {
    TxReadContext ctx;
    ctx.palette = appPalette().argb();
    return ctx;
}
