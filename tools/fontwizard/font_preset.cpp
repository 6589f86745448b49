#include "tools/fontwizard/font_preset.h"

#include <algorithm>
#include <cctype>

#include "model/preset_names.h"
#include "model/settings_fields.h"
#include "tools/fontwizard/char_select.h"

const char* const kFontWizardSection = "FontWizard";

namespace {

// A damaged settings file cannot make loading walk billions of absent sections.
constexpr int kMaxPresets = 1024;

std::string presetSection(int k) {
    return std::string(kFontWizardSection) + "\\Preset" + std::to_string(k);
}

bool onlyCopyCounter(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '(' || c == ')';
    });
}

}  // namespace

FontPreset FontPreset::standard() {
    FontPreset p;
    p.description = "Arial 11, 256x256";
    p.fontSize = 11;
    p.fontStyle = 0;
    p.fontName = "Arial";
    p.userChars = "\xF6\xE4\xFC\xD6\xC4\xDC";  // ö ä ü Ö Ä Ü in code page 1252
    p.char8 = 1;
    p.filter = FONT_FILTER_GRAPH | FONT_FILTER_ONEOF;
    p.pitch = 0;
    p.textureWidth = 0;
    p.autoCell = 1;
    p.origin = 6;
    p.cellHeight = 0;
    p.cellWidth = 0;
    p.antialias = 0;
    p.capitals = 0;
    p.textColor = 0xFFFFFF;
    p.backColor = 0;
    p.marginX = 0;
    p.marginY = 0;
    return p;
}

namespace {

// The values stored under their own names; the character list and the font file follow.
const SettingsField<FontPreset> kPresetFields[] = {
    {"Desc", nullptr, &FontPreset::description},
    {"Fontsize", &FontPreset::fontSize},
    {"Fontstyle", &FontPreset::fontStyle},
    {"Fontname", nullptr, &FontPreset::fontName},
    {"char8", &FontPreset::char8},
    {"filter", &FontPreset::filter},
    {"Pitch", &FontPreset::pitch},
    {"Texturewidth", &FontPreset::textureWidth},
    {"bAcell", &FontPreset::autoCell},
    {"origin", &FontPreset::origin},
    {"cell_cy", &FontPreset::cellHeight},
    {"cell_cx", &FontPreset::cellWidth},
    {"Antialias", &FontPreset::antialias},
    {"bCapitals", &FontPreset::capitals},
    {"fColor", nullptr, nullptr, nullptr, &FontPreset::textColor},
    {"bColor", nullptr, nullptr, nullptr, &FontPreset::backColor},
    {"marginx", &FontPreset::marginX},
    {"marginy", &FontPreset::marginY},
};

}  // namespace

void FontPreset::load(const SettingsStore& st, const std::string& sec) {
    *this = FontPreset{};
    loadSettingsFields(st, sec, kPresetFields, *this);
    // The settings hold text as UTF-8; the preset works with 8-bit codes.
    fontSplitUserChars(st.getString(sec, "userchars", ""), userChars, userCharsWide);
    fontFile = st.getString(sec, "Fontfile", "");
    faceIndex = fontFile.empty() ? 0 : std::max(0, st.getInt(sec, "Faceindex", 0));
}

void FontPreset::store(SettingsStore& st, const std::string& sec) const {
    saveSettingsFields(st, sec, kPresetFields, *this);
    st.setString(sec, "userchars", fontCp1252ToUtf8(userChars) + fontUtf8(userCharsWide));
    // Presets of installed faces keep the values they always had.
    if (fontFile.empty()) {
        st.remove(sec, "Fontfile");
        st.remove(sec, "Faceindex");
    } else {
        st.setString(sec, "Fontfile", fontFile);
        st.setInt(sec, "Faceindex", faceIndex);
    }
}

void FontPresetList::load(const SettingsStore& st) {
    presets.clear();
    int count = std::min(st.getInt(kFontWizardSection, "nCnt", 0), kMaxPresets);
    int cur = st.getInt(kFontWizardSection, "nCur", 0);
    if (count <= 0) {
        presets.push_back({"Standard", FontPreset::standard()});
        count = 1;
        cur = 0;
    } else if (cur < 0 || cur >= count) {
        cur = 0;
    }
    for (int k = 0; k < count; ++k) {
        const std::string sec = presetSection(k);
        const std::string name = st.getString(sec, "Name", "");
        if (name.empty()) continue;
        NamedFontPreset p{name, {}};
        p.preset.load(st, sec);
        presets.push_back(std::move(p));
    }
    if (presets.empty() || int(presets.size()) < count) {
        presets.push_back({"Standard", FontPreset::standard()});
        current = 0;
    } else {
        current = cur;
    }
}

void FontPresetList::save(SettingsStore& st) const {
    const int old = std::min(st.getInt(kFontWizardSection, "nCnt", 0), kMaxPresets);
    st.setInt(kFontWizardSection, "nCnt", int(presets.size()));
    st.setInt(kFontWizardSection, "nCur", current);
    for (size_t k = 0; k < presets.size(); ++k) {
        const std::string sec = presetSection(int(k));
        st.setString(sec, "Name", presets[k].name);
        presets[k].preset.store(st, sec);
    }
    for (int k = int(presets.size()); k < old; ++k) st.removeSection(presetSection(k));
}

NamedFontPreset* FontPresetList::selected() {
    return current >= 0 && current < int(presets.size()) ? &presets[size_t(current)] : nullptr;
}

const NamedFontPreset* FontPresetList::selected() const {
    return current >= 0 && current < int(presets.size()) ? &presets[size_t(current)] : nullptr;
}

int FontPresetList::find(const std::string& name) const { return findPresetByName(presets, name); }

std::string FontPresetList::baseName(const std::string& name) {
    std::string base = name;
    if (name.size() >= 9 && name.compare(0, 5, "Copy ") == 0) {
        // " of " may share its blank with "Copy ": "Copy of X".
        const size_t of = name.find(" of ", 4);
        if (of != std::string::npos && of + 4 < name.size()) {
            const std::string between = of > 5 ? name.substr(5, of - 5) : std::string();
            if (onlyCopyCounter(between)) base = name.substr(of + 4);
        }
    }
    return base.empty() ? "Standard" : base;
}

void FontPresetList::addCopy() {
    const NamedFontPreset* sel = selected();
    const std::string base = baseName(sel ? sel->name : std::string());
    int count = 0;
    for (const NamedFontPreset& p : presets)
        if (baseName(p.name) == base) ++count;
    auto named = [&](int k) {
        return k <= 1 ? "Copy of " + base : "Copy (" + std::to_string(k) + ") of " + base;
    };
    // After a deletion the count can name a copy that is still there; two presets of one name
    // could not be told apart in the list, so the counter moves on to a free name.
    count = std::max(count, 1);
    std::string name = named(count);
    while (find(name) >= 0) name = named(++count);
    presets.push_back({name, sel ? sel->preset : FontPreset::standard()});
    current = int(presets.size()) - 1;
}

bool FontPresetList::removeSelected(std::string* message) {
    return deletePresetAt(presets, current, current, false, message);
}

bool FontPresetList::renameSelected(const std::string& typed) {
    return renamePresetAt(presets, current, typed);
}
