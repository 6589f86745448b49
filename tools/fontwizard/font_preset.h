// Font texture presets: one named set of the wizard's settings, the built-in "Standard" preset,
// and the list of presets kept in the settings sections "FontWizard" and "FontWizard\Preset%d".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/ports.h"

extern const char* const kFontWizardSection;

// The members start at the values a preset takes when the settings lack them.
struct FontPreset {
    std::string description;
    int fontSize = 11;      // points
    int fontStyle = 0;      // 0 regular, 1 bold, 2 italic, 3 bold italic
    std::string fontName;   // face name
    std::string userChars;  // 8-bit codes (code page 1252) for the "one of:" test
    // "one of:" characters outside code page 1252; kept in "userchars" after the others.
    std::u32string userCharsWide;
    // A font file to use instead of an installed face ("Fontfile", "Faceindex": the face within
    // a collection); nothing is substituted for it.
    std::string fontFile;
    int faceIndex = 0;
    int char8 = 0;         // 0: codes 0-127, 1: codes 0-255
    int filter = 0;        // FontFilter bits
    int pitch = 1;         // 0 fixed cells, 1 variable width
    int textureWidth = 0;  // 0: 256 pixels, 1: 512 pixels
    int autoCell = 1;      // 1: cell size measured from the font
    int origin = 6;        // bits 0-1 horizontal (left, centre, right), 2-3 vertical
    int cellHeight = 0;
    int cellWidth = 0;
    int antialias = 0;              // 0 none, 1 2x2, 2 4x4
    int capitals = 0;               // kept for the settings; nothing uses it
    uint32_t textColor = 0xFFFFFF;  // 0x00BBGGRR
    uint32_t backColor = 0;         // 0x00BBGGRR
    int marginX = 0;                // extra pixels per cell (variable pitch)
    int marginY = 0;

    // The built-in preset "Standard": Arial 11, 8-bit graphic characters plus the user
    // characters ö ä ü Ö Ä Ü, fixed automatic cells, 256 wide.
    static FontPreset standard();

    // Values of one "FontWizard\Preset%d" section (the name is the caller's).
    void load(const SettingsStore& store, const std::string& section);
    void store(SettingsStore& store, const std::string& section) const;

    bool operator==(const FontPreset&) const = default;
};

struct NamedFontPreset {
    std::string name;
    FontPreset preset;
};

// The wizard's preset list.
struct FontPresetList {
    std::vector<NamedFontPreset> presets;
    int current = 0;  // selected preset, -1 for none

    // Reads "nCnt" and "nCur" and every named preset. Falls back to "Standard" when nothing is
    // stored, and appends a fresh "Standard" (selecting the first preset) when some stored preset
    // has no name.
    void load(const SettingsStore& store);
    // Writes "nCnt", "nCur" and every preset; sections of presets deleted since are dropped.
    void save(SettingsStore& store) const;

    // The selected preset, or null when there is none.
    NamedFontPreset* selected();
    const NamedFontPreset* selected() const;
    // Index of the preset with this name (exact first, then ignoring case), or -1.
    int find(const std::string& name) const;

    // "New": appends a copy of the selected preset (the built-in one when none is selected) under
    // a derived name ("Copy of X", "Copy (2) of X", ...) and selects it.
    void addCopy();
    // "Delete": refuses the only preset with "Cannot delete item 1"; otherwise removes the selected
    // one and selects the one before it (the first when the first was removed).
    bool removeSelected(std::string* message = nullptr);
    // Renaming: the selected entry takes the typed text unless it is empty or some entry begins
    // with it (ignoring case).
    bool renameSelected(const std::string& typed);

    // A name with its copy prefix removed ("Copy (3) of X" gives X); empty gives "Standard".
    static std::string baseName(const std::string& name);
};
