// Name rules shared by the lists of named presets (format strings, font presets): lookups ignore
// case once an exact match fails, and a new name may not be the start of an existing one.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

std::string presetLower(std::string s);

// Index of the preset called `name`: the exact name first, else the first one equal ignoring
// case; -1 when none. Works on any list whose entries have a `name` member.
template <class Preset>
int findPresetByName(const std::vector<Preset>& presets, const std::string& name) {
    for (size_t k = 0; k < presets.size(); ++k)
        if (presets[k].name == name) return int(k);
    const std::string l = presetLower(name);
    for (size_t k = 0; k < presets.size(); ++k)
        if (presetLower(presets[k].name) == l) return int(k);
    return -1;
}

// True when `typed` (ignoring case) starts an existing preset's name, so a rename to it is refused.
template <class Preset>
bool presetNameClashes(const std::vector<Preset>& presets, const std::string& typed) {
    const std::string l = presetLower(typed);
    for (const Preset& p : presets)
        if (presetLower(p.name).compare(0, l.size(), l) == 0) return true;
    return false;
}

// Renaming: presets[index] takes the typed text unless it is empty or starts some existing name.
template <class Preset>
bool renamePresetAt(std::vector<Preset>& presets, int index, const std::string& typed) {
    if (typed.empty() || index < 0 || index >= int(presets.size())) return false;
    if (presetNameClashes(presets, typed)) return false;
    presets[size_t(index)].name = typed;
    return true;
}

// "Delete": refuses the only preset, and the first one too when `firstFixed`, with "Cannot
// delete item 1"; otherwise removes presets[index] and selects the one before it (the first
// when the first was removed).
template <class Preset>
bool deletePresetAt(std::vector<Preset>& presets, int& current, int index, bool firstFixed,
                    std::string* message) {
    if (presets.size() <= 1 || (firstFixed && index <= 0)) {
        if (message) *message = "Cannot delete item 1";
        return false;
    }
    if (index < 0 || index >= int(presets.size())) return false;
    presets.erase(presets.begin() + index);
    current = std::max(0, index - 1);
    return true;
}
