#include "ui/mask_commands.h"

#include <algorithm>

#include "document/document.h"
#include "ui/bitmap_view.h"
#include "ui/edit_commands.h"
#include "ui/main_window.h"

namespace {

void runMaskCommand(CMainFrame& main, int command, CBitmapDoc& d, CBitmapView& v) {
    Prompts& prompts = main.prompts();
    if (command == CMD_MASK_PICK_KEY) {
        v.beginKeyPick();
        prompts.status("pickup the transparency color with left mouse button");
        return;
    }
    // The surface mirrors the alpha as it is now; the command edits it and stores it back.
    v.refreshMask();
    v.setMaskShown(true);
    if (command == CMD_MASK_ONE_BIT) {
        // Cancel keeps the old bias, and the mask is made all the same.
        const auto bias = prompts.maskBias(d.alphaBias);
        const uint8_t b = bias ? uint8_t(std::clamp(*bias, 0, 255)) : d.alphaBias;
        BusyCursor busy(prompts);
        d.maskOneBit(v.mask(), b);
    } else {
        BusyCursor busy(prompts);
        switch (command) {
        case CMD_MASK_EIGHT_BIT: d.maskEightBit(v.mask()); break;
        case CMD_MASK_INTENSITY: d.maskIntensity(v.mask()); break;
        case CMD_MASK_BORDER: d.maskBorder(v.mask()); break;
        case CMD_MASK_CLEAR: d.maskClear(v.mask()); break;
        case CMD_MASK_INVERT: d.maskInvert(v.mask()); break;
        default: break;
        }
    }
    d.updateAllViews(HINT_FRAME);
}

}  // namespace

void installMaskCommands(CMainFrame& main) {
    CMainFrame* m = &main;
    // Making a mask needs only a picture; picking, clearing and inverting also a still one.
    auto hasFrame = [m] { return framePresent(*m); };
    auto idle = [m] { return editIdle(*m); };
    for (int id : {CMD_MASK_ONE_BIT, CMD_MASK_EIGHT_BIT, CMD_MASK_INTENSITY, CMD_MASK_BORDER,
                   CMD_MASK_PICK_KEY, CMD_MASK_CLEAR, CMD_MASK_INVERT}) {
        const bool still = id == CMD_MASK_PICK_KEY || id == CMD_MASK_CLEAR || id == CMD_MASK_INVERT;
        handleEdit(
            main, id, [m, id](CBitmapDoc& d, CBitmapView& v) { runMaskCommand(*m, id, d, v); },
            still ? std::function<bool()>(idle) : std::function<bool()>(hasFrame));
    }
}

void CMainFrame::maskCommand(int command) { trigger(command); }
void CMainFrame::toggleAlpha() { trigger(CMD_ALPHA); }
