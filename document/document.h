// The document: one open image or animation with its position list, path, undo and redo, and the
// commands that create, open, save, save under a new name and export it. Free of any platform:
// every question goes through Prompts, and views learn of changes through hints.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/app_palette.h"
#include "model/frame_sequence.h"
#include "model/frame_writers.h"
#include "model/numbered_path.h"
#include "model/ports.h"
#include "model/position_list.h"

// Command identifiers of the menus and tool bars.
enum DocCommand : int {
    CMD_NEW = 57600,
    CMD_OPEN = 57601,
    CMD_SAVE = 57603,
    CMD_SAVE_AS = 57604,
    CMD_UNDO = 57643,
    CMD_REDO = 57644,
    CMD_FIRST_FRAME = 32772,
    CMD_LAST_FRAME = 32773,
    CMD_NEXT_FRAME = 32774,
    CMD_PREVIOUS_FRAME = 32775,
    CMD_PLAY = 32776,
    CMD_EXPORT = 32789,
    CMD_ANIMMASTER = 32814,  // Tools, "&Animationmaster"
};

// Update hints sent to the views.
enum DocHint : int {
    HINT_FRAME = 0,       // the current frame or its pixels changed
    HINT_FULL = -1,       // size or content changed: full refresh
    HINT_SELECT = -2,     // select the rectangle that comes with the hint
    HINT_POSITIONS = -3,  // only the position list changed
};

// The request that gives the next new document its size without asking.
struct PendingNewDocument {
    uint16_t serial = 0;
    int width = 0;
    int height = 0;
};
// The serial number the next document object will receive.
uint16_t nextDocumentSerial();

// Values the document keeps between commands (loaded from and saved to the settings by the
// application): the last "New size" and the folders of the file dialogs.
struct DocumentSettings {
    int lastNewWidth = 512;
    int lastNewHeight = 512;
    std::string saveDir;
};

// What the documents of one application share: the values kept between commands, the request
// that sizes the next new document, the writers' options the preferences choose (Save As picks
// the BMP depth for its one save) and the current palette, whose colours 8-bit lumps take. The
// application owns one and hands it to every document it makes, so that a command's new document
// takes the request of the document that made it.
struct DocumentContext {
    DocumentSettings settings;
    PendingNewDocument pending;
    WriteOptions write;
    AppPalette palette;
};

struct SequenceLoadReport;
struct ArrangeResult;
// The message of an open that failed with the sequence loader's `code`: "Unrecogniced file
// format" and the file, then the reader's reason as "name: reason" (a series names the file of it
// that failed); a sequence over its memory budget says "Out of Memory" with the budget's reason.
std::string openFailureText(const std::string& path, int code, const SequenceLoadReport& report);

struct FontPreset;
struct FontLayout;
// What a font texture run made differently from the preset, one line each (empty: nothing): a
// face that is not installed and what replaced it, fixed cells that clip glyphs, characters
// drawn as the missing-glyph box.
std::string fontRunNotes(const FontPreset& preset, const FontLayout& layout);

struct FontPreset;
struct FontLayout;

class CBitmapDoc {
public:
    // A document on its own keeps a context of its own; the application's share one.
    CBitmapDoc();
    explicit CBitmapDoc(DocumentContext& context);
    ~CBitmapDoc();
    CBitmapDoc(const CBitmapDoc&) = delete;
    CBitmapDoc& operator=(const CBitmapDoc&) = delete;

    uint16_t serial() const { return serial_; }
    DocumentContext& context() { return *context_; }

    // Framework operations.
    void deleteContents();
    bool onNewDocument(Prompts& prompts);
    bool onOpenDocument(const std::string& path, Prompts& prompts);
    // Writes the document in its type. A type without a writer offers Save As instead; a failed
    // write is reported and leaves the document modified. True when the document was written.
    bool onSaveDocument(const std::string& path, Prompts& prompts, Progress* progress = nullptr);

    // Commands.
    bool save(Prompts& prompts, Progress* progress = nullptr);
    bool saveAs(Prompts& prompts, Progress* progress = nullptr);
    void undo();
    void redo();
    void firstFrame();
    void lastFrame();
    void nextFrame();
    void previousFrame();
    void togglePlay();
    // The view's animation tick (every second 83 ms timer event).
    void animationTick();
    // Timed play: `ms` milliseconds passed; each frame stays for its own duration.
    void animationElapsed(int ms);
    // How long the current frame still stays while playing by durations.
    int playRemainingMs() const {
        return frames_ ? play_.remainingMs(*frames_) : Frame::kDefaultDurationMs;
    }
    // "Frame Properties": the duration (1..65535 ms) of the current frame or of every frame, as
    // an undo step. False without frames or with a duration out of range.
    bool setFrameDuration(int ms, bool allFrames);

    bool isEnabled(DocCommand command);
    bool isChecked(DocCommand command) const;

    // Image operations and masks (defined in document_edit.cpp).
    // -- begin image operations --
    // Geometric edits of every frame. Each takes the undo snapshot first (the flips excepted),
    // marks the document modified and updates the views (hint -1; flips 0). A frame that fails
    // stops the loop without a message; the result is that frame's code, 0 when all went well.
    // Crop to rect (normalised, clipped to each frame) and append the position item "crop".
    int crop(const TxRect& rect, Progress* progress = nullptr);
    // Crop to the content found by auto crop's search, appending "autocrop"; when nothing is
    // found "Autocrop failed" is shown and nothing changes.
    int autoCrop(Prompts& prompts, Progress* progress = nullptr);
    // Resample to width x height (1..65535) and rescale the position items.
    int scale(int width, int height, Progress* progress = nullptr);
    // New canvas of width x height (1..65535), the picture at the top left or centred.
    int resizeCanvas(int width, int height, bool centre, Progress* progress = nullptr);
    // Mirror left-right / top-bottom, the whole frames or only rect.
    int flipHorizontal(const TxRect* rect = nullptr, Progress* progress = nullptr);
    int flipVertical(const TxRect* rect = nullptr, Progress* progress = nullptr);
    // Project onto the isometric diamond and crop to the content.
    int isoFlip(Progress* progress = nullptr);

    // Mask commands on the view's mask surface. Each builds or edits the surface for the current
    // frame, sets maskModified and writes the surface into the frame's alpha channel after an
    // undo snapshot. False when there is no current frame (or, for clear, invert and key colour,
    // while the animation plays); then neither surface nor frame changes.
    // Alpha = the surface's mask values (no view update: the showing view has the mask already).
    bool writeMaskToAlpha(const ImageBuffer& mask);
    // Rebuilds the surface from the current frame (kinds of edit/mask_ops.h; 1 uses alphaBias).
    bool rebuildMask(ImageBuffer& mask, int kind) const;
    // "1-bit alpha channel": keeps `bias` as the document's bias.
    bool maskOneBit(ImageBuffer& mask, uint8_t bias);
    bool maskEightBit(ImageBuffer& mask);
    bool maskIntensity(ImageBuffer& mask);
    bool maskBorder(ImageBuffer& mask);
    bool maskClear(ImageBuffer& mask);
    bool maskInvert(ImageBuffer& mask);
    // The picked key colour: with several frames every frame's alpha (one undo step, hint -1),
    // with one the mask of the current frame.
    bool keyColour(ImageBuffer& mask, uint32_t key, Progress* progress = nullptr);
    // -- end image operations --

    // Texture export (defined in document_export.cpp).
    // -- begin export --
    // The export command: options from the "Export 3df Texture" dialog (its settings in `store`),
    // then a file name; shows "Export failed" or the status "Texture export OK". Returns the
    // writer's result (-1 when cancelled). The document itself does not change.
    int exportTexture(Prompts& prompts, SettingsStore& store);
    // -- end export --

    // Tools that change or create documents (defined in document_tools.cpp).
    // -- begin tools --
    // Makes a new document the way the framework's New does (its onNewDocument picks up the
    // pending request) and returns it, or null; the framework owns what it returns.
    using NewDocumentFactory = std::function<CBitmapDoc*(Prompts&)>;
    // "Arrange" of the position list window: asks "Set maximum values", packs the listed
    // rectangles of the current frame into a new document of the packed size with the items at
    // their new places (old places as source rectangles). This document is not changed. Null when
    // the list is empty, on cancel, or on failure (the message has been shown). `outcome`, when
    // given, receives the arrangement (on a failure to fit, the item that found no room).
    CBitmapDoc* arrange(Prompts& prompts, const NewDocumentFactory& newDocument,
                        ArrangeResult* outcome = nullptr);
    // The AnimMaster optimiser over every frame, after an undo snapshot. Returns its result code
    // (0, 265 without frames, 489 when the buffer type made no difference pass).
    int animMaster(int bufferType, uint32_t key, int flags, Prompts& prompts,
                   Progress* progress = nullptr);
    // Whether a tool command can run: AnimMaster needs more than one frame.
    bool toolEnabled(DocCommand command) const;
    // Font texture (document_font.cpp): renders the preset's characters into a new document
    // made through the pending request, with one position item per character and no undo. The
    // measured cell size goes back into `preset` where its cell size is 0. Null after a reported
    // failure; `layout`, when given, receives the glyph metrics and kerning (font descriptors).
    // `context` is the one the factory's documents share.
    static CBitmapDoc* generateFontTexture(FontPreset& preset, Prompts& prompts,
                                           DocumentContext& context,
                                           const std::function<CBitmapDoc*(Prompts&)>& newDocument,
                                           FontLayout* layout = nullptr);
    // -- end tools --

    // Clipboard edits (defined in document_clipboard.cpp).
    // -- begin clipboard --
    // Pastes the frames of `buffer` with their top-left corner at (x, y), cut to what fits the
    // current frame; pixels of alpha 0 leave the target as it was. Several document frames take
    // the buffer's frames from its first on, starting at the current frame and wrapping; a single
    // frame takes the buffer's current frame. False, with no undo snapshot, when nothing lands
    // (x or y negative, nothing left after the cut); else snapshot, modified, hint -1.
    bool paste(const FrameSequence& buffer, int x, int y);
    // Fills rect (clipped to the current frame) with the 32-bit value after an undo snapshot;
    // false when nothing of it lies in the frame. `label` names the step in the history.
    bool fill(uint32_t colour, const TxRect& rect, const std::string& label = "Clear");
    // -- end clipboard --

    // Undo support for edits: copy the sequence before changing it. `label` names the edit for
    // the Edit menu ("Crop" gives "Undo Crop").
    void takeSnapshot(const std::string& label = std::string());
    void discardSnapshots();
    // An edit that changed the frames without a snapshot (mirror, flip).
    void changedWithoutSnapshot();
    // The history's memory budget in bytes of snapshot pixels. 0 (a new document's value) keeps
    // the classic single level: one undo and one redo, flips not undoable. Above 0 every edit,
    // flips included, is a step; the oldest steps go first when the budget is exceeded, but the
    // newest always stays.
    void setUndoBudget(size_t bytes);
    size_t undoBudget() const { return undoBudget_; }
    int undoSteps() const { return int(undo_.size()); }
    int redoSteps() const { return int(redo_.size()); }
    // What Undo and Redo would take back or repeat ("" when unnamed or nothing).
    std::string undoLabel() const { return undo_.empty() ? std::string() : undo_.back().label; }
    std::string redoLabel() const { return redo_.empty() ? std::string() : redo_.back().label; }
    // Bytes of pixels the history holds now.
    size_t undoBytes() const;

    bool isModified() const { return modified_; }
    void setModified(bool m);
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t) { title_ = t; }
    const std::string& pathName() const { return pathName_; }
    void setPathName(const std::string& path);
    void rebuildTitle();

    FrameSequence* frames() { return frames_.get(); }
    const FrameSequence* frames() const { return frames_.get(); }
    const FrameSequence* undoSnapshot() const {
        return undo_.empty() ? nullptr : undo_.back().frames.get();
    }
    const FrameSequence* redoSnapshot() const {
        return redo_.empty() ? nullptr : redo_.back().frames.get();
    }
    // Replaces the content (tools that build a document for their own content).
    void setFrames(std::unique_ptr<FrameSequence> frames);

    PositionList& positions() { return positions_; }
    const PositionList& positions() const { return positions_; }
    NumberedPath& path() { return path_; }
    bool playing() const { return play_.playing; }
    uint8_t alphaBias = 255;
    bool maskModified = false;

    // Every update of the views goes through here; the GUI connects its views.
    std::function<void(DocHint hint, const TxRect* rect)> onUpdate;
    void updateAllViews(DocHint hint, const TxRect* rect = nullptr);
    // Reads the position files of the current path into the (empty) list.
    void readPositions();
    // The palette for readers that need one (LMP); null means the context's current palette.
    const uint32_t* palette = nullptr;

private:
    // The sequence as last opened or saved, wherever it now lives (current, undo or redo); the
    // document is unmodified only while that one is current.
    void markSaved() { saved_ = frames_.get(); }
    // One state of the history: the whole sequence and the name of the edit that followed it.
    struct UndoStep {
        std::unique_ptr<FrameSequence> frames;
        std::string label;
    };
    void forget(std::vector<UndoStep>& steps);
    void trimHistory();
    // Flips and mirrors: a step of their own with a budget, else only the modified flag.
    void beforeFlip(const std::string& label);

    uint16_t serial_;
    std::unique_ptr<DocumentContext> ownContext_;
    DocumentContext* context_;
    PositionList positions_;
    NumberedPath path_;
    PlayMode play_;
    std::unique_ptr<FrameSequence> frames_;
    std::vector<UndoStep> undo_, redo_;  // back(): the most recent
    size_t undoBudget_ = 0;
    const FrameSequence* saved_ = nullptr;
    bool modified_ = false;
    std::string title_, pathName_;
};
