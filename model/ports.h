// The small interfaces through which the logic talks to the person at the screen. Each has a Qt
// implementation in ui/, a scripted one for tests and a flag-driven one in tarquil-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// Message boxes and option dialogs. Every option dialog is a function that takes the defaults and
// returns the chosen values, or nothing when the person cancelled. Commands add their dialogs
// here as they arrive; the defaults below answer like a person who accepts every default.
// "Sequence load options": one frame, all frames or a range of "Load N Frames".
enum SequenceLoadMode : int { SEQ_LOAD_SINGLE = 0, SEQ_LOAD_ALL = 1, SEQ_LOAD_RANGE = 2 };
struct SequenceLoadOptions {
    int frames = 1;  // "Load N Frames", 1..100
    SequenceLoadMode mode = SEQ_LOAD_ALL;
    int every = 1;  // "Every Nth Frame", 1..100
};

// "Sequence save options": mode 0 all frames, 1 range.
struct SequenceSaveOptions {
    int increment = 1;
    int firstNumber = 0;   // 0..65536
    int startFrame = 1;    // 1-based, 0..65565
    int framesToSave = 1;  // 1..655536
    int mode = 0;
    bool singleFile = false;
};

// The palette options answer for an 8-bit save: use the dialog's palette (fixed) or make one from
// the image.
struct PaletteChoice {
    bool useFixedPalette = false;
    uint32_t palette[256] = {};  // 0x00RRGGBB
};

// "Set maximum values": the largest sheet a sheet arrangement may fill, 0..65535 each; a ticked
// "automatic" box (or a typed 0) lets the packer choose that side. The packing method (0 rows,
// 1 MaxRects) and the padding between sprites (MaxRects only) travel with the answer.
struct MaxSizeOptions {
    int width = 0;
    int height = 0;
    bool autoWidth = false;
    bool autoHeight = false;
    int method = 0;
    int padding = 0;
};

// A file chosen in a file dialog, with the 1-based index of the filter entry that was selected.
struct FileChoice {
    std::string path;
    int filterIndex = 1;
};

// "Resize": the new canvas size and whether the picture is centred on it.
struct ResizeChoice {
    int width = 1;
    int height = 1;
    bool centre = false;
};

// "Frame Properties": how long a frame is shown while playing, for the current frame or all.
struct FrameTiming {
    static constexpr int kMinMs = 1;
    static constexpr int kMaxMs = 65535;
    int durationMs = 100;
    bool allFrames = false;
};

struct ExportTextureSettings;
struct AnimMasterOptions;

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual MsgResult message(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;

    virtual std::optional<SequenceLoadOptions> sequenceLoadOptions(const SequenceLoadOptions& d) {
        return d;
    }
    virtual std::optional<SequenceSaveOptions> sequenceSaveOptions(const SequenceSaveOptions& d) {
        return d;
    }
    // "New size": width and height 1..65535.
    virtual std::optional<std::pair<int, int>> newSize(int width, int height) {
        return std::make_pair(width, height);
    }
    // Save dialog with a "Name|*.ext|..." filter list; `initialPath` is the suggested name.
    virtual std::optional<FileChoice> saveFile(const std::string& /*title*/,
                                               const std::string& /*filter*/,
                                               const std::string& initialPath, int filterIndex) {
        return FileChoice{initialPath, filterIndex};
    }
    virtual std::optional<PaletteChoice> paletteOptions() { return PaletteChoice{}; }
    // "Export 3df Texture": edits the settings in place; false when cancelled.
    virtual bool exportTextureOptions(ExportTextureSettings& /*settings*/) { return true; }
    virtual std::optional<MaxSizeOptions> maxSize(const MaxSizeOptions& d) { return d; }
    // "Scale": the new width and height, starting from the current frame's size.
    virtual std::optional<std::pair<int, int>> scaleSize(int width, int height) {
        return std::make_pair(width, height);
    }
    // "Resize": the new canvas, starting from the current frame's size and the centre flag.
    virtual std::optional<ResizeChoice> resizeCanvas(const ResizeChoice& d) { return d; }
    // "AnimMaster - Optimizer V1.0": edits the options in place; false when cancelled.
    virtual bool animMasterOptions(AnimMasterOptions& /*options*/) { return true; }
    // "Frame Properties": the duration and its reach, or nothing when cancelled.
    virtual std::optional<FrameTiming> frameProperties(const FrameTiming& d) { return d; }
    // "Create Mask": the bias of the 1-bit mask, 0..255, or nothing when cancelled.
    virtual std::optional<int> maskBias(int bias) { return bias; }
    // "Rename item": the edited name, or nothing when cancelled.
    virtual std::optional<std::string> renameItem(const std::string& name) { return name; }
    // Wait cursor around long work.
    virtual void busy(bool /*on*/) {}
    // Text for the first pane of the status bar ("Texture export OK").
    virtual void status(const std::string& /*text*/) {}
};

// The wait cursor for the life of one command; it comes back off on every way out.
class BusyCursor {
public:
    explicit BusyCursor(Prompts& prompts) : prompts_(prompts) { prompts_.busy(true); }
    ~BusyCursor() { prompts_.busy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Prompts& prompts_;
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
    // A copied picture: the 24-bit block and the same picture as argb8888 words (top row first),
    // for ports that can offer a format with alpha beside the block. The default offers the block.
    virtual void putPicture(const std::vector<uint8_t>& block, int /*width*/, int /*height*/,
                            const uint32_t* /*argb*/) {
        putDib(block);
    }
    // Whether the clipboard offers a picture, without decoding it (enables the paste commands).
    virtual bool hasDib() { return getDib().has_value(); }
    virtual void putText(const std::string& text) = 0;
    virtual std::optional<std::string> getText() = 0;
};
