// The application's one current 256-colour palette (the palette options' palette, loaded from the
// "palfile" preference at start-up), and the read context that hands it to the LMP reader.
#pragma once

#include <cstdint>

#include "texlib/read.h"

class AppPalette {
public:
    static constexpr int kEntries = 256;

    AppPalette();
    // Entry i as a Windows colour value: red in bits 0-7, green 8-15, blue 16-23; bits 24-31 hold
    // a RIFF palette's flags byte, otherwise 0.
    uint32_t entry(int i) const { return entries_[i & 255]; }
    void setEntry(int i, uint32_t value);
    const uint32_t* entries() const { return entries_; }
    void setAll(const uint32_t* values);  // 256 entries
    void clear();
    // The same colours as opaque 0xFFRRGGBB words, the layout of a p8 record's palette.
    const uint32_t* argb() const { return argb_; }

private:
    uint32_t entries_[kEntries];
    uint32_t argb_[kEntries];  // kept in step with entries_, so readers on other threads only read
};

// The current palette. The application starts with every entry 0. Tests and embedders install
// their own with setAppPalette (which must outlive its use); nullptr restores the built-in one.
AppPalette& appPalette();
void setAppPalette(AppPalette* palette);

// A read context for reading files in the application: 8-bit lumps take the current palette.
TxReadContext appReadContext();
