// The tool dialogs driven as a person would: each test answers the modal dialog from a timer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "document/document.h"
#include "model/app_palette.h"
#include "model/custom_colours.h"
#include "model/export_settings.h"
#include "model/frame_writers.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/qt_app.h"
#include "tools/animmaster/animmaster.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_generator.h"
#include "ui/colour_chooser.h"
#include "ui/font_wizard.h"
#include "ui/int_field.h"
#include "ui/main_window.h"
#include "ui/pack_sprites_dialog.h"
#include "ui/palette_options_dialog.h"
#include "ui/pos_format_dialog.h"
#include "ui/position_list_window.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_ports.h"
#include "ui/tool_commands.h"

namespace {

// Runs `answer` on the next modal dialog of type T once it is shown.
QString previewOf(QWidget& dlg) {
    return control<QPlainTextEdit>(dlg, QStringLiteral("Preview"))->toPlainText();
}

// Edit, type the format (edit form, line feeds as the edit shows them), Done.
void editFormat(CDlgPosFormat& dlg, const QString& text) {
    dlg.toggleEdit();
    EXPECT_TRUE(dlg.editing());
    control<QPlainTextEdit>(dlg, QStringLiteral("Format"))->setPlainText(text);
    dlg.toggleEdit();
}

// An editor window with memory settings, scripted answers and one document with items.
struct Editor {
    Editor() {
        w.setPrompts(&prompts);
        w.setSettings(&store);
        prompts.newSizeAnswer = std::make_pair(64, 32);
        doc = w.createDocument(prompts);
        doc->positions().append(TxRect{32, 16, 40, 32}, "two");
        doc->positions().append(TxRect{0, 0, 16, 8}, "one");
    }
    QApplication* application = ensureTestApp();  // before the window
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    CMainFrame w;
    CBitmapDoc* doc = nullptr;
};

}  // namespace

TEST(ColourChooser, CustomColoursComeFromAndReturnToGridColor) {
    ensureTestApp();
    MemorySettingsStore st;
    // Absent values give 15000, 14000, ..., 0; a stored one is shown instead.
    st.setInt("GridColor", "c2", 0x00112233);
    whenShown<QColorDialog>([](QColorDialog& d) {
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(0)), 15000u);
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(1)), 0x00112233u);
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(15)), 0u);
        EXPECT_EQ(qColorToColourRef(d.currentColor()), 0x000000FFu);  // pure red as given
        QColorDialog::setCustomColor(4, QColor(1, 2, 3));
        d.setCurrentColor(QColor(0x10, 0x20, 0x30));
        d.accept();
    });
    const auto chosen = chooseColour(nullptr, st, 0x000000FF);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, 0x00302010u);  // red in the low byte
    EXPECT_EQ(st.getInt("GridColor", "c5", -1), 0x00030201);
    EXPECT_EQ(st.getInt("GridColor", "c1", -1), 15000);
    EXPECT_EQ(st.getInt("GridColor", "c16", -1), 0);

    // Cancel changes neither the answer nor the stored colours.
    MemorySettingsStore untouched;
    whenShown<QColorDialog>([](QColorDialog& d) {
        QColorDialog::setCustomColor(0, QColor(9, 9, 9));
        d.reject();
    });
    EXPECT_FALSE(chooseColour(nullptr, untouched, 0));
    EXPECT_TRUE(untouched.values().empty());
    EXPECT_EQ(colourRefToRgb(0x00302010u), 0x00102030u);
}

TEST(ColourChooser, AnimMasterColorButtonWritesTheKeyAsPixelWord) {
    ensureTestApp();
    MemorySettingsStore st;
    QtPrompts prompts(nullptr);
    prompts.setSettingsSource([&st]() -> SettingsStore& { return st; });
    AnimMasterOptions o;
    o.colorKey = 0x00FF0000;  // red as a pixel word
    whenShown<QDialog>([](QDialog& d) {
        whenShown<QColorDialog>([](QColorDialog& c) {
            EXPECT_EQ(c.currentColor(), QColor(255, 0, 0));
            QColorDialog::setCustomColor(15, QColor(0, 0, 255));
            c.setCurrentColor(QColor(0x12, 0x34, 0x56));
            c.accept();
        });
        for (auto* b : d.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Color")) b->click();
        d.accept();
    });
    ASSERT_TRUE(prompts.animMasterOptions(o));
    EXPECT_EQ(o.colorKey, 0x00123456u);
    EXPECT_EQ(st.getInt("GridColor", "c16", -1), 0x00FF0000);
}

TEST(PosFormatDialog, PreviewOfTheSamplesAndOfEachParseError) {
    ensureTestApp();
    PosFormatSettings fs;
    ScriptedPrompts prompts;
    CDlgPosFormat dlg(fs, prompts);
    EXPECT_EQ(control<QPlainTextEdit>(dlg, QStringLiteral("Format"))->toPlainText(),
              QStringLiteral("\"{%d,%d,%d,%d},\\t//%s\\r\\n\"\n,x1, y1, x2, y2, name"));
    EXPECT_FALSE(control<QPlainTextEdit>(dlg, QStringLiteral("Format"))->isEnabled());
    EXPECT_EQ(previewOf(dlg), QStringLiteral("{10,10,32,32},\t//flair1\n{40,30,50,40},\t//armor7\n"
                                             "{37,10,67,26},\t//shot_3\n"));
    EXPECT_TRUE(dlg.parseOk());
    control<QRadioButton>(dlg, QStringLiteral("by x1y1"))->setChecked(true);
    EXPECT_EQ(fs.sort, POS_SORT_X1Y1);
    EXPECT_EQ(previewOf(dlg), QStringLiteral("{10,10,32,32},\t//flair1\n{37,10,67,26},\t//shot_3\n"
                                             "{40,30,50,40},\t//armor7\n"));
    editFormat(dlg, QStringLiteral("\"%s %f\\n\"\n,NAME,S"));
    EXPECT_EQ(previewOf(dlg),
              QStringLiteral("flair1 0.039062\nshot_3 0.144531\narmor7 0.156250\n"));

    const struct {
        const char* format;
        const char* detail;
    } errors[] = {
        {"\"%d\",x", "invalid lenght"},
        {"x%d\",x1", "invalid delimiter in formatstring"},
        {"\"%d\" x1,y1", "missing comma in argumentlist"},
        {"\"%d\",x1,q", "q\tinvalid char"},
        {"\"abc\",x1", "no %%types found in formatstring"},
        {"\"%d\",width", "width\tunknown arg"},
        {"\"%d\",indexname", "indexna\tunknown arg"},
        {"\"%d,%d\",x1,y1,x2", "2 formattypes do not match 3 args"},
    };
    for (const auto& e : errors) {
        editFormat(dlg, QString::fromLatin1(e.format));
        EXPECT_EQ(previewOf(dlg), QStringLiteral("Error parsing formatstring\nError near : ") +
                                      QString::fromLatin1(e.detail))
            << e.format;
        EXPECT_FALSE(dlg.parseOk());
        // The refused text is kept in the preset, not lost.
        EXPECT_EQ(fs.presets[0].format, e.format);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(PosFormatDialog, PresetsAreMadeRenamedDeletedAndKeptInPosFormat) {
    Editor e;
    // The list window's Add, Update and Delete carry their icons.
    e.w.showPositionList();
    for (const char* text : {"Add", "Update", "Delete"})
        EXPECT_FALSE(control<QPushButton>(*e.w.positionWindow(), QString::fromLatin1(text))
                         ->icon()
                         .pixmap(16)
                         .isNull())
            << text;
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    e.prompts.renameAnswer = "Mine";
    whenShown<CDlgPosFormat>([&e](CDlgPosFormat& d) {
        auto* ok = control<QPushButton>(d, QStringLiteral("OK"));
        d.newPreset();  // "Mine", in edit mode at once
        EXPECT_TRUE(d.editing());
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_EQ(control<QPushButton>(d, QStringLiteral("Done"))->isEnabled(), true);
        control<QPlainTextEdit>(d, QStringLiteral("Format"))
            ->setPlainText(QStringLiteral("\"%s=%d;\"\n,name,x1"));
        d.toggleEdit();
        EXPECT_TRUE(ok->isEnabled());
        // A name that is taken, or empty, is refused with a message; the name stays.
        d.newPreset();
        EXPECT_EQ(e.prompts.messages.back(), "A preset named \"Mine\" already exists.");
        auto* name = control<QComboBox>(d, QStringLiteral("Preset"));
        name->lineEdit()->setText(QString());
        emit name->lineEdit()->textEdited(QString());
        EXPECT_FALSE(ok->isEnabled());
        emit name->lineEdit()->editingFinished();
        EXPECT_EQ(e.prompts.messages.back(), "A preset needs a name.");
        EXPECT_EQ(name->currentText(), QStringLiteral("Mine"));
        name->lineEdit()->setText(QStringLiteral("Ours"));
        emit name->lineEdit()->textEdited(QStringLiteral("Ours"));
        emit name->lineEdit()->editingFinished();
        EXPECT_EQ(name->itemText(1), QStringLiteral("Ours"));
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
    });
    ASSERT_TRUE(copyPositionsWithFormat(e.w, *e.doc));
    const QString code = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(code.endsWith(QStringLiteral("\r\n\t{\r\n\t\ttwo=32;\t\tone=0;\t}\r\n")))
        << code.toStdString();
    EXPECT_TRUE(
        QGuiApplication::clipboard()->text().startsWith(QStringLiteral("// generated by ")));
    EXPECT_EQ(e.prompts.statusTexts.back(), "Generated Code to Clipboard");
    EXPECT_EQ(e.store.getInt("PosFormat", "nCnt", 0), 2);
    EXPECT_EQ(e.store.getInt("PosFormat", "nCur", 0), 1);
    EXPECT_EQ(e.store.getString("PosFormat", "1 name", ""), "Ours");
    EXPECT_EQ(e.store.getString("PosFormat", "1 string", ""), "\"%s=%d;\"\r\n,name,x1");

    // Next time: Standard cannot go, "Ours" can; a broken format keeps the dialog open.
    const size_t before = e.prompts.messages.size();
    whenShown<CDlgPosFormat>([&e, before](CDlgPosFormat& d) {
        EXPECT_EQ(control<QComboBox>(d, QStringLiteral("Preset"))->currentText(),
                  QStringLiteral("Ours"));
        d.deletePreset();
        EXPECT_EQ(control<QComboBox>(d, QStringLiteral("Preset"))->count(), 1);
        d.deletePreset();
        ASSERT_EQ(e.prompts.messages.size(), before + 1);
        EXPECT_EQ(e.prompts.messages.back(), "Cannot delete item 1");
        editFormat(d, QStringLiteral("\"%d\",width"));
        control<QPushButton>(d, QStringLiteral("OK"))->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_NE(e.prompts.messages.back().find("Error near : width\tunknown arg"),
                  std::string::npos);
        d.reject();
    });
    EXPECT_FALSE(copyPositionsWithFormat(e.w, *e.doc));
    // Cancel: nothing saved, the clipboard as it was.
    EXPECT_EQ(e.store.getInt("PosFormat", "nCnt", 0), 2);
    EXPECT_EQ(e.store.getString("PosFormat", "0 string", ""), kStandardFormat);

    whenShown<CDlgPosFormat>([](CDlgPosFormat& d) {
        d.deletePreset();
        control<QRadioButton>(d, QStringLiteral("by name"))->setChecked(true);
        control<QCheckBox>(d, QStringLiteral("Block"))->setChecked(false);
        control<QCheckBox>(d, QStringLiteral("enable comments"))->setChecked(false);
        EXPECT_FALSE(control<QCheckBox>(d, QStringLiteral("C++ Style"))->isEnabled());
        d.accept();
    });
    ASSERT_TRUE(copyPositionsWithFormat(e.w, *e.doc));
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("{0,0,16,8},\t//one\r\n{32,16,40,32},\t//two\r\n"));
    EXPECT_EQ(e.store.getInt("PosFormat", "nCnt", 0), 1);
    EXPECT_EQ(e.store.getInt("PosFormat", "nSort", 0), 1);
    EXPECT_FALSE(e.store.contains("PosFormat", "1 name"));
}

TEST(PosFormatDialog, TemplateChoicePreviewsAndCopiesTheWholeFile) {
    Editor e;
    e.doc->positions().rename(1, "\xF6ne");  // Windows-1252 in the list, UTF-8 on the clipboard
    whenShown<CDlgPosFormat>([](CDlgPosFormat& d) {
        auto* choice = control<QComboBox>(d, QStringLiteral("Template"));
        ASSERT_EQ(choice->count(), 9);
        EXPECT_EQ(choice->itemText(8), QStringLiteral("bmfont-xml"));
        d.selectTemplate(choice->findText(QStringLiteral("starling")));
        EXPECT_TRUE(previewOf(d).startsWith(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TextureAtlas "
                           "imagePath=\"sheet.png\">\n\t<SubTexture name=\"flair1\" x=\"10\"")))
            << previewOf(d).toStdString();
        EXPECT_TRUE(d.parseOk());
        EXPECT_FALSE(control<QComboBox>(d, QStringLiteral("Preset"))->isEnabled());
        EXPECT_FALSE(control<QCheckBox>(d, QStringLiteral("Block"))->isEnabled());
        control<QRadioButton>(d, QStringLiteral("by name"))->setChecked(true);
        EXPECT_TRUE(previewOf(d).contains(QStringLiteral("<SubTexture name=\"armor7\" x=\"40\"")));
        d.accept();
    });
    ASSERT_TRUE(copyPositionsWithFormat(e.w, *e.doc));
    const QString data = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(
        data.contains(QStringLiteral("imagePath=\"") + QString::fromStdString(e.doc->title())))
        << data.toStdString();
    EXPECT_TRUE(data.contains(QStringLiteral("<SubTexture name=\"two\"")));
    EXPECT_LT(data.indexOf(QStringLiteral("two")), data.indexOf(QString::fromUtf8("\xC3\xB6ne")));
    EXPECT_EQ(e.store.getString("PosFormat", "sTemplate", ""), "starling");
    // Back to the format string: the presets apply again and the choice is forgotten.
    whenShown<CDlgPosFormat>([](CDlgPosFormat& d) {
        auto* choice = control<QComboBox>(d, QStringLiteral("Template"));
        EXPECT_EQ(choice->currentText(), QStringLiteral("starling"));
        d.selectTemplate(0);
        EXPECT_TRUE(control<QComboBox>(d, QStringLiteral("Preset"))->isEnabled());
        d.accept();
    });
    ASSERT_TRUE(copyPositionsWithFormat(e.w, *e.doc));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("{32,16,40,32},")));
    EXPECT_FALSE(e.store.contains("PosFormat", "sTemplate"));
}

TEST(PaletteOptionsDialog, UseGivesTheEightBitWriterTheLoadedPalette) {
    Editor e;
    const std::string dir = std::string(::testing::TempDir());
    const std::string pal = dir + "two.pal";
    std::ofstream(pal) << "JASC-PAL\n0100\n3\n0 0 0\n200 100 50\n10 250 10\n";
    AppPalette palette;  // the current palette of this test only
    uint32_t* px = e.doc->frames()->currentFrame()->pixels();
    for (int i = 0; i < 64 * 32; ++i) px[i] = i % 2 ? 0xFF0AF00Au : 0xFFC66632u;

    // The save dialog answers "BMP 8Bit"; the palette dialog is the real one.
    struct SaveAsBmp8 : QtPrompts {
        explicit SaveAsBmp8(std::string p) : QtPrompts(nullptr), path(std::move(p)) {}
        std::optional<FileChoice> saveFile(const std::string&, const std::string&,
                                           const std::string&, int) override {
            return FileChoice{path, 4};
        }
        MsgResult message(const std::string& text, MsgIcon, MsgButtons) override {
            messages.push_back(text);
            return MsgResult::Ok;
        }
        std::string path;
        std::vector<std::string> messages;
    } prompts(dir + "fixed.bmp");
    prompts.setSettingsSource([&e]() -> SettingsStore& { return e.store; });
    prompts.setPalette(palette);
    whenShown<PaletteOptionsDialog>([&](PaletteOptionsDialog& d) {
        auto* use = control<QPushButton>(d, QStringLiteral("Use"));
        EXPECT_FALSE(use->isEnabled());  // no palette file yet: nothing to use
        EXPECT_FALSE(d.loadPaletteFrom(QString::fromStdString(dir + "nothere.pal")));
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(prompts.messages,
                  std::vector<std::string>{"File " + dir + "nothere.pal not found"});
        EXPECT_TRUE(d.loadPaletteFrom(QString::fromStdString(pal)));
        EXPECT_EQ(d.options().entries()[1], 0x3264C8u);
        EXPECT_TRUE(use->isEnabled());
        use->click();
    });
    ASSERT_TRUE(e.doc->saveAs(prompts));
    EXPECT_EQ(e.store.getString("Settings", "palfile", ""), pal);

    std::ifstream in(dir + "fixed.bmp", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 54u + 1024u + 64u * 32u);
    auto u8 = [&](size_t at) { return unsigned(uint8_t(bytes[at])); };
    EXPECT_EQ(u8(28), 8u);  // bits per pixel
    // The colour table is the loaded palette (blue, green, red, 0), not one made from the picture.
    EXPECT_EQ(u8(54 + 4 * 1 + 0), 50u);
    EXPECT_EQ(u8(54 + 4 * 1 + 1), 100u);
    EXPECT_EQ(u8(54 + 4 * 1 + 2), 200u);
    EXPECT_EQ(u8(54 + 4 * 2 + 1), 250u);
    // Each pixel is the index of its nearest palette colour.
    const size_t bits = u8(10) | u8(11) << 8;
    EXPECT_EQ(u8(bits), 1u);
    EXPECT_EQ(u8(bits + 1), 2u);
}

TEST(FontWizard, PagesPresetsAndValidationFromAFirstRun) {
    ensureTestApp();
    MemorySettingsStore st;
    ScriptedPrompts prompts;
    int runs = 0;
    FontPreset generated;
    FontWizardDialog w(st, prompts, [&](FontPreset& p) {
        ++runs;
        generated = p;
        p.cellWidth = 7;  // as the generator writes back a measured cell
        return true;
    });
    auto title = [&w] { return w.findChildren<QLabel*>().first()->text(); };
    auto* back = control<QPushButton>(w, QStringLiteral("<< &Back"));
    auto* next = control<QPushButton>(w, QStringLiteral("&Next >>"));
    EXPECT_EQ(title(), QStringLiteral("Step 1\tchoose/create a preset"));
    EXPECT_FALSE(back->isEnabled());
    auto* list = control<QListWidget>(w, QStringLiteral("Presets"));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Standard"));
    auto* desc = control<QLineEdit>(w, QStringLiteral("Description"));
    EXPECT_EQ(desc->text(), QStringLiteral("Arial 11, 256x256"));

    // Page 1: copies, description, rename, delete.
    w.newPreset();
    w.selectPreset(0);
    w.newPreset();
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Copy of Standard"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Copy (2) of Standard"));
    w.deletePreset();
    EXPECT_EQ(w.presets().current, 1);
    w.toggleDescriptionEdit();
    EXPECT_FALSE(desc->isReadOnly());
    EXPECT_FALSE(control<QPushButton>(w, QStringLiteral("New"))->isEnabled());
    desc->setText(QStringLiteral("mine"));
    w.toggleDescriptionEdit();
    EXPECT_EQ(w.presets().presets[1].preset.description, "mine");
    auto* name = control<QLineEdit>(w, QStringLiteral("Preset name"));
    for (const char* typed : {"", "stand", "Big"}) {
        name->setText(QString::fromLatin1(typed));
        emit name->editingFinished();
    }
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{
                                    "A preset needs a name.",
                                    "A preset whose name begins with \"stand\" already exists."}));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Big"));
    w.deletePreset();
    w.deletePreset();
    EXPECT_EQ(prompts.messages.back(), "Cannot delete item 1");
    ASSERT_EQ(list->count(), 1);

    // Page 2: the preset's font; a size that is no number keeps the page.
    ASSERT_TRUE(w.next());
    EXPECT_EQ(title(), QStringLiteral("Step 2\tchoose a font"));
    EXPECT_TRUE(back->isEnabled());
    EXPECT_EQ(control<QComboBox>(w, QStringLiteral("Font"))->currentText(),
              QStringLiteral("Arial"));
    auto* size = control<QComboBox>(w, QStringLiteral("Size"));
    EXPECT_EQ(size->currentText(), QStringLiteral("11"));
    size->setEditText(QStringLiteral("big"));
    EXPECT_FALSE(w.next());
    EXPECT_EQ(w.page(), 1);
    EXPECT_EQ(prompts.messages.back(), "The size must be a number from 1 to 400.");
    size->setEditText(QStringLiteral("12 pt"));
    // A face that is not installed says what replaces it, before anything is made.
    auto* face = control<QComboBox>(w, QStringLiteral("Font"));
    auto* note = control<QLabel>(w, QStringLiteral("Font note"));
    face->setEditText(QStringLiteral("NoSuchFont"));
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(
        note->text().startsWith(QStringLiteral("The font \"NoSuchFont\" is not installed: ")))
        << note->text().toStdString();
    EXPECT_TRUE(note->text().endsWith(QStringLiteral(" is used instead.")));
    face->setEditText(QStringLiteral("DejaVu Sans"));
    EXPECT_TRUE(note->isHidden());
    face->setEditText(QStringLiteral("Arial"));
    ASSERT_TRUE(w.next());

    // Page 3: the first-run character set, the classes, and characters outside code page 1252.
    auto* count = control<QLabel>(w, QStringLiteral("Number of characters: 100"));
    ASSERT_NE(count, nullptr);
    control<QCheckBox>(w, QStringLiteral("isalnum"))->setChecked(true);
    EXPECT_FALSE(control<QCheckBox>(w, QStringLiteral("isdigit"))->isEnabled());
    control<QCheckBox>(w, QStringLiteral("isalnum"))->setChecked(false);
    control<QRadioButton>(w, QStringLiteral("7-bit"))->setChecked(true);
    control<QCheckBox>(w, QStringLiteral("all chars"))->setChecked(true);
    EXPECT_EQ(count->text(), QStringLiteral("Number of characters: 128"));
    control<QCheckBox>(w, QStringLiteral("all chars"))->setChecked(false);
    control<QRadioButton>(w, QStringLiteral("8-bit"))->setChecked(true);
    auto* user = control<QLineEdit>(w, QStringLiteral("one of: characters"));
    // Any Unicode character may be one of them; those beyond Windows-1252 follow in the list.
    user->setText(user->text() + QString::fromUtf8("\xC5\x82"));  // l with stroke
    EXPECT_EQ(count->text(), QStringLiteral("Number of characters: 101"));
    EXPECT_TRUE(control<QPlainTextEdit>(w, QStringLiteral("Character list"))
                    ->toPlainText()
                    .endsWith(QString::fromUtf8("fc \xC5\x82 ")));
    // Euro sign, o umlaut and the Cyrillic Zhe.
    user->setText(QString::fromUtf8("\xE2\x82\xAC\xC3\xB6\xD0\x96"));
    EXPECT_EQ(count->text(), QStringLiteral("Number of characters: 097"));
    ASSERT_TRUE(w.next());

    // Page 4: fixed cells outside their range keep the page; cells smaller than the glyphs are
    // taken as tarquil-cli takes them (the run says what they clip).
    EXPECT_EQ(title(), QStringLiteral("Step 4\ttexture settings"));
    EXPECT_EQ(next->text(), QStringLiteral("&End"));
    auto* autoCell = control<QCheckBox>(w, QStringLiteral("automatic"));
    auto* cx = control<QSpinBox>(w, QStringLiteral("Grid size cx"));
    auto* cy = control<QSpinBox>(w, QStringLiteral("Grid size cy"));
    EXPECT_FALSE(cx->isEnabled());
    autoCell->setChecked(false);
    EXPECT_TRUE(cx->isEnabled());
    EXPECT_FALSE(control<QSpinBox>(w, QStringLiteral("Margin cx"))->isEnabled());
    // A number past the field's own range is refused with the range message first.
    qobject_cast<IntField*>(cx)->setText(QStringLiteral("600"));
    EXPECT_FALSE(w.next());
    EXPECT_EQ(prompts.messages.back(), "Please enter an integer between 0 and 512.");
    cx->setValue(300);
    cy->setValue(16);
    EXPECT_FALSE(w.next());
    EXPECT_EQ(prompts.messages.back(), kFontMsgFixedCell);
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(st.values().empty());  // nothing saved before "&End" succeeds
    cx->setValue(4);
    cy->setValue(4);
    // Colours: Cancel keeps the text colour, OK sets the background (as 0x00BBGGRR).
    whenShown<QColorDialog>([](QColorDialog& c) { c.reject(); });
    control<QPushButton>(w, QStringLiteral("F-col"))->click();
    whenShown<QColorDialog>([](QColorDialog& c) {
        c.setCurrentColor(QColor(0x10, 0x20, 0x30));
        c.accept();
    });
    control<QPushButton>(w, QStringLiteral("B-col"))->click();
    control<QComboBox>(w, QStringLiteral("Vertical orientation"))->setCurrentIndex(2);
    ASSERT_TRUE(w.next());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(generated.fontSize, 12);
    EXPECT_EQ(generated.userChars, "\x80\xF6");
    EXPECT_EQ(generated.userCharsWide, std::u32string(U"\u0416"));
    EXPECT_EQ(generated.origin, 2 + 4 * 2);
    EXPECT_EQ(generated.autoCell, 0);
    EXPECT_EQ(generated.cellWidth, 4);
    EXPECT_EQ(generated.cellHeight, 4);
    EXPECT_EQ(generated.filter, FONT_FILTER_GRAPH | FONT_FILTER_ONEOF);
    EXPECT_EQ(generated.textColor, 0xFFFFFFu);
    EXPECT_EQ(generated.backColor, 0x302010u);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(st.getInt("FontWizard", "nCnt", 0), 1);
    EXPECT_EQ(st.getString("FontWizard\\Preset0", "Name", ""), "Standard");
    EXPECT_EQ(st.getInt("FontWizard\\Preset0", "cell_cx", 0), 7);
    EXPECT_EQ(st.getInt("FontWizard\\Preset0", "Fontsize", 0), 12);

    // Back reads and checks the page it leaves as well; Cancel saves nothing.
    MemorySettingsStore other;
    FontWizardDialog w2(other, prompts, [](FontPreset&) { return true; });
    ASSERT_TRUE(w2.next());
    control<QComboBox>(w2, QStringLiteral("Size"))->setEditText(QStringLiteral("0"));
    w2.back();
    EXPECT_EQ(w2.page(), 1);
    w2.reject();
    EXPECT_TRUE(other.values().empty());
}

TEST(FontWizard, AFontFileTakesThePlaceOfAnInstalledFace) {
    ensureTestApp();
    MemorySettingsStore st;
    ScriptedPrompts prompts;
    FontPreset generated;
    FontWizardDialog w(st, prompts, [&](FontPreset& p) {
        generated = p;
        return true;
    });
    ASSERT_NE(control<QPushButton>(w, QStringLiteral("Font file...")), nullptr);
    ASSERT_TRUE(w.next());
    // A file that is no font names itself and keeps the page.
    w.setFontFile(TARQUIL_SOURCE_DIR "/README.md");
    EXPECT_FALSE(w.next());
    EXPECT_EQ(w.page(), 1);
    EXPECT_NE(prompts.messages.back().find("README.md: cannot be read as a font"),
              std::string::npos)
        << prompts.messages.back();
    const std::string mono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    w.setFontFile(mono);
    EXPECT_EQ(control<QComboBox>(w, QStringLiteral("Font"))->currentText(),
              QStringLiteral("DejaVu Sans Mono"));
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(w.next()) << prompts.messages.back();
    EXPECT_EQ(generated.fontFile, mono);
    EXPECT_EQ(generated.fontName, "DejaVu Sans Mono");
    EXPECT_EQ(st.getString("FontWizard\\Preset0", "Fontfile", ""), mono);
    // Choosing an installed face again leaves the file.
    FontWizardDialog w2(st, prompts, [&](FontPreset& p) {
        generated = p;
        return true;
    });
    ASSERT_TRUE(w2.next());
    EXPECT_EQ(w2.fontFile(), mono);
    control<QComboBox>(w2, QStringLiteral("Font"))->setEditText(QStringLiteral("DejaVu Sans"));
    EXPECT_TRUE(w2.fontFile().empty());
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(w2.next());
    EXPECT_TRUE(generated.fontFile.empty());
    EXPECT_FALSE(st.contains("FontWizard\\Preset0", "Fontfile"));
}

TEST(FontWizard, TheToolsMenuMakesTheFirstRunTexture) {
    Editor e;
    QAction* action = e.w.action(QStringLiteral("Tools/Texture Font Wizard"));
    ASSERT_NE(action, nullptr);
    whenShown<FontWizardDialog>([](FontWizardDialog& w) {
        for (int k = 0; k < 4; ++k) w.next();
        EXPECT_EQ(w.result(), QDialog::Accepted);
    });
    action->trigger();
    ASSERT_EQ(e.w.documentCount(), 2)
        << (e.prompts.messages.empty() ? "" : e.prompts.messages.back());
    CBitmapDoc* d = e.w.activeDocument();
    ASSERT_NE(d, e.doc);
    EXPECT_EQ(d->positions().count(), 100);
    EXPECT_EQ(d->positions().at(0).name, "!");
    EXPECT_EQ(e.w.shownImageSize().width(), 256);
    EXPECT_EQ(e.store.getInt("FontWizard", "nCnt", 0), 1);
    EXPECT_GT(e.store.getInt("FontWizard\\Preset0", "cell_cx", 0), 0);
}

TEST(PackSpritesDialog, TheToolsMenuOpensOnePagePerDocumentWithItsList) {
    Editor e;
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "pack_ui";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "art");
    for (int i = 0; i < 5; ++i) {
        Frame f;
        ASSERT_EQ(f.createBlank(20, 12 + i), FE_OK);
        std::fill(f.pixels(), f.pixels() + 20 * (12 + i), 0xff102030u + uint32_t(i));
        ASSERT_EQ(writeFrameAs(f, TX_TYPE_PNG,
                               (dir / "art" / ("s" + std::to_string(i) + ".png")).string(), 1, {}),
                  0);
    }
    // The settings of an earlier run fill the dialog.
    e.store.setInt("Pack", "extrude", 1);
    PackRequest filled;
    whenShown<PackSpritesDialog>([&](PackSpritesDialog& d) {
        EXPECT_EQ(control<QSpinBox>(d, QStringLiteral("Extrude"))->value(), 1);
        EXPECT_FALSE(control<QLineEdit>(d, QStringLiteral("Data file"))->isEnabled());
        d.addInputs({QString::fromStdString((dir / "art").string())});
        control<QComboBox>(d, QStringLiteral("Trim"))->setCurrentIndex(2);
        control<QSpinBox>(d, QStringLiteral("Padding"))->setValue(2);
        control<QCheckBox>(d, QStringLiteral("Rotate"))->setChecked(true);
        control<QComboBox>(d, QStringLiteral("Page size"))->setCurrentIndex(1);
        control<QSpinBox>(d, QStringLiteral("Largest page width"))->setValue(64);
        control<QSpinBox>(d, QStringLiteral("Largest page height"))->setValue(32);
        control<QLineEdit>(d, QStringLiteral("Sheet file"))->setText(QStringLiteral("t{n}.png"));
        control<QCheckBox>(d, QStringLiteral("Write data file"))->setChecked(true);
        EXPECT_TRUE(control<QLineEdit>(d, QStringLiteral("Data file"))->isEnabled());
        control<QLineEdit>(d, QStringLiteral("Data file"))
            ->setText(QString::fromStdString((dir / "t.json").string()));
        control<QComboBox>(d, QStringLiteral("Template"))->setCurrentText(QStringLiteral("css"));
        filled = d.request();
        // A refusal keeps the dialog open: css cannot say that a sprite is rotated.
        control<QPushButton>(d, QStringLiteral("OK"))->click();
        EXPECT_TRUE(d.isVisible());
        control<QComboBox>(d, QStringLiteral("Template"))->setCurrentText(QStringLiteral("libgdx"));
        control<QPushButton>(d, QStringLiteral("OK"))->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    e.w.action(QStringLiteral("Tools/Pack Sprites..."))->trigger();
    EXPECT_EQ(filled.inputs, std::vector<std::string>{(dir / "art").string()});
    EXPECT_EQ(filled.options.trim, PackTrim::Crop);
    EXPECT_EQ(filled.options.padding, 2);
    EXPECT_EQ(filled.options.extrude, 1);
    EXPECT_TRUE(filled.options.rotate);
    EXPECT_EQ(filled.options.size, PackSize::Pot);
    EXPECT_EQ(filled.options.maxWidth, 64);
    EXPECT_EQ(filled.options.maxHeight, 32);
    EXPECT_EQ(filled.sheetFile, "t{n}.png");
    ASSERT_EQ(e.prompts.messages.size(), 1u);
    EXPECT_EQ(e.prompts.messages[0],
              "the template css cannot say that a sprite is rotated; leave out Rotate");
    // Five 22 x 16..20 boxes with padding need several 64 x 32 pages.
    ASSERT_GE(e.w.documentCount(), 3);
    int items = 0;
    for (CChildFrame* c : e.w.childFrames()) {
        if (c->doc() == e.doc) continue;
        items += c->doc()->positions().count();
        EXPECT_EQ(c->doc()->title().rfind("t", 0), 0u) << c->doc()->title();
    }
    EXPECT_EQ(items, 5);
    EXPECT_TRUE(std::filesystem::exists(dir / "t.json"));
    EXPECT_EQ(e.store.getString("Pack", "template", ""), "libgdx");
    EXPECT_EQ(e.store.getInt("Pack", "padding", 0), 2);
}

TEST(PaletteOptionsDialog, ThePreferencesPalButtonShowsTheFileItEndsWith) {
    Editor e;
    const std::string pal = std::string(::testing::TempDir()) + "prefs.gpl";
    std::ofstream(pal) << "GIMP Palette\nName: p\n#\n1 2 3\n";
    const AppPalette& palette = e.w.documentContext().palette;
    whenShown<PreferencesDialog>([&pal](PreferencesDialog& prefs) {
        whenShown<PaletteOptionsDialog>([&pal](PaletteOptionsDialog& d) {
            EXPECT_TRUE(d.loadPaletteFrom(QString::fromStdString(pal)));
            d.reject();
        });
        control<QPushButton>(prefs, QStringLiteral("pal"))->click();
        EXPECT_EQ(control<QLineEdit>(prefs, QStringLiteral("Palette File"))->text(),
                  QString::fromStdString(pal));
        prefs.reject();
    });
    e.w.action(CMD_PREFERENCES)->trigger();
    EXPECT_EQ(palette.entry(0), 0x030201u);
}

TEST(ExportDialog, ContainerAndMipmapChoicesFillTheSettings) {
    ensureTestApp();
    QtPrompts prompts(nullptr);
    ExportTextureSettings s;
    s.mipmap = 1;
    whenShown<QDialog>([](QDialog& d) {
        auto* srgb = control<QCheckBox>(d, QStringLiteral("sRGB image (linear-light mipmaps)"));
        EXPECT_FALSE(srgb->isEnabled());  // 3DF cannot say sRGB
        control<QRadioButton>(d, QStringLiteral("KTX2"))->click();
        EXPECT_TRUE(srgb->isEnabled());
        srgb->setChecked(true);
        control<QCheckBox>(d, QStringLiteral("Premultiply alpha"))->setChecked(true);
        control<QCheckBox>(d, QStringLiteral("Alpha bleed (colour transparent texels)"))
            ->setChecked(true);
        for (auto* c : d.findChildren<QComboBox*>())
            if (c->findText(QStringLiteral("kaiser")) >= 0) c->setCurrentIndex(2);
        d.accept();
    });
    ASSERT_TRUE(prompts.exportTextureOptions(s));
    EXPECT_EQ(s.header, 4);
    EXPECT_EQ(s.srgb, 1);
    EXPECT_EQ(s.premultiply, 1);
    EXPECT_EQ(s.alphaBleed, 1);
    EXPECT_EQ(s.mipFilter, 2);
}
