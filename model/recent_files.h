// The recent-file list of the File menu: the ten files last opened or saved, newest first, kept
// in settings section "Recent File List" as "File1" to "File10".
#pragma once

#include <string>
#include <vector>

#include "model/ports.h"

class RecentFileList {
public:
    static constexpr int kSize = 10;

    void load(const SettingsStore& store);
    void save(SettingsStore& store) const;
    // Puts path at the top (moving it when listed already); the eleventh falls off.
    void add(const std::string& path);
    void remove(const std::string& path);
    const std::vector<std::string>& files() const { return files_; }
    // The entry's menu text: "&1 name" with the path shortened in the middle to `width`.
    static std::string menuText(int index, const std::string& path, size_t width = 60);

private:
    std::vector<std::string> files_;
};
