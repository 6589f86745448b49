#include "tools/codegen/pos_format_settings.h"

#include <algorithm>
#include <cctype>

#include "model/preset_names.h"
#include "model/settings_fields.h"
#include "tools/codegen/sheet_template.h"

const char* const kPosFormatSection = "PosFormat";

namespace {

// A damaged settings file cannot make loading walk billions of absent keys.
constexpr int kMaxPresets = 1024;

std::string key(int k, const char* what) { return std::to_string(k) + " " + what; }

// The options under their own names; the preset list follows them.
const SettingsField<PosFormatSettings> kOptionFields[] = {
    {"bSave", nullptr, nullptr, &PosFormatSettings::save},
    {"bBlock", nullptr, nullptr, &PosFormatSettings::block},
    {"bComment", nullptr, nullptr, &PosFormatSettings::comment},
    {"bDate", nullptr, nullptr, &PosFormatSettings::date},
    {"bFile", nullptr, nullptr, &PosFormatSettings::file},
    {"bC++style", nullptr, nullptr, &PosFormatSettings::cppStyle},
    {"nSort", &PosFormatSettings::sort},
};

}  // namespace

void PosFormatSettings::load(const SettingsStore& st) {
    const std::string sec = kPosFormatSection;
    *this = PosFormatSettings{};
    loadSettingsFields(st, sec, kOptionFields, *this);
    if (sort < POS_SORT_NONE || sort > POS_SORT_X1Y1) sort = POS_SORT_NONE;
    const int count = std::min(st.getInt(sec, "nCnt", 0), kMaxPresets);
    const int cur = st.getInt(sec, "nCur", 0);
    presets.clear();
    presets.push_back({"Standard", st.getString(sec, key(0, "string"), kStandardFormat)});
    for (int k = 1; k < count; ++k) {
        PosFormatPreset p{st.getString(sec, key(k, "name"), ""),
                          st.getString(sec, key(k, "string"), "")};
        if (!p.name.empty() && !p.format.empty()) presets.push_back(std::move(p));
    }
    current = (cur >= 0 && cur < int(presets.size())) ? cur : 0;
    templateName = st.getString(sec, "sTemplate", "");
    if (!findBuiltinTemplate(templateName)) templateName.clear();
}

void PosFormatSettings::store(SettingsStore& st) const {
    const std::string sec = kPosFormatSection;
    if (!save) {
        st.setInt(sec, "bSave", 0);
        return;
    }
    // The section is rewritten whole so presets deleted since the last save do not linger.
    st.removeSection(sec);
    saveSettingsFields(st, sec, kOptionFields, *this);  // "bSave" is 1 here
    st.setInt(sec, "nCur", current);
    st.setInt(sec, "nCnt", int(presets.size()));
    if (!templateName.empty()) st.setString(sec, "sTemplate", templateName);
    for (size_t k = 0; k < presets.size(); ++k) {
        st.setString(sec, key(int(k), "string"), presets[k].format);
        st.setString(sec, key(int(k), "name"), k == 0 ? std::string("Standard") : presets[k].name);
    }
}

CodegenOptions PosFormatSettings::options() const {
    CodegenOptions o;
    o.sort = (sort >= POS_SORT_NONE && sort <= POS_SORT_X1Y1) ? sort : POS_SORT_NONE;
    o.comment = comment;
    o.date = date;
    o.cppStyle = cppStyle;
    o.file = file;
    o.block = block;
    return o;
}

const PosFormatPreset& PosFormatSettings::currentPreset() const {
    static const PosFormatPreset standard{"Standard", kStandardFormat};
    if (current >= 0 && current < int(presets.size())) return presets[size_t(current)];
    return presets.empty() ? standard : presets.front();
}

int PosFormatSettings::findPreset(const std::string& name) const {
    return findPresetByName(presets, name);
}

bool PosFormatSettings::addPreset(const std::string& name) {
    if (name.empty()) return false;
    presets.push_back({name, kNewPresetFormat});
    current = int(presets.size()) - 1;
    return true;
}

bool PosFormatSettings::deletePreset(int index, std::string* message) {
    return deletePresetAt(presets, current, index, true, message);
}

bool PosFormatSettings::renamePreset(int index, const std::string& typed) {
    return renamePresetAt(presets, index, typed);
}
