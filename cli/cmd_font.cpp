#include <cstdio>
#include <memory>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_ports.h"
#include "document/document.h"
#include "model/frame_writers.h"
#include "model/position_files.h"
#include "model/settings.h"
#include "texlib/read.h"
#include "texlib/stream.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_face.h"
#include "tools/fontwizard/font_generator.h"
#include "tools/fontwizard/font_preset.h"

namespace {

// Messages of the generator go to stderr; there is nobody to ask anything.
class FontCliPrompts : public Prompts {
public:
    MsgResult message(const std::string& text, MsgIcon, MsgButtons) override {
        std::string flat = text;
        for (char& c : flat)
            if (c == '\n') c = ' ';
        cliError("font: " + flat);
        return MsgResult::Ok;
    }
    std::optional<std::pair<int, int>> newSize(int, int) override { return std::nullopt; }
};

std::string withExtension(const std::string& path, const std::string& ext) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + ext;
    return path + ext;
}

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool parseOrigin(const std::string& text, int& origin) {
    long n;
    if (cliParseInt(text, 0, 10, n)) {
        if ((n & 3) == 3) return false;
        origin = int(n);
        return true;
    }
    auto horizontal = [](const std::string& s) {
        return s == "left" ? 0 : s == "center" || s == "centre" ? 1 : s == "right" ? 2 : -1;
    };
    auto vertical = [](const std::string& s) {
        return s == "top" ? 0 : s == "center" || s == "centre" ? 1 : s == "bottom" ? 2 : -1;
    };
    if (text == "center" || text == "centre") {
        origin = 5;
        return true;
    }
    const size_t dash = text.find('-');
    if (dash == std::string::npos) return false;
    const std::string a = text.substr(0, dash), b = text.substr(dash + 1);
    int h = horizontal(a), v = vertical(b);
    if (h < 0 || v < 0) {
        h = horizontal(b);
        v = vertical(a);
    }
    if (h < 0 || v < 0) return false;
    origin = h + 4 * v;
    return true;
}

bool parsePair(const std::string& text, char sep, long min, long max, int& a, int& b) {
    const size_t at = text.find(sep);
    if (at == std::string::npos) return false;
    long x, y;
    if (!cliParseInt(text.substr(0, at), min, max, x) ||
        !cliParseInt(text.substr(at + 1), min, max, y))
        return false;
    a = int(x);
    b = int(y);
    return true;
}

void printHelp() {
    std::printf(
        "usage: tarquil-cli font --face NAME --size PT -o OUT.tga [options]\n"
        "       tarquil-cli font --list [--json]\n\n"
        "Renders the characters of an installed outline font into the cells of a texture, as the\n"
        "editor's texture font wizard does, and writes it with its position list (OUT_pos.txt and\n"
        "OUT.map, one item per character named by the character) so that `tarquil-cli codegen`\n"
        "turns it into a glyph table. Glyphs are in the text colour with their coverage as alpha on\n"
        "a transparent background.\n\n"
        "  --face NAME          face name; a face that is not installed is replaced the way\n"
        "                       fontconfig matches it, and the face used is reported\n"
        "  --size PT            size in points (pixel height = PT x 96 / 72, the em height)\n"
        "  --style S            regular, bold, italic or bolditalic\n"
        "  --chars 7bit|8bit    consider the codes 0-127 or 0-255 (128-255 are Windows-1252)\n"
        "  --filter LIST        comma-separated character classes, any of which takes a\n"
        "                       character: upper lower digit xdigit alnum space punct print graph\n"
        "                       cntrl letter alpha ascii oneof all (C locale: no class holds a code\n"
        "                       above 127), or a number of filter bits such as 0x2200\n"
        "  --user-chars TEXT    characters to take as well (adds oneof to the filter)\n"
        "  --pitch fixed|variable  equal cells, or cells as wide as each character\n"
        "  --cell auto|WxH      cell size measured from the font, or fixed (2..256 x 2..512;\n"
        "                       fixed pitch only)\n"
        "  --margin X,Y         extra pixels per cell (variable pitch)\n"
        "  --origin O           placement in the cell: left-top, center-top, right-top,\n"
        "                       left-center, center, right-center, left-bottom, center-bottom,\n"
        "                       right-bottom (or the number 0-2, 4-6, 8-10)\n"
        "  --antialias none|2x2|4x4  draw 1, 2 or 4 times larger and scale down\n"
        "  --width 256|512      texture width\n"
        "  --preset NAME        start from this preset of the editor (default: the one selected\n"
        "                       there; \"Standard\" when none is stored)\n"
        "  -o, --output OUT     .tga or .png\n"
        "  --fnt                also write OUT.fnt, an AngelCode BMFont text descriptor with\n"
        "                       glyph metrics and the face's kerning pairs\n"
        "  --save-settings      store the options in the preset (and the measured cell size)\n"
        "  --no-settings        ignore the editor's settings: start from the built-in preset\n"
        "  --list               list the installed outline faces\n"
        "  --json               machine-readable output\n");
}

}  // namespace

int cmdFont(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--face",       "--size",  "--style",  "--chars",  "--filter",
                   "--user-chars", "--pitch", "--cell",   "--margin", "--origin",
                   "--antialias",  "--width", "--preset", "--output"};
    spec.flags = {"--fnt", "--list", "--save-settings"};
    spec.aliases = {{"-o", "--output"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    const bool json = call.json;
    if (!args.positional().empty()) {
        cliError("font: unexpected argument '" + args.positional()[0] +
                 "' (see tarquil-cli font --help)");
        return CLI_USAGE;
    }
    if (args.has("--list")) {
        const std::vector<std::string> faces = fontListFaces();
        if (json) {
            std::string list = "[";
            for (size_t i = 0; i < faces.size(); ++i)
                list += (i ? ", " : "") + cliJsonString(faces[i]);
            call.field("faces", list + "]");
        } else {
            for (const std::string& f : faces) std::printf("%s\n", f.c_str());
        }
        return CLI_OK;
    }
    const auto out = args.value("--output");
    if (!out || out->empty()) {
        cliError("font: give the output file with -o OUT.tga (see tarquil-cli font --help)");
        return CLI_USAGE;
    }
    const std::string ext = cliLowerExtension(*out);
    const int fileType = ext == "tga" ? TX_TYPE_TGA : ext == "png" ? TX_TYPE_PNG : 0;
    if (!fileType) {
        cliError(ext.empty() ? "font: " + *out + " needs the extension .tga or .png"
                             : "font: cannot write '." + ext + "' files; supported: .tga, .png");
        return CLI_USAGE;
    }
    FontPresetList presets;
    presets.load(call.settings());
    if (auto name = args.value("--preset")) {
        const int k = presets.find(*name);
        if (k < 0) {
            std::string names;
            for (const auto& p : presets.presets) names += (names.empty() ? "" : ", ") + p.name;
            cliError("font: no preset named '" + *name + "' (presets: " + names + ")");
            return CLI_USAGE;
        }
        presets.current = k;
    }
    if (!presets.selected()) presets.current = 0;
    FontPreset preset = presets.selected()->preset;

    // Options override the preset.
    auto bad = [](const std::string& text) {
        cliError("font: " + text);
        return CLI_USAGE;
    };
    if (auto v = args.value("--face")) preset.fontName = *v;
    if (auto v = args.value("--size")) {
        long n;
        if (!cliParseInt(*v, 1, 1000, n))
            return bad("--size must be 1..1000 points, not '" + *v + "'");
        preset.fontSize = int(n);
    }
    if (auto v = args.value("--style")) {
        if (*v == "regular")
            preset.fontStyle = 0;
        else if (*v == "bold")
            preset.fontStyle = 1;
        else if (*v == "italic")
            preset.fontStyle = 2;
        else if (*v == "bolditalic")
            preset.fontStyle = 3;
        else
            return bad("--style must be regular, bold, italic or bolditalic, not '" + *v + "'");
    }
    if (auto v = args.value("--chars")) {
        if (*v == "7bit")
            preset.char8 = 0;
        else if (*v == "8bit")
            preset.char8 = 1;
        else
            return bad("--chars must be 7bit or 8bit, not '" + *v + "'");
    }
    if (auto v = args.value("--filter")) {
        int filter = 0;
        size_t start = 0;
        for (;;) {
            const size_t comma = v->find(',', start);
            const std::string name =
                v->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            const auto bits = fontFilterFromName(name);
            if (!bits) return bad("--filter: unknown character class '" + name + "'");
            filter |= *bits;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        preset.filter = filter;
    }
    if (auto v = args.value("--user-chars")) {
        std::string codes;
        uint32_t cp = 0;
        if (!fontUtf8ToCp1252(*v, codes, &cp)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "U+%04X", unsigned(cp));
            return bad(std::string("--user-chars: ") + buf + " is not in the 8-bit character set");
        }
        preset.userChars = codes;
        preset.filter |= FONT_FILTER_ONEOF;
    }
    if (auto v = args.value("--pitch")) {
        if (*v == "fixed")
            preset.pitch = 0;
        else if (*v == "variable")
            preset.pitch = 1;
        else
            return bad("--pitch must be fixed or variable, not '" + *v + "'");
    }
    if (auto v = args.value("--cell")) {
        if (*v == "auto") {
            preset.autoCell = 1;
        } else {
            int w, h;
            if (!parsePair(*v, 'x', 2, 512, w, h) || w > 256)
                return bad("--cell must be auto or WxH within 2..256 x 2..512, not '" + *v + "'");
            if (preset.pitch == 1) return bad("--cell WxH needs --pitch fixed");
            preset.autoCell = 0;
            preset.cellWidth = w;
            preset.cellHeight = h;
        }
    }
    if (auto v = args.value("--margin")) {
        int x, y;
        if (!parsePair(*v, ',', 0, 256, x, y))
            return bad("--margin must be X,Y with each 0..256, not '" + *v + "'");
        preset.marginX = x;
        preset.marginY = y;
    }
    if (auto v = args.value("--origin")) {
        if (!parseOrigin(*v, preset.origin)) return bad("--origin: unknown placement '" + *v + "'");
    }
    if (auto v = args.value("--antialias")) {
        if (*v == "none")
            preset.antialias = 0;
        else if (*v == "2x2")
            preset.antialias = 1;
        else if (*v == "4x4")
            preset.antialias = 2;
        else
            return bad("--antialias must be none, 2x2 or 4x4, not '" + *v + "'");
    }
    if (auto v = args.value("--width")) {
        if (*v == "256")
            preset.textureWidth = 0;
        else if (*v == "512")
            preset.textureWidth = 1;
        else
            return bad("--width must be 256 or 512, not '" + *v + "'");
    }

    FontCliPrompts prompts;
    std::unique_ptr<CBitmapDoc> holder;
    auto newDocument = [&](Prompts& p) -> CBitmapDoc* {
        holder = std::make_unique<CBitmapDoc>();
        if (!holder->onNewDocument(p)) holder.reset();
        return holder.get();
    };
    FontLayout layout;
    CBitmapDoc* doc = CBitmapDoc::generateFontTexture(preset, prompts, newDocument, &layout);
    if (!doc) {
        const bool usage = layout.status == FONT_GEN_FIXED_CELL ||
                           layout.status == FONT_GEN_INVALID_CELL ||
                           layout.status == FONT_GEN_TOO_LARGE;
        return usage ? CLI_USAGE : CLI_FILE_ERROR;
    }

    call.read(layout.face.file);
    const Frame* frame = doc->frames()->currentFrame();
    std::string why;
    if (writeFrameAs(*frame, fileType, *out, 1, &why) != 0) {
        cliError(*out + ": " + (why.empty() ? "cannot be written" : why));
        return CLI_FILE_ERROR;
    }
    call.wrote(*out);
    std::string msg, reason;
    if (savePositionFiles(doc->positions(), *out, &msg, &reason) == POS_FILE_WRITE_ERROR) {
        while (!msg.empty() && msg.back() == '\n') msg.pop_back();
        cliError(msg + (reason.empty() ? "" : ": " + reason));
        return CLI_FILE_ERROR;
    }
    PositionFileNames names;
    positionFileNames(*out, names);
    if (!doc->positions().empty()) {
        call.wrote(names.text);
        call.wrote(names.map);
    }
    std::string fnt;
    if (args.has("--fnt")) {
        fnt = withExtension(*out, ".fnt");
        const std::string text = fontDescriptorText(layout, preset, baseNameOf(*out));
        TxFileWriter w;
        if (!w.open(fnt) || !w.write(text.data(), text.size()) || !w.commit()) {
            cliError(fnt + ": " + (w.error().empty() ? "cannot be written" : w.error()));
            return CLI_FILE_ERROR;
        }
        call.wrote(fnt);
    }
    if (args.has("--save-settings")) {
        presets.selected()->preset = preset;
        presets.save(call.settings());
        if (!call.saveSettings(why)) {
            cliError(why);
            return CLI_FILE_ERROR;
        }
    }

    const std::string faceText = layout.face.family + " " + layout.face.style;
    const bool substituted = !layout.face.exact;
    if (json) {
        call.field("image", cliJsonString(*out));
        call.field("width", std::to_string(layout.finalWidth()));
        call.field("height", std::to_string(layout.finalHeight()));
        call.field("characters", std::to_string(doc->positions().count()));
        call.field("cell", "[" + std::to_string(layout.cellW >> layout.shift) + ", " +
                               std::to_string(layout.cellH >> layout.shift) + "]");
        call.field("face", cliJsonString(layout.face.family));
        call.field("style", cliJsonString(layout.face.style));
        call.field("fontFile", cliJsonString(layout.face.file));
        call.field("substituted", substituted ? "true" : "false");
        call.field("positions", cliJsonString(names.text));
        if (!fnt.empty()) call.field("fnt", cliJsonString(fnt));
    } else {
        std::printf("%s: %dx%d, %d characters in %dx%d cells, face %s (%s)%s\n", out->c_str(),
                    layout.finalWidth(), layout.finalHeight(), doc->positions().count(),
                    layout.cellW >> layout.shift, layout.cellH >> layout.shift, faceText.c_str(),
                    layout.face.file.c_str(),
                    substituted ? (", substituted for '" + preset.fontName + "'").c_str() : "");
    }
    return CLI_OK;
}
