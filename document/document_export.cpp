// The document's texture export command around the 3DF/TEX writer.
#include <memory>
#include <new>

#include "document/document.h"
#include "model/export_settings.h"
#include "texlib/tex3df.h"

namespace {

const char* const kExportFilter =
    "Texture v1.1 format (*.3df)|*.3df|TexInfo binary format (*.tex)|*.tex|All files (*.*)|*.*||";
// The containers get a list of their own, so that the 3DF and TEX choices stay as they were.
const char* const kContainerFilter =
    "DirectDraw Surface (*.dds)|*.dds|KTX 2.0 texture (*.ktx2)|*.ktx2|All files (*.*)|*.*||";

bool hasExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

int CBitmapDoc::exportTexture(Prompts& prompts, SettingsStore& store) {
    ExportTextureSettings settings = loadExportTextureSettings(store);
    if (!prompts.exportTextureOptions(settings)) return -1;
    // Remembered only when the dialog's "Save settings" box is ticked.
    if (settings.save) saveExportTextureSettings(store, settings);
    const TxExportOptions options = exportOptionsFromSettings(settings);

    int entry = 3;
    const char* defaultExt = "";
    if (options.output == TX_OUTPUT_3DF) {
        entry = 1;
        defaultExt = ".3df";
    } else if (options.output == TX_OUTPUT_TEX) {
        entry = 2;
        defaultExt = ".tex";
    } else if (options.output == TX_OUTPUT_DDS) {
        entry = 1;
        defaultExt = ".dds";
    } else if (options.output == TX_OUTPUT_KTX2) {
        entry = 2;
        defaultExt = ".ktx2";
    }
    auto choice = prompts.saveFile(
        "Export 3df MipMap", txExportIsContainer(options.output) ? kContainerFilter : kExportFilter,
        path_.directory + path_.name, entry);
    if (!choice) return -1;
    std::string target = choice->path;
    if (!hasExtension(target)) target += defaultExt;

    const Frame* current = frames_ ? frames_->currentFrame() : nullptr;
    if (!current || !current->hasPixels()) {
        prompts.message("Export failed", MsgIcon::Error, MsgButtons::Ok);
        return TX_EXPORT_BAD_INPUT;
    }
    int result = TX_EXPORT_NO_MEMORY;
    TxExportReport report;
    {
        BusyCursor busy(prompts);
        // A private copy: the export never touches the document.
        auto copy = std::unique_ptr<Frame>(new (std::nothrow) Frame(*current));
        if (copy && copy->hasPixels())
            result = txMipWrite3df(copy->mip(), options, target, &report);
    }
    // The writer's own texts come first ("Warning: Mipmapping disabled, not power of 2", "Abort:
    // Not power of 2 on a side", ...), then the command's verdict.
    for (const std::string& w : report.warnings)
        prompts.message(w, MsgIcon::Warning, MsgButtons::Ok);
    if (result != TX_EXPORT_OK) {
        if (!report.error.empty()) prompts.message(report.error, MsgIcon::Error, MsgButtons::Ok);
        prompts.message("Export failed", MsgIcon::Error, MsgButtons::Ok);
    } else {
        prompts.status("Texture export OK");
    }
    return result;
}
