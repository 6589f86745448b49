// Settings records list their values once, as a table of (name, member), and load and save
// through that table, so a value cannot be read under one name and written under another.
#pragma once

#include <cstdint>
#include <string>

#include "model/ports.h"

template <class Record> struct SettingsField {
    const char* name;
    int Record::*number = nullptr;
    std::string Record::*text = nullptr;
    bool Record::*flag = nullptr;      // stored as 0 or 1, read as "not 0"
    uint32_t Record::*word = nullptr;  // a pixel word, stored as its signed 32-bit value
};

// Each absent value keeps the record's own default.
template <class Record, size_t N>
void loadSettingsFields(const SettingsStore& store, const std::string& section,
                        const SettingsField<Record> (&fields)[N], Record& r) {
    for (const auto& f : fields) {
        if (f.number) r.*f.number = store.getInt(section, f.name, r.*f.number);
        if (f.text) r.*f.text = store.getString(section, f.name, r.*f.text);
        if (f.flag) r.*f.flag = store.getInt(section, f.name, r.*f.flag ? 1 : 0) != 0;
        if (f.word) r.*f.word = uint32_t(store.getInt(section, f.name, int(int32_t(r.*f.word))));
    }
}

template <class Record, size_t N>
void saveSettingsFields(SettingsStore& store, const std::string& section,
                        const SettingsField<Record> (&fields)[N], const Record& r) {
    for (const auto& f : fields) {
        if (f.number) store.setInt(section, f.name, r.*f.number);
        if (f.text) store.setString(section, f.name, r.*f.text);
        if (f.flag) store.setInt(section, f.name, r.*f.flag ? 1 : 0);
        if (f.word) store.setInt(section, f.name, int(int32_t(r.*f.word)));
    }
}
