#include "model/app_palette.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "texlib/palette_file.h"

namespace {

std::recursive_mutex& loadMutex() {
    static std::recursive_mutex m;
    return m;
}

// The palettes with a load pending, for the readers' hook (guarded by loadMutex): the hook is
// handed only the colours' address.
std::vector<const AppPalette*>& pendingPalettes() {
    static std::vector<const AppPalette*> list;
    return list;
}

void forget(const AppPalette* palette) {
    auto& list = pendingPalettes();
    list.erase(std::remove(list.begin(), list.end(), palette), list.end());
}

// The readers' hook: a reader about to use a palette with a load pending runs that load first.
void paletteNeeded(const uint32_t* palette) {
    std::lock_guard<std::recursive_mutex> lock(loadMutex());
    const AppPalette* found = nullptr;
    for (const AppPalette* p : pendingPalettes())
        if (p->argb() == palette) found = p;
    if (found) found->resolve();
}

}  // namespace

void AppPalette::loadOnFirstUse(std::function<void(AppPalette&)> loader) {
    std::lock_guard<std::recursive_mutex> lock(loadMutex());
    TxPaletteNeeded = paletteNeeded;
    loader_ = std::move(loader);
    pending_.store(static_cast<bool>(loader_), std::memory_order_release);
    forget(this);
    if (loader_) pendingPalettes().push_back(this);
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
    forget(this);
}

AppPalette::AppPalette() { clear(); }

AppPalette::~AppPalette() {
    std::lock_guard<std::recursive_mutex> lock(loadMutex());
    forget(this);
}

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

TxReadContext AppPalette::readContext() const {
    TxReadContext ctx;
    ctx.palette = argb();
    return ctx;
}
