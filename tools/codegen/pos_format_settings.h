// The code generator's options and named format presets, kept in the settings section
// "PosFormat". Preset 0 is always "Standard" and cannot be deleted.
#pragma once

#include <string>
#include <vector>

#include "model/ports.h"
#include "tools/codegen/code_generator.h"

extern const char* const kPosFormatSection;

struct PosFormatPreset {
    std::string name;
    std::string format;  // internal form
};

struct PosFormatSettings {
    bool save = true;  // "save": options and presets are written only when set
    bool block = true;
    bool comment = true;
    bool date = true;
    bool file = true;
    bool cppStyle = true;
    int sort = POS_SORT_NONE;
    int current = 0;  // selected preset
    // A built-in whole-file template chosen instead of the presets ("sTemplate"); empty for the
    // format string of the selected preset.
    std::string templateName;
    std::vector<PosFormatPreset> presets = {{"Standard", kStandardFormat}};

    void load(const SettingsStore& store);
    // Writes "bSave"; everything else only when `save` is set (stale presets are dropped).
    void store(SettingsStore& store) const;

    CodegenOptions options() const;
    const PosFormatPreset& currentPreset() const;
    // Index of the preset with this name (exact first, then ignoring case), or -1.
    int findPreset(const std::string& name) const;

    // "New": appends a preset with the new-preset format and selects it. False for an empty name.
    bool addPreset(const std::string& name);
    // "Delete": refuses the first or the only preset (message "Cannot delete item 1"); otherwise
    // removes it and selects the preceding one.
    bool deletePreset(int index, std::string* message = nullptr);
    // Renaming in the preset list: the entry takes the typed text unless it is empty or some
    // entry already begins with it (ignoring case).
    bool renamePreset(int index, const std::string& typed);
};
