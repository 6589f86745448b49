#include "document/pack_documents.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "texlib/read.h"
#include "texlib/stream.h"
#include "tools/pack/pack_data.h"
#include "tools/pack/pack_inputs.h"

namespace fs = std::filesystem;

namespace {

bool writeText(const std::string& path, const std::string& text, std::string& why) {
    std::error_code ec;
    const fs::path dir = fs::path(path).parent_path();
    if (!dir.empty() && !fs::exists(dir, ec) && !fs::create_directories(dir, ec)) {
        why = dir.string() + ": " + ec.message();
        return false;
    }
    TxFileWriter w;
    if (w.open(path) && w.write(text.data(), text.size()) && w.commit()) return true;
    why = path + ": " + (w.error().empty() ? "cannot be written" : w.error());
    return false;
}

}  // namespace

std::vector<CBitmapDoc*> packSpritesIntoDocuments(
    const PackRequest& rq, Prompts& prompts, Progress* progress, DocumentContext& context,
    const std::function<CBitmapDoc*(Prompts&)>& newDocument, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        prompts.message(text, MsgIcon::Warning, MsgButtons::Ok);
        return std::vector<CBitmapDoc*>{};
    };
    PackOptions o = rq.options;
    if (std::string why; !o.valid(&why)) return fail(why);
    if (!isWritableType(writableTypeForPath(rq.sheetFile)))
        return fail("cannot write '" + rq.sheetFile + "'; use .tga, .png, .bmp, .pcx or .spr");

    // The template is read and checked first, so that a bad one costs no reading.
    SheetTemplate tmpl;
    if (rq.writeData) {
        if (rq.dataFile.empty()) return fail("give the data file to write");
        TemplateError e;
        std::string read;
        switch (loadSheetTemplate(rq.templateName, tmpl, e, &read)) {
        case TEMPLATE_OK: break;
        case TEMPLATE_UNREADABLE:
        case TEMPLATE_UNKNOWN: return fail(e.text());
        default: return fail(rq.templateName + ":" + e.text());
        }
        if (!packTemplateTurn(rq.templateName, read, o.turn) && o.rotate)
            return fail("the template " + rq.templateName +
                        " cannot say that a sprite is rotated; leave out Rotate");
    }
    if (rq.inputs.empty()) return fail("no sprites given; add files or a folder");

    BusyCursor busy(prompts);
    PackInputs in;
    prompts.status("Reading sprites...");
    if (!collectPackInputs(rq.inputs, in, context.palette.argb(), progress))
        return fail(in.error + "; nothing written");
    if (in.sprites.empty())
        return fail("the inputs hold no sprites (folders are searched for image files)");
    prompts.status("Packing " + std::to_string(in.sprites.size()) + " sprites...");
    const PackResult r = packSprites(in.sprites, o);
    prompts.status("");
    if (r.status != PACK_OK) return fail(r.error + "; nothing written");
    const int pages = int(r.pages.size());

    // A relative page name lies beside the data file, which names it relative to itself.
    fs::path sheet = rq.sheetFile;
    if (rq.writeData && sheet.is_relative()) sheet = fs::path(rq.dataFile).parent_path() / sheet;
    auto pageName = [&](int p) { return packPageName(sheet.string(), p, pages); };

    if (rq.writeData) {
        const bool perPage = rq.dataFile.find("{n}") != std::string::npos ||
                             (pages > 1 && !packTemplateHasPages(tmpl));
        for (int p = 0; p < (perPage ? pages : 1); ++p) {
            const std::string path = perPage ? packPageName(rq.dataFile, p, pages) : rq.dataFile;
            const TemplateSheet model =
                packTemplateSheet(r, perPage ? p : 0, perPage ? p + 1 : pages,
                                  [&](int q) { return packRelativePath(pageName(q), path); });
            if (std::string why; !writeText(path, renderSheetTemplate(tmpl, model), why))
                return fail(why);
        }
    }

    std::vector<CBitmapDoc*> docs;
    for (int p = 0; p < pages; ++p) {
        Frame page;
        const PackPage& pg = r.pages[size_t(p)];
        if (!renderPackPage(r, p, in.sprites, o, page)) {
            fail("out of memory for a page of " + std::to_string(pg.width) + "x" +
                 std::to_string(pg.height));
            return docs;
        }
        PendingNewDocument& pending = context.pending;
        const uint16_t serial = nextDocumentSerial();
        pending = {serial, pg.width, pg.height};
        CBitmapDoc* doc = newDocument ? newDocument(prompts) : nullptr;
        // A request nobody took must not size some later document.
        if (pending.serial == serial) pending.serial = 0;
        Frame* frame = doc && doc->frames() ? doc->frames()->currentFrame() : nullptr;
        if (!frame || frame->width() != pg.width || frame->height() != pg.height) {
            fail("a new document for page " + std::to_string(p) + " could not be made");
            return docs;
        }
        frame->mip() = std::move(page.mip());
        frame->fileType = writableTypeForPath(rq.sheetFile);
        doc->discardSnapshots();
        doc->positions() = packPagePositions(r, p);
        const std::string name = pageName(p);
        // Save proposes the page's name, where the data file expects it.
        doc->path().setFromPath(name);
        doc->setTitle(fs::path(name).filename().string());
        // The page exists nowhere yet: it differs from any saved state.
        doc->changedWithoutSnapshot();
        doc->updateAllViews(HINT_FULL);
        doc->updateAllViews(HINT_POSITIONS);
        docs.push_back(doc);
    }
    return docs;
}
