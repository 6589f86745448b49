// The sixteen custom colours of the colour dialog, shared by every colour choice of the editor
// (grid colour, font colours, colour key) and kept in the settings section "GridColor".
#pragma once

#include <cstdint>

#include "model/ports.h"

extern const char* const kCustomColourSection;  // "GridColor"

struct CustomColours {
    static constexpr int kCount = 16;
    // Windows colour values (0x00BBGGRR); the defaults are 15000, 14000, ..., 1000, 0.
    uint32_t colours[kCount];

    CustomColours();
    // "c1" to "c16"; an absent value keeps its default.
    void load(const SettingsStore& store);
    void save(SettingsStore& store) const;
};

// Conversions between a Windows colour value (0x00BBGGRR) and a pixel word's colour
// (0x00RRGGBB): both exchange red and blue and drop the top byte.
constexpr uint32_t colourRefToRgb(uint32_t c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr uint32_t rgbToColourRef(uint32_t c) { return colourRefToRgb(c); }
