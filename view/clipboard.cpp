#include "view/clipboard.h"

#include <algorithm>
#include <new>

#include "texlib/dib.h"
#include "tools/poslist/position_panel.h"

namespace {

bool isWholeImage(const TxRect& r, const Frame& f) {
    return r == TxRect{0, 0, f.width(), f.height()};
}

void putOnSystemClipboard(const Frame& f, ClipboardPort& port) {
    const std::vector<uint8_t> block = txDibWrite(f.width(), f.height(), f.pixels());
    // A block that cannot be had places nothing.
    if (!block.empty()) port.putPicture(block, f.width(), f.height(), f.pixels());
}

}  // namespace

bool clipboardCopy(CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& sel, Prompts& prompts,
                   ClipboardPort* port, const PositionAutoAdd& autoAdd) {
    const FrameSequence* source = doc.frames();
    const Frame* current = source ? source->currentFrame() : nullptr;
    std::unique_ptr<FrameSequence> copy;
    if (current && current->hasPixels()) {
        copy.reset(new (std::nothrow) FrameSequence(*source));
        if (copy && copy->count() != source->count()) copy.reset();
    }
    if (!copy || copy->crop(normalizedRect(sel)) != FE_OK) {
        prompts.message("Out of Memory", MsgIcon::Error, MsgButtons::Ok);
        return false;
    }
    // A picture without alpha would paste invisibly: frames whose alpha is all 0 become opaque.
    for (int i = 0; i < copy->count(); ++i) {
        Frame* f = copy->frameAt(i);
        if (!f->hasPixels() || !f->alphaAllZero()) continue;
        uint32_t* p = f->pixels();
        const size_t n = size_t(f->width()) * size_t(f->height());
        for (size_t k = 0; k < n; ++k) p[k] |= 0xFF000000u;
    }
    buffer.replace(std::move(copy));
    if (port) putOnSystemClipboard(*buffer.frames()->firstFrame(), *port);

    if (autoAdd.onCopy && autoAdd.panel) {
        // The name of the listed item this rectangle is (the last one wins), for the paste.
        buffer.currentItemName.clear();
        const PositionList& list = doc.positions();
        for (int i = 0; i < list.count(); ++i)
            if (list.at(i).equals(sel)) buffer.currentItemName = list.at(i).name;
        if (!isWholeImage(sel, *current) && autoAdd.panel->addItem(sel, std::string()))
            doc.updateAllViews(HINT_POSITIONS);
    }
    return true;
}

uint32_t cutFillColour(const Frame& frame, const TxRect& sel) {
    const uint32_t* px = frame.pixels();
    const int W = frame.width(), H = frame.height();
    if (!px) return 0;
    // The ring: sel grown by one pixel on every side, limited to the image.
    const TxRect s = normalizedRect(sel);
    const int l = std::max(0, s.left - 1), t = std::max(0, s.top - 1);
    const int w = std::min(W, s.right + 1) - l, h = std::min(H, s.bottom + 1) - t;
    if (w <= 0 || h <= 0 || l >= W || t >= H) return 0;
    auto at = [&](int x, int y) { return px[size_t(y) * size_t(W) + size_t(x)]; };
    // A side is uniform when its first n pixels all equal the first of them.
    auto uniformRow = [&](int y, uint32_t& colour) {
        colour = at(l, y);
        for (int i = 1; i < w - 2; ++i)
            if (at(l + i, y) != colour) return false;
        return true;
    };
    auto uniformColumn = [&](int x, uint32_t& colour) {
        // A ring one pixel high has no pixel below its corner on this side.
        if (h < 2) return false;
        colour = at(x, t + 1);
        for (int i = 1; i < h - 2; ++i)
            if (at(x, t + 1 + i) != colour) return false;
        return true;
    };
    uint32_t colour = 0;
    if (t > 0 && uniformRow(t, colour)) return colour;
    if (l > 0 && uniformColumn(l, colour)) return colour;
    if (l + w < W && uniformColumn(l + w - 1, colour)) return colour;
    if (t + h < H && uniformRow(t + h - 1, colour)) return colour;
    return 0;
}

bool clipboardCut(CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& sel, Prompts& prompts,
                  ClipboardPort* port, const PositionAutoAdd& autoAdd) {
    if (!clipboardCopy(buffer, doc, sel, prompts, port, autoAdd)) return false;
    const Frame* f = doc.frames()->currentFrame();
    return doc.fill(cutFillColour(*f, sel), sel, "Cut");
}

bool readSystemClipboard(CopyBuffer& buffer, ClipboardPort& port) {
    const std::optional<std::vector<uint8_t>> block = port.getDib();
    if (!block) return false;
    TxMip picture;
    if (!txDibRead(block->data(), block->size(), picture)) return false;
    buffer.clear();
    auto seq = std::unique_ptr<FrameSequence>(new (std::nothrow) FrameSequence());
    if (!seq) return false;
    Frame* f = seq->append();
    // The frame a new picture gets: type and name of a blank one, the decoded pixels.
    if (!f || f->createBlank(1, 1) != FE_OK) return false;
    f->mip() = std::move(picture);
    buffer.replace(std::move(seq));
    return true;
}

std::optional<std::pair<int, int>> clipboardPictureSize(ClipboardPort& port) {
    const std::optional<std::vector<uint8_t>> block = port.getDib();
    TxDibInfo info;
    if (!block || !txDibInfo(block->data(), block->size(), info) || info.bits < 16)
        return std::nullopt;
    return std::make_pair(info.width, info.height);
}

CBitmapDoc* pasteAsNewDocument(CopyBuffer& buffer, ClipboardPort& port, Prompts& prompts,
                               DocumentContext& context,
                               const CBitmapDoc::NewDocumentFactory& newDocument) {
    // Only the picture on the clipboard, never an older copy of our own.
    if (!readSystemClipboard(buffer, port)) return nullptr;
    PendingNewDocument& pending = context.pending;
    const uint16_t serial = nextDocumentSerial();
    pending = {serial, 256, 256};
    CBitmapDoc* doc = newDocument ? newDocument(prompts) : nullptr;
    // A request nobody took must not size some later document.
    if (pending.serial == serial) pending.serial = 0;
    Frame* target = doc && doc->frames() ? doc->frames()->currentFrame() : nullptr;
    if (!target || target->width() != 256 || target->height() != 256) {
        prompts.message("Create NewDocument failed", MsgIcon::Error, MsgButtons::Ok);
        return nullptr;
    }
    Frame* picture = buffer.frames()->firstFrame();
    target->fileType = picture->fileType;
    target->fileName = picture->fileName;
    target->mip() = std::move(picture->mip());
    buffer.clear();
    doc->setModified(true);
    doc->updateAllViews(HINT_FULL);
    doc->updateAllViews(HINT_POSITIONS);
    return doc;
}

bool beginPaste(const CopyBuffer& buffer, ViewState& view, PasteTarget* target) {
    const FrameSequence* frames = buffer.frames();
    if (!frames || !view.document()) return false;
    int w = 0, h = 0;
    frames->currentSize(w, h);
    view.beginPastePlacement(w, h, target);
    return true;
}

bool pasteAt(const CopyBuffer& buffer, CBitmapDoc& doc, const TxRect& rect,
             const PositionAutoAdd& autoAdd) {
    if (!buffer.exists()) return false;
    const bool pasted = doc.paste(*buffer.frames(), rect.left, rect.top);
    const Frame* f = doc.frames() ? doc.frames()->currentFrame() : nullptr;
    if (autoAdd.onPaste && autoAdd.panel && f && !isWholeImage(rect, *f) &&
        autoAdd.panel->addItem(rect, buffer.currentItemName))
        doc.updateAllViews(HINT_POSITIONS);
    return pasted;
}
