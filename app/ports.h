// The small interfaces through which the logic talks to the person at the screen. Each has a Qt
// implementation in ui/, a scripted one for tests and a flag-driven one in tarquil-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// Message boxes and option dialogs. Every option dialog is a function that takes the defaults and
// returns the chosen values, or nothing when the person cancelled. Commands add their dialogs
// here as they arrive; the defaults below answer like a person who accepts every default.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual MsgResult message(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;
};

// Integer and string values by section and name, each read with its default.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int getInt(const std::string& section, const std::string& name, int def) const = 0;
    virtual std::string getString(const std::string& section, const std::string& name,
                                  const std::string& def) const = 0;
    virtual void setInt(const std::string& section, const std::string& name, int value) = 0;
    virtual void setString(const std::string& section, const std::string& name,
                           const std::string& value) = 0;
    virtual bool contains(const std::string& section, const std::string& name) const = 0;
    virtual void remove(const std::string& section, const std::string& name) = 0;
    // Drops a whole section (used when a list of presets is rewritten).
    virtual void removeSection(const std::string& section) = 0;
};

// Long work over several frames or files: begin with the total, then one step per unit.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(int total) = 0;
    virtual void step() = 0;
    virtual void end() {}
};

// A progress that shows nothing, for callers that have no status bar.
class NullProgress : public Progress {
public:
    void begin(int) override {}
    void step() override {}
};

// The system clipboard: a CF_DIB block (bitmap info header, optional colour table, bits) and text.
class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    virtual void putDib(const std::vector<uint8_t>& block) = 0;
    virtual std::optional<std::vector<uint8_t>> getDib() = 0;
    virtual void putText(const std::string& text) = 0;
    virtual std::optional<std::string> getText() = 0;
};
