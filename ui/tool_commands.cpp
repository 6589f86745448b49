#include "ui/tool_commands.h"

#include <ctime>
#include <filesystem>

#include "document/document.h"
#include "document/pack_documents.h"
#include "tools/animmaster/animmaster.h"
#include "tools/codegen/code_generator.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/codegen/sheet_template.h"
#include "tools/fontwizard/font_generator.h"
#include "ui/edit_commands.h"
#include "ui/font_wizard.h"
#include "ui/main_window.h"
#include "ui/pack_sprites_dialog.h"
#include "ui/palette_options_dialog.h"
#include "ui/pos_format_dialog.h"
#include "ui/position_list_window.h"
#include "ui/qt_clipboard.h"
#include "ui/qt_ports.h"

void installToolDialogs(CMainFrame& main) {
    CMainFrame* m = &main;
    main.handle(CMD_POSITION_LIST, [m] {
        PositionListWindow* w = m->positionWindow();
        w->show();
        w->raise();
        if (CBitmapDoc* d = m->activeDocument()) w->attach(d);
        m->viewStatusChanged();
    });
    main.handle(CMD_FONT_WIZARD, [&main] { runFontWizard(main); });
    main.handle(CMD_PACK_SPRITES, [&main] { runPackSprites(main); });
    handleEdit(
        main, CMD_ANIMMASTER,
        [m](CBitmapDoc& d, CBitmapView&) {
            AnimMasterOptions o;
            o.load(m->settings());
            if (!m->prompts().animMasterOptions(o)) return;
            o.save(m->settings());
            d.animMaster(o.bufferType, o.colorKey, o.flags(), m->prompts(), &m->progress());
        },
        [m] { return editIdle(*m) && m->activeDocument()->isEnabled(CMD_ANIMMASTER); });
    // The Preferences' "pal" button: the field shows the palette file the dialog ends with.
    main.paletteOptionsHook = [&main](QWidget* parent, std::string& palFile) {
        PaletteOptionsDialog dlg(main.settings(), main.prompts(), main.documentContext().palette,
                                 parent, palFile);
        dlg.exec();
        palFile = dlg.options().path();
        return true;
    };
}

void CMainFrame::showPositionList() { trigger(CMD_POSITION_LIST); }
void CMainFrame::animationMaster() { trigger(CMD_ANIMMASTER); }

void runFontWizard(CMainFrame& main) {
    FontWizardDialog wizard(
        main.settings(), main.prompts(),
        [&main](FontPreset& preset) {
            FontLayout layout;
            CBitmapDoc::generateFontTexture(
                preset, main.prompts(), main.documentContext(),
                [&main](Prompts& p) { return main.createDocument(p); }, &layout);
            // Settings the generator refused are corrected in the wizard; once a texture was
            // laid out the run is over, with or without its document.
            return layout.status == FONT_GEN_OK || layout.status == FONT_GEN_NO_DOCUMENT ||
                   layout.status == FONT_GEN_NO_MEMORY;
        },
        &main);
    wizard.exec();
}

void runPackSprites(CMainFrame& main) {
    PackRequest start;
    start.load(main.settings());
    PackSpritesDialog dlg(
        start,
        [&main](const PackRequest& rq) {
            // What was entered is kept, also when the pack fails and the dialog stays open.
            rq.store(main.settings());
            return !packSpritesIntoDocuments(rq, main.prompts(), &main.progress(),
                                             main.documentContext(),
                                             [&main](Prompts& p) { return main.createDocument(p); })
                        .empty();
        },
        &main);
    dlg.exec();
}

bool copyPositionsWithFormat(CMainFrame& main, CBitmapDoc& doc) {
    if (doc.positions().empty()) return false;
    PosFormatSettings fs;
    fs.load(main.settings());
    CDlgPosFormat dlg(fs, main.prompts(), &main);
    if (dlg.exec() != QDialog::Accepted) return false;
    fs.store(main.settings());
    int w = 1, h = 1;
    if (doc.frames()) doc.frames()->currentSize(w, h);
    if (!fs.templateName.empty()) {
        SheetTemplate tmpl;
        TemplateError error;
        if (loadSheetTemplate(fs.templateName, tmpl, error) != TEMPLATE_OK) {
            main.prompts().message(error.text(), MsgIcon::Warning, MsgButtons::Ok);
            return false;
        }
        const std::string path = doc.pathName().empty() ? doc.title() : doc.pathName();
        const std::string file = std::filesystem::path(path).filename().string();
        QtClipboardPort().putUtf8Text(renderSheetTemplate(
            tmpl,
            templateSheetFromPositions(doc.positions(), generationOrder(doc.positions(), fs.sort),
                                       std::max(w, 1), std::max(h, 1), file)));
        main.prompts().status("Generated Code to Clipboard");
        return true;
    }
    const ParsedFormat format = dlg.parsedFormat();
    if (!format.ok) {
        main.prompts().message("Parse failed - abort", MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string text;
    const int rc =
        generateCode(format, doc.positions(), std::max(w, 1), std::max(h, 1), fs.options(),
                     doc.pathName().empty() ? doc.title() : doc.pathName(), local, text);
    if (rc == CODEGEN_ITEM_FAILED) {
        main.prompts().message("Exception raised - abort", MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    if (rc != CODEGEN_OK) return false;
    QtClipboardPort().putText(text);
    main.prompts().status("Generated Code to Clipboard");
    return true;
}

// The position list window's Arrange and Copy.
void CMainFrame::arrangePositions() {
    CBitmapDoc* d = positionWindow_->document();
    if (!d) return;
    d->arrange(prompts(), [this](Prompts& p) { return createDocument(p); });
    updateCommands();
}

void CMainFrame::copyPositionsToClipboard() {
    if (CBitmapDoc* d = positionWindow_->document()) copyPositionsWithFormat(*this, *d);
}
