#include "model/recent_files.h"

#include <algorithm>

namespace {
const char* kSection = "Recent File List";
std::string entryName(int i) { return "File" + std::to_string(i + 1); }
}  // namespace

void RecentFileList::load(const SettingsStore& store) {
    files_.clear();
    for (int i = 0; i < kSize; ++i) {
        const std::string f = store.getString(kSection, entryName(i), "");
        // Gaps and repeats in a hand-edited file are skipped.
        if (!f.empty() && std::find(files_.begin(), files_.end(), f) == files_.end())
            files_.push_back(f);
    }
}

void RecentFileList::save(SettingsStore& store) const {
    for (int i = 0; i < kSize; ++i) {
        if (i < int(files_.size()))
            store.setString(kSection, entryName(i), files_[size_t(i)]);
        else
            store.remove(kSection, entryName(i));
    }
}

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > size_t(kSize)) files_.resize(size_t(kSize));
}

void RecentFileList::remove(const std::string& path) {
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
}

std::string RecentFileList::menuText(int index, const std::string& path, size_t width) {
    std::string shown = path;
    if (shown.size() > width && width > 5) {
        const size_t keep = width - 3;
        shown = shown.substr(0, keep / 2) + "..." + shown.substr(shown.size() - (keep - keep / 2));
    }
    // "&&" keeps an ampersand in a file name from becoming a mnemonic.
    std::string escaped;
    for (char c : shown) {
        if (c == '&') escaped += '&';
        escaped += c;
    }
    return (index < 9 ? "&" + std::to_string(index + 1) : std::string("1&0")) + " " + escaped;
}
