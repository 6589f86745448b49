// The preferences record: the application-wide settings loaded at start-up, edited in the
// "Preferences" dialog and written back only when its "Save settings" box is ticked.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/ports.h"

struct Preferences {
    static constexpr int kFrameMin = 8;
    static constexpr int kFrameMax = 1024;
    static constexpr int kNewSizeMax = 65535;
    static constexpr int kRecentDirs = 6;
    // The editor's undo history: MiB of kept snapshots; 0 keeps the classic single level.
    static constexpr int kUndoMemoryMax = 65536;

    int frameWidth = 32;                // "Frame" / "width"
    int frameHeight = 32;               // "Frame" / "height"
    int isoFrameWidth = 64;             // "Iso-Frame" / "width"
    int isoFrameHeight = 32;            // "Iso-Frame" / "height"
    int startMode = 0;                  // "StartMode": 1 starts new views in isometric grid mode
    bool autoloadLast = false;          // "Autoload recent 0"
    bool grayInactive = false;          // "Gray inactive view" (read only)
    bool addOnCopy = false;             // "add on copy"
    bool addOnPaste = true;             // "add on paste"
    int compressTga = 1;                // "CompressTGA": 0 none, 1 normal, 2 scanline
    int lastNewWidth = 512;             // "last_new_sizex"
    int lastNewHeight = 512;            // "last_new_sizey"
    std::string saveDir;                // "SaveDir": start folder of the save and export dialogs
    std::string workDir;                // "WorkDir": start folder of the open dialog
    std::string saveDirs[kRecentDirs];  // "SaveDir1".."SaveDir6"
    std::string workDirs[kRecentDirs];  // "WorkDir1".."WorkDir6"
    std::string palFile;                // "palfile": palette loaded at start-up
    bool chequerBoard = false;          // "Chequer board": transparent pixels over a chequer board
    int undoMemoryMiB = 512;            // "Undo memory": MiB of undo history per document
    bool timedPlay = true;              // "Timed play": frames shown for their durations

    size_t undoBudgetBytes() const { return size_t(undoMemoryMiB) << 20; }

    // Reads every value with its default; numbers outside their range are brought into it (a
    // compression mode that does not exist falls back to normal), so no stored value can make a
    // frame of size 0 or a file the writer does not know.
    void load(const SettingsStore& store);
    // What OK writes when "Save settings" is ticked (not "bSave", not the last new size).
    void save(SettingsStore& store) const;
    // "last_new_sizex" / "last_new_sizey", written at exit.
    void saveLastNewSize(SettingsStore& store) const;
    // The "Save settings" box as it was last closed ("bSave").
    static bool saveFlag(const SettingsStore& store);
    static void setSaveFlag(SettingsStore& store, bool on);
    // Frame > "Play at frame durations", stored as soon as it is toggled.
    static void saveTimedPlay(SettingsStore& store, bool on);
};

// A directory box of the Preferences dialog: the remembered folders (at most six are kept) and
// the current one.
class DirectoryBox {
public:
    DirectoryBox(const std::string (&recent)[Preferences::kRecentDirs], const std::string& current);

    const std::vector<std::string>& entries() const { return entries_; }
    // Index of the current folder in entries(), -1 when it is not listed (or empty).
    int selected() const { return selected_; }
    const std::string& current() const { return current_; }

    // An entry chosen from the list moves to the top and becomes current.
    void choose(int index);
    // The edit field lost the focus with `text`. Empty clears the folder; a text that is not
    // listed loses one trailing slash or backslash and, when `exists` says so, is inserted where
    // the last chosen entry stands and becomes current. Returns the error text ("Cannot access
    // directory %1" with the name) or an empty string.
    std::string commitText(const std::string& text,
                           const std::function<bool(const std::string&)>& exists);
    // A folder picked with "...": inserted at the top and current.
    void browsed(const std::string& folder);
    // OK: the first six entries (missing ones empty) and the current folder.
    void store(std::string (&recent)[Preferences::kRecentDirs], std::string& current) const;

    // One trailing "/" or "\" removed.
    static std::string withoutTrailingSlash(std::string s);

private:
    std::vector<std::string> entries_;
    std::string current_;
    int selected_ = -1;
    int lastChosen_ = 0;
};
