// Document commands of the tools that change a document or create one: the sheet arrangement
// and the AnimMaster optimiser.
#include <algorithm>
#include <memory>

#include "document/document.h"
#include "tools/animmaster/animmaster.h"
#include "tools/poslist/arrange.h"

CBitmapDoc* CBitmapDoc::arrange(Prompts& prompts, const NewDocumentFactory& newDocument,
                                ArrangeResult* outcome) {
    if (positions_.empty()) return nullptr;
    MaxSizeOptions defaults;
    if (frames_) frames_->currentSize(defaults.width, defaults.height);
    const auto answer = prompts.maxSize(defaults);
    if (!answer) return nullptr;
    // A ticked box and a typed 0 both mean automatic.
    const int maxW = answer->autoWidth ? 0 : std::clamp(answer->width, 0, 65535);
    const int maxH = answer->autoHeight ? 0 : std::clamp(answer->height, 0, 65535);
    const int method = answer->method == ARRANGE_MAXRECTS ? ARRANGE_MAXRECTS : ARRANGE_ROWS;
    const ArrangeResult r =
        arrangeItems(positions_, maxW, maxH, method, std::clamp(answer->padding, 0, 65535));
    if (outcome) *outcome = r;
    if (!r.ok) {
        prompts.message(kArrangeFailedText, MsgIcon::Warning, MsgButtons::Ok);
        return nullptr;
    }
    if (!arrangeCanvasAllowed(r) || !newDocument) {
        prompts.message(kArrangeNewDocumentFailedText, MsgIcon::Warning, MsgButtons::Ok);
        return nullptr;
    }

    PendingNewDocument& pending = context_->pending;
    const uint16_t serial = nextDocumentSerial();
    pending = PendingNewDocument{serial, int(r.canvasWidth), int(r.canvasHeight)};
    CBitmapDoc* doc = newDocument(prompts);
    // A request nobody took must not give some later New this size.
    if (pending.serial == serial) pending.serial = 0;
    Frame* dst = doc && doc->frames() ? doc->frames()->currentFrame() : nullptr;
    if (!dst || dst->width() != r.canvasWidth || dst->height() != r.canvasHeight) {
        prompts.message(kArrangeNewDocumentFailedText, MsgIcon::Warning, MsgButtons::Ok);
        return nullptr;
    }

    const Frame* src = frames_ ? frames_->currentFrame() : nullptr;
    for (const PositionItem& it : r.placed) {
        // Clipped to both frames: an item may stick out of a sheet of fixed size.
        if (src) dst->copyRect(*src, it.source, it.rect);
        doc->positions().append(std::make_unique<PositionItem>(it));
    }
    doc->updateAllViews(HINT_FULL);
    doc->updateAllViews(HINT_POSITIONS);
    doc->changedWithoutSnapshot();
    return doc;
}

int CBitmapDoc::animMaster(int bufferType, uint32_t key, int flags, Prompts& prompts,
                           Progress* progress) {
    if (!frames_) return AM_NO_FRAMES;
    if (frames_->count() < 1) {
        prompts.message(kAnimMasterNoFramesText, MsgIcon::Warning, MsgButtons::Ok);
        return AM_NO_FRAMES;
    }
    BusyCursor busy(prompts);
    takeSnapshot("Animationmaster");
    const int r = animMasterOptimize(*frames_, bufferType, key, flags, progress);
    updateAllViews(HINT_FULL);
    modified_ = true;
    return r;
}

bool CBitmapDoc::toolEnabled(DocCommand command) const {
    if (command == CMD_ANIMMASTER) return frames_ && frames_->count() > 1;
    return true;
}
