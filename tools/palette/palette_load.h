// Loading palette files into the application's palette, with the messages a person sees, and the
// state of the Palette Options dialog (its window comes with the editor).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "model/app_palette.h"
#include "model/ports.h"
#include "texlib/palette_file.h"

struct PaletteFileResult {
    bool opened = false;    // false: the file could not be read at all
    std::string error;      // why it could not be opened
    TxPaletteResult parse;  // what was read; on a parse failure the earlier entries were stored
    // The text shown for the result ("" when it succeeded or the file could not be opened).
    std::string message() const { return opened ? txPaletteStatusText(parse.status) : ""; }
    bool ok() const { return opened && parse.status == TX_PAL_OK; }
};

// Reads a palette file into `palette` without showing anything. The bitmap colour table is read
// when the path contains ".bmp" (case-sensitive, as the file dialogs name such files). Entries the
// file does not set keep their values, also after a failure part-way.
PaletteFileResult loadPaletteFile(const std::string& path, AppPalette& palette);

// The same, showing a failure's text through `prompts`; a file that cannot be opened is passed
// over silently. Used at start-up for the "palfile" preference and by the dialog.
void readPaletteFile(const std::string& path, AppPalette& palette, Prompts& prompts);

// Settings value of the palette file path.
constexpr const char* kPaletteSettingsSection = "Settings";
constexpr const char* kPaletteFileName = "palfile";

// Start-up: loads the "palfile" preference into the current palette when it is set.
void loadStartupPalette(AppPalette& palette, const SettingsStore& settings, Prompts& prompts);
// The same without reading anything now: the file is read into the current palette on the first
// use of its colours (tarquil-cli: only a command that needs a palette reads it). A failure's text
// goes to `warn`.
void loadStartupPaletteOnFirstUse(AppPalette& palette, const SettingsStore& settings,
                                  std::function<void(const std::string&)> warn);

// The Palette Options dialog without its window: its copy of the entries, the palette file and
// the choice it closes with.
class PaletteOptions {
public:
    enum Choice { GenerateFromImage = 0, UsePalette = 1 };

    // `palette` is the current palette the dialog reads files into; `palFile` is the "palfile"
    // preference.
    PaletteOptions(AppPalette& palette, std::string palFile)
        : palette_(palette), path_(std::move(palFile)) {}

    // Opening: the palette file, when one is set, is read into the current palette and shown.
    void open(Prompts& prompts);
    // "Load Palette" after the file dialog: "File %s not found" or "Cannot open file %s", or else
    // the file is read into the current palette, shown and stored as the "palfile" preference.
    // A file that does not parse shows its message and changes nothing. True when it was taken.
    bool loadPalette(const std::string& path, Prompts& prompts, SettingsStore& settings);
    void use() { choice_ = UsePalette; }
    void generateFromImage() { choice_ = GenerateFromImage; }

    Choice choice() const { return choice_; }
    // Whether a palette file was read, so that "Use" has colours to give.
    bool hasPalette() const { return loaded_; }
    const std::string& path() const { return path_; }
    const uint32_t* entries() const { return entries_; }

private:
    AppPalette& palette_;
    std::string path_;
    uint32_t entries_[AppPalette::kEntries] = {};
    Choice choice_ = GenerateFromImage;
    bool loaded_ = false;
};

// Swatch i of the 16 x 16 grid in an area of the given size: column i mod 16, row i / 16, the
// cell edges truncated from real-valued cell sizes. Right and bottom exclusive.
struct SwatchRect {
    int left, top, right, bottom;
};
SwatchRect paletteSwatchRect(int index, int areaWidth, int areaHeight);

// The filter of the dialog's file chooser.
constexpr const char* kPaletteFileFilter =
    "Supported pal files |*.gpl;*.bmp;*.lmp;*.pal;*.act|GIMP Palette (*.gpl)|*.gpl|Microsoft PAL "
    "(*.pal)|*.pal|Adobe PAL (*.act)|*.act|Jasc-PAL (*.pal)|*.pal|IdSoft Q1 PAL (*.lmp)|*.lmp|"
    "Windows 256 Color BMP (*.bmp)|*.bmp|";
