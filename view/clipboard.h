// Copy, cut and paste of rectangles between documents and with the system clipboard. The program
// keeps its own copy buffer, a whole frame sequence, so that copying from an animation takes the
// area of every frame and pasting into one goes frame by frame; the system clipboard gets the
// buffer's first frame on every copy and can be read back as a paste source or a new document.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "document/document.h"
#include "model/frame_sequence.h"
#include "model/ports.h"
#include "view/view_state.h"

class PositionListPanel;

// The application-wide copy buffer and the name of the position item last copied; shared by all
// documents, which is what lets a copy from one be pasted into another. The main window owns the
// one the editor uses and hands it to the copy and paste functions below.
class CopyBuffer {
public:
    bool exists() const { return frames_ != nullptr; }
    const FrameSequence* frames() const { return frames_.get(); }
    FrameSequence* frames() { return frames_.get(); }
    void replace(std::unique_ptr<FrameSequence> frames) { frames_ = std::move(frames); }
    void clear() { frames_.reset(); }

    // Set by a copy (with "add on copy"), used as the name of the item a paste adds.
    std::string currentItemName;

private:
    std::unique_ptr<FrameSequence> frames_;
};

// Where a copy or paste may record its rectangle: the position list window's panel, null while
// the window does not exist, and whether the "add on copy" / "add on paste" preference is on.
struct PositionAutoAdd {
    PositionListPanel* panel = nullptr;
    bool onCopy = false;
    bool onPaste = true;
};

// Copies selection `sel` of every frame of doc into the copy buffer (frames whose alpha is all 0
// become opaque) and puts its first frame on the system clipboard (`port` may be null). Shows
// "Out of Memory" and returns false when the copy cannot be made; the old buffer then stays.
bool clipboardCopy(CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& sel, Prompts& prompts,
                   ClipboardPort* port, const PositionAutoAdd& autoAdd = {});

// The colour a cut leaves behind: the value of the first uniform side of the one-pixel ring
// around sel, in the order top, left, right, bottom; sides on the image border do not count.
// 0 when no side qualifies.
uint32_t cutFillColour(const Frame& frame, const TxRect& sel);

// Copy, then fill sel in the current frame with cutFillColour (one undo step).
bool clipboardCut(CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& sel, Prompts& prompts,
                  ClipboardPort* port, const PositionAutoAdd& autoAdd = {});

// Replaces the copy buffer with the system clipboard's picture: one frame, top row first.
// False, with the buffer unchanged, when the clipboard holds no picture or one that is refused.
bool readSystemClipboard(CopyBuffer& buffer, ClipboardPort& port);

// The size of the clipboard picture for the "New size" dialog's Clipboardsize button: only for
// an accepted picture of at least 16 bits.
std::optional<std::pair<int, int>> clipboardPictureSize(ClipboardPort& port);

// Paste as new document: reads the system clipboard and makes a document of the picture through
// the pending 256 x 256 request of `context` (the one the factory's documents share). Shows
// "Create NewDocument failed" when no such document could be made. Null when the clipboard had no
// accepted picture or on failure.
CBitmapDoc* pasteAsNewDocument(CopyBuffer& buffer, ClipboardPort& port, Prompts& prompts,
                               DocumentContext& context,
                               const CBitmapDoc::NewDocumentFactory& newDocument);

// Paste: starts the view's placement of a rectangle of the copy buffer's current frame size,
// centred on the cursor; the mouse moves it and a click hands it to `target`, which calls
// pasteAt. False when there is no copy buffer.
bool beginPaste(const CopyBuffer& buffer, ViewState& view, PasteTarget* target);

// The drop of a placement: pastes the copy buffer into doc at rect's top-left corner and, with
// "add on paste", records rect (unless it is the whole image) under the current item name. True
// when pixels were pasted.
bool pasteAt(const CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& rect,
             const PositionAutoAdd& autoAdd = {});
