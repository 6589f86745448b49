#include "model/preferences.h"

#include <algorithm>

#include "model/settings_fields.h"

namespace {

const SettingsField<Preferences> kFrameFields[] = {
    {"height", &Preferences::frameHeight},
    {"width", &Preferences::frameWidth},
};

const SettingsField<Preferences> kIsoFrameFields[] = {
    {"height", &Preferences::isoFrameHeight},
    {"width", &Preferences::isoFrameWidth},
};

// The values the dialog writes, in its order.
const SettingsField<Preferences> kDialogFields[] = {
    {"StartMode", &Preferences::startMode},
    {"Autoload recent 0", nullptr, nullptr, &Preferences::autoloadLast},
    {"add on copy", nullptr, nullptr, &Preferences::addOnCopy},
    {"add on paste", nullptr, nullptr, &Preferences::addOnPaste},
    {"CompressTGA", &Preferences::compressTga},
    {"SaveDir", nullptr, &Preferences::saveDir},
    {"WorkDir", nullptr, &Preferences::workDir},
    {"palfile", nullptr, &Preferences::palFile},
    {"Chequer board", nullptr, nullptr, &Preferences::chequerBoard},
    {"Undo memory", &Preferences::undoMemoryMiB},
};

// Read only: the dialog has no control for it.
const SettingsField<Preferences> kReadOnlyFields[] = {
    {"Gray inactive view", nullptr, nullptr, &Preferences::grayInactive},
    {"last_new_sizex", &Preferences::lastNewWidth},
    {"last_new_sizey", &Preferences::lastNewHeight},
    {"Timed play", nullptr, nullptr, &Preferences::timedPlay},
};

const char* kSettings = "Settings";

}  // namespace

void Preferences::load(const SettingsStore& store) {
    *this = Preferences{};
    loadSettingsFields(store, "Frame", kFrameFields, *this);
    loadSettingsFields(store, "Iso-Frame", kIsoFrameFields, *this);
    loadSettingsFields(store, kSettings, kDialogFields, *this);
    loadSettingsFields(store, kSettings, kReadOnlyFields, *this);
    for (int i = 0; i < kRecentDirs; ++i) {
        saveDirs[i] = store.getString(kSettings, "SaveDir" + std::to_string(i + 1), "");
        workDirs[i] = store.getString(kSettings, "WorkDir" + std::to_string(i + 1), "");
    }
    frameWidth = std::clamp(frameWidth, kFrameMin, kFrameMax);
    frameHeight = std::clamp(frameHeight, kFrameMin, kFrameMax);
    isoFrameWidth = std::clamp(isoFrameWidth, kFrameMin, kFrameMax);
    isoFrameHeight = std::clamp(isoFrameHeight, kFrameMin, kFrameMax);
    startMode = startMode != 0 ? 1 : 0;
    undoMemoryMiB = std::clamp(undoMemoryMiB, 0, kUndoMemoryMax);
    if (compressTga < 0 || compressTga > 2) compressTga = 1;
    lastNewWidth = std::clamp(lastNewWidth, 1, kNewSizeMax);
    lastNewHeight = std::clamp(lastNewHeight, 1, kNewSizeMax);
}

void Preferences::save(SettingsStore& store) const {
    saveSettingsFields(store, "Frame", kFrameFields, *this);
    saveSettingsFields(store, "Iso-Frame", kIsoFrameFields, *this);
    saveSettingsFields(store, kSettings, kDialogFields, *this);
    for (int i = 0; i < kRecentDirs; ++i) {
        store.setString(kSettings, "SaveDir" + std::to_string(i + 1), saveDirs[i]);
        store.setString(kSettings, "WorkDir" + std::to_string(i + 1), workDirs[i]);
    }
}

void Preferences::saveLastNewSize(SettingsStore& store) const {
    store.setInt(kSettings, "last_new_sizex", lastNewWidth);
    store.setInt(kSettings, "last_new_sizey", lastNewHeight);
}

bool Preferences::saveFlag(const SettingsStore& store) {
    return store.getInt(kSettings, "bSave", 0) != 0;
}

void Preferences::setSaveFlag(SettingsStore& store, bool on) {
    store.setInt(kSettings, "bSave", on ? 1 : 0);
}

void Preferences::saveTimedPlay(SettingsStore& store, bool on) {
    store.setInt(kSettings, "Timed play", on ? 1 : 0);
}

DirectoryBox::DirectoryBox(const std::string (&recent)[Preferences::kRecentDirs],
                           const std::string& current)
    : current_(current) {
    for (const std::string& d : recent)
        if (!d.empty()) entries_.push_back(d);
    for (size_t i = 0; i < entries_.size(); ++i)
        if (!current_.empty() && entries_[i] == current_) selected_ = int(i);
}

void DirectoryBox::choose(int index) {
    if (index < 0 || index >= int(entries_.size())) return;
    const std::string d = entries_[size_t(index)];
    entries_.erase(entries_.begin() + index);
    entries_.insert(entries_.begin(), d);
    current_ = d;
    selected_ = 0;
    lastChosen_ = 0;
}

std::string DirectoryBox::withoutTrailingSlash(std::string s) {
    if (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    return s;
}

std::string DirectoryBox::commitText(const std::string& text,
                                     const std::function<bool(const std::string&)>& exists) {
    if (text.empty()) {
        current_.clear();
        selected_ = -1;
        return {};
    }
    auto it = std::find(entries_.begin(), entries_.end(), text);
    if (it != entries_.end()) {
        current_ = text;
        selected_ = int(it - entries_.begin());
        return {};
    }
    std::string d = withoutTrailingSlash(text);
    // "/" itself stays a folder.
    if (d.empty()) d = text;
    if (!exists(d)) return "Cannot access directory " + d;
    const size_t at = std::min(size_t(std::max(lastChosen_, 0)), entries_.size());
    entries_.insert(entries_.begin() + long(at), d);
    current_ = d;
    selected_ = int(at);
    return {};
}

void DirectoryBox::browsed(const std::string& folder) {
    if (folder.empty()) return;
    entries_.erase(std::remove(entries_.begin(), entries_.end(), folder), entries_.end());
    entries_.insert(entries_.begin(), folder);
    current_ = folder;
    selected_ = 0;
    lastChosen_ = 0;
}

void DirectoryBox::store(std::string (&recent)[Preferences::kRecentDirs],
                         std::string& current) const {
    if (!entries_.empty())
        for (int i = 0; i < Preferences::kRecentDirs; ++i)
            recent[i] = i < int(entries_.size()) ? entries_[size_t(i)] : std::string();
    current = current_;
}
