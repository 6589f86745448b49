// The font texture command: the generator's coverage mask becomes a new document.
#include <new>

#include "document/document.h"
#include "texlib/resample.h"
#include "tools/fontwizard/font_generator.h"

namespace {

const char* styleName(int style) {
    switch (style) {
    case 1: return "Bold";
    case 2: return "Italic";
    case 3: return "Bold Italic";
    default: return "Regular";
    }
}

}  // namespace

CBitmapDoc* CBitmapDoc::generateFontTexture(FontPreset& preset, Prompts& prompts,
                                            DocumentContext& context,
                                            const std::function<CBitmapDoc*(Prompts&)>& newDocument,
                                            FontLayout* layout) {
    BusyCursor busy(prompts);
    FontLayout local;
    FontLayout& L = layout ? *layout : local;
    std::string message;
    if (fontRender(preset, L, message, layout != nullptr) != FONT_GEN_OK) {
        prompts.message(message, MsgIcon::Warning, MsgButtons::Ok);
        return nullptr;
    }
    // The selected preset learns the measured cells, also when no document comes of the run.
    auto writeBack = [&] {
        if (preset.cellWidth == 0) preset.cellWidth = L.cellW >> L.shift;
        if (preset.cellHeight == 0) preset.cellHeight = L.cellH >> L.shift;
    };

    PendingNewDocument& pending = context.pending;
    const uint16_t serial = nextDocumentSerial();
    pending = {serial, L.texW, L.texH};
    CBitmapDoc* doc = newDocument ? newDocument(prompts) : nullptr;
    // A request nobody took must not size some later document.
    if (pending.serial == serial) pending.serial = 0;
    Frame* frame = doc && doc->frames() ? doc->frames()->currentFrame() : nullptr;
    if (!frame || !frame->hasPixels() || frame->width() != L.texW || frame->height() != L.texH) {
        L.status = FONT_GEN_NO_DOCUMENT;
        prompts.message(kFontMsgNewDocument, MsgIcon::Warning, MsgButtons::Ok);
        writeBack();
        return nullptr;
    }

    fontCoverageToPixels(L.coverage.data(), L.coverage.size(), preset.textColor, preset.backColor,
                         frame->pixels());
    doc->discardSnapshots();
    if (L.shift > 0) {
        FrameSequence& seq = *doc->frames();
        for (int k = 0; k < seq.count(); ++k) {
            Frame* fr = seq.frameAt(k);
            if (!fr || !fr->hasPixels()) continue;
            TxMip small;
            if (!txMipInit(small, fr->width() >> L.shift, fr->height() >> L.shift, 1,
                           TX_FMT_ARGB8888)) {
                L.status = FONT_GEN_NO_MEMORY;
                prompts.message(kFontMsgOutOfMemory, MsgIcon::Error, MsgButtons::Ok);
                writeBack();
                return nullptr;
            }
            txImageResize(small, fr->mip());
            fr->mip() = std::move(small);
            fontRecolour(fr->pixels(), size_t(fr->width()) * size_t(fr->height()),
                         preset.textColor);
        }
        doc->discardSnapshots();
    }

    doc->positions() = fontPositionItems(L);
    // Says which face was used, since fontconfig may have substituted another.
    const int size = preset.fontSize <= 0 ? 10 : preset.fontSize;
    doc->setTitle(L.face.family + " " + styleName(preset.fontStyle) + " " + std::to_string(size) +
                  "pt");
    // The texture exists nowhere yet: it differs from any saved state.
    doc->changedWithoutSnapshot();
    doc->updateAllViews(HINT_FULL);
    doc->updateAllViews(HINT_POSITIONS);
    writeBack();
    // What the texture holds other than asked for is said once the texture is there.
    const std::string notes = fontRunNotes(preset, L);
    if (!notes.empty()) prompts.message(notes, MsgIcon::Information, MsgButtons::Ok);
    return doc;
}

std::string fontRunNotes(const FontPreset& preset, const FontLayout& L) {
    std::string notes;
    auto add = [&notes](const std::string& line) {
        if (!line.empty()) notes += (notes.empty() ? "" : "\n") + line;
    };
    if (preset.fontFile.empty() && !L.face.exact)
        add(fontSubstitutionText(preset.fontName.empty() ? "Arial" : preset.fontName, L.face) +
            ".");
    if (const std::string clip = fontClipWarning(L); !clip.empty())
        add(clip + " Tick \"automatic\" for cells that fit the font.");
    if (!L.missingDrawn.empty())
        add(std::to_string(L.missingDrawn.size()) + " of the characters " +
            (L.missingDrawn.size() == 1 ? "has" : "have") + " no glyph in " + L.face.family +
            " and show its missing-glyph box.");
    return notes;
}
