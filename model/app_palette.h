// The application's current 256-colour palette (the palette options' palette, loaded from the
// "palfile" preference at start-up), and the read context that hands it to the LMP reader. The
// editor's documents share one in their DocumentContext; a tarquil-cli run has one in its call.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "texlib/read.h"

class AppPalette {
public:
    static constexpr int kEntries = 256;

    AppPalette();
    ~AppPalette();
    // A copy has the colours (a load pending on first use runs first); the pending load stays
    // with the original.
    AppPalette(const AppPalette& other);
    AppPalette& operator=(const AppPalette& other);
    // Entry i as a Windows colour value: red in bits 0-7, green 8-15, blue 16-23; bits 24-31 hold
    // a RIFF palette's flags byte, otherwise 0.
    uint32_t entry(int i) const {
        resolve();
        return entries_[i & 255];
    }
    void setEntry(int i, uint32_t value);
    const uint32_t* entries() const {
        resolve();
        return entries_;
    }
    void setAll(const uint32_t* values);  // 256 entries
    void clear();
    // The same colours as opaque 0xFFRRGGBB words, the layout of a p8 record's palette. The
    // pointer may be handed out before a load pending on first use has run: a reader that takes
    // it as ctx.palette runs that load through TxPaletteNeeded before it uses the colours.
    const uint32_t* argb() const { return argb_; }

    // Loads the colours with `loader` on their first use (entry(), entries(), or a reader given
    // argb()), not before: a palette file is read only when a palette is needed. Replaces a load
    // still pending; setting colours meanwhile does not cancel it.
    void loadOnFirstUse(std::function<void(AppPalette&)> loader);
    bool loadPending() const { return pending_.load(std::memory_order_acquire); }
    // Runs a pending load now (once, whichever thread comes first; the others wait for it).
    void resolve() const {
        if (pending_.load(std::memory_order_acquire)) resolvePending();
    }

    // A read context for reading files with this palette: 8-bit lumps take its colours.
    TxReadContext readContext() const;

private:
    void resolvePending() const;

    uint32_t entries_[kEntries];
    uint32_t argb_[kEntries];  // kept in step with entries_, so readers on other threads only read
    mutable std::function<void(AppPalette&)> loader_;
    mutable std::atomic<bool> pending_{false};
    mutable bool resolving_ = false;
};
