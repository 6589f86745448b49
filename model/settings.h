// SettingsStore implementations without Qt: in memory (tests, --no-settings) and an INI file in the
// layout QSettings uses, so the editor and tarquil-cli share one file.
#pragma once

#include <map>
#include <string>

#include "model/ports.h"

class MemorySettingsStore : public SettingsStore {
public:
    int getInt(const std::string& section, const std::string& name, int def) const override;
    std::string getString(const std::string& section, const std::string& name,
                          const std::string& def) const override;
    void setInt(const std::string& section, const std::string& name, int value) override;
    void setString(const std::string& section, const std::string& name,
                   const std::string& value) override;
    bool contains(const std::string& section, const std::string& name) const override;
    void remove(const std::string& section, const std::string& name) override;
    void removeSection(const std::string& section) override;

    // Key is "section/name" (a backslash in the section becomes '/').
    const std::map<std::string, std::string>& values() const { return values_; }

protected:
    static std::string key(const std::string& section, const std::string& name);
    std::map<std::string, std::string> values_;
    bool dirty_ = false;
};

// Reads the file on construction and writes it back (through a temporary file) on flush and on
// destruction when something changed.
class IniSettingsStore : public MemorySettingsStore {
public:
    explicit IniSettingsStore(std::string path);
    ~IniSettingsStore() override;
    bool flush();
    const std::string& path() const { return path_; }

    // ~/.config/BrightvaleWorks/Tarquil Studio 1.0.conf (XDG_CONFIG_HOME respected).
    static std::string defaultPath();

private:
    std::string path_;
};
