#include "model/app_palette.h"

#include <mutex>

#include "texlib/palette_file.h"

namespace {

AppPalette& builtIn() {
    static AppPalette palette;
    return palette;
}

AppPalette* gCurrent = nullptr;

std::recursive_mutex& loadMutex() {
    static std::recursive_mutex m;
    return m;
}

// The readers' hook: a reader about to use one of the application's palettes runs its pending
// load first.
void paletteNeeded(const uint32_t* palette) {
    for (const AppPalette* p : {gCurrent, &builtIn()})
        if (p && p->argb() == palette) p->resolve();
}

}  // namespace

void AppPalette::loadOnFirstUse(std::function<void(AppPalette&)> loader) {
    std::lock_guard<std::recursive_mutex> lock(loadMutex());
    TxPaletteNeeded = paletteNeeded;
    loader_ = std::move(loader);
    pending_.store(static_cast<bool>(loader_), std::memory_order_release);
}

void AppPalette::resolvePending() const {
    std::lock_guard<std::recursive_mutex> lock(loadMutex());
    // The loader's own reads of the palette (resolving_) and threads that waited for it return.
    if (resolving_ || !pending_.load(std::memory_order_acquire)) return;
    resolving_ = true;
    auto loader = std::move(loader_);
    loader_ = nullptr;
    loader(const_cast<AppPalette&>(*this));
    resolving_ = false;
    pending_.store(false, std::memory_order_release);
}

AppPalette::AppPalette() { clear(); }

AppPalette::AppPalette(const AppPalette& other) { setAll(other.entries()); }

AppPalette& AppPalette::operator=(const AppPalette& other) {
    if (this != &other) setAll(other.entries());
    return *this;
}

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
