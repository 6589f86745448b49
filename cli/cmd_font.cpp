#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_ports.h"
#include "model/frame_writers.h"
#include "model/position_files.h"
#include "model/settings.h"
#include "texlib/read.h"
#include "texlib/stream.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_descriptor.h"
#include "tools/fontwizard/font_face.h"
#include "tools/fontwizard/font_generator.h"
#include "tools/fontwizard/font_preset.h"

namespace {

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
        "usage: tarquil-cli font (--face NAME | --font-file PATH) --size PT -o OUT.tga [options]\n"
        "       tarquil-cli font --list [--json]\n\n"
        "Renders characters of an outline font into a texture, as the editor's texture font wizard\n"
        "does, and writes it with its position list (OUT_pos.txt and OUT.map, one item per\n"
        "character named by the character, U+XXXX outside Windows-1252) so that `tarquil-cli\n"
        "codegen` turns it into a glyph table, and on request a BMFont descriptor. Glyphs are in\n"
        "the text colour with their coverage as alpha on a transparent background.\n\n"
        "Font:\n"
        "  --face NAME          installed face name; a face that is not installed is replaced the\n"
        "                       way fontconfig matches it, and the substitution is reported\n"
        "  --font-file PATH     a TrueType or OpenType file (or collection) instead; nothing is\n"
        "                       substituted\n"
        "  --face-index N       the face within a collection (default 0)\n"
        "  --size PT            size in points (pixel height = PT x 96 / 72, the em height)\n"
        "  --style S            regular, bold, italic or bolditalic\n\n"
        "Characters:\n"
        "  --chars 7bit|8bit    the codes 0-127 or 0-255 (128-255 are Windows-1252) that pass\n"
        "                       --filter\n"
        "  --chars RANGES       a Unicode set instead: code points and ranges, decimal, 0x or U+\n"
        "                       hexadecimal: 32-126,0x400-0x4FF,U+3040-U+309F\n"
        "  --chars-file FILE    a Unicode set: every character of a UTF-8 text (line ends and\n"
        "                       other controls excepted)\n"
        "  --filter LIST        comma-separated character classes, any of which takes a\n"
        "                       character: upper lower digit xdigit alnum space punct print graph\n"
        "                       cntrl letter alpha ascii oneof all (C locale: no class holds a code\n"
        "                       above 127), or a number of filter bits such as 0x2200; with a\n"
        "                       Unicode set, the 8-bit characters they take are added to it\n"
        "  --user-chars TEXT    characters to take as well (adds oneof to the filter); any\n"
        "                       Unicode character\n"
        "  A Unicode set leaves out the characters the face lacks and names them on stderr.\n\n"
        "Layout:\n"
        "  --layout cells|maxrects  cells in rows (the wizard's layout, the default), or each\n"
        "                       glyph's ink box packed tightly by MaxRects\n"
        "  --pitch fixed|variable  cells: equal cells, or cells as wide as each character\n"
        "  --cell auto|WxH      cells: measured from the font, or fixed (2..256 x 2..512; fixed\n"
        "                       pitch only)\n"
        "  --margin X,Y         cells: extra pixels per cell (variable pitch)\n"
        "  --origin O           cells: placement in the cell: left-top, center-top, right-top,\n"
        "                       left-center, center, right-center, left-bottom, center-bottom,\n"
        "                       right-bottom (or the number 0-2, 4-6, 8-10)\n"
        "  --padding N          maxrects: pixels kept clear around each glyph in its rectangle\n"
        "  --spacing N          maxrects: pixels between the rectangles\n"
        "  --antialias none|2x2|4x4  draw 1, 2 or 4 times larger and scale down\n"
        "  --sdf RANGE          signed distance field glyphs (FreeType's renderer): alpha 128 on\n"
        "                       the outline, reaching 0 and 255 RANGE pixels away (2..32)\n"
        "  --width W            texture width, 1..32768 (default: the preset's 256 or 512)\n"
        "  --height H           page height (default: one page as high as needed)\n"
        "  --size pot           round the height up to a power of two (the width must be one)\n"
        "  --max-pages N        pages allowed when {n} in OUT numbers them (default 256)\n\n"
        "Output:\n"
        "  -o, --output OUT     .tga or .png; {n} in the name numbers the pages (font_{n}.png)\n"
        "  --fnt                also write a BMFont descriptor: OUT.fnt (without {n} and the\n"
        "                       separator before it), every page, glyph rectangles, offsets and\n"
        "                       advances, and the face's kerning pairs between the characters\n"
        "  --fnt-format F       text (default), xml or binary (BMFont version 3); implies --fnt\n"
        "  --preset NAME        start from this preset of the editor (default: the one selected\n"
        "                       there; \"Standard\" when none is stored)\n"
        "  --save-settings      store the options in the preset (and the measured cell size);\n"
        "                       a Unicode set and the layout options are not part of a preset\n"
        "  --no-settings        ignore the editor's settings: start from the built-in preset\n"
        "  --list               list the installed outline faces\n"
        "  --json               machine-readable output\n");
}

}  // namespace

namespace {

// The output name of page k: "{n}" becomes the page number, zero-padded so that every page name
// has the same length (the binary descriptor needs that).
std::string pagePath(const std::string& out, int k, int pages) {
    const size_t at = out.find("{n}");
    if (at == std::string::npos) return out;
    const int digits = int(std::to_string(std::max(0, pages - 1)).size());
    std::string num = std::to_string(k);
    num.insert(0, size_t(std::max(0, digits - int(num.size()))), '0');
    return out.substr(0, at) + num + out.substr(at + 3);
}

// The descriptor beside the pages: the output name without "{n}" (and a separator just before
// it) with the extension .fnt.
std::string descriptorPath(const std::string& out) {
    std::string base = out;
    if (const size_t at = base.find("{n}"); at != std::string::npos) {
        size_t from = at;
        if (from > 0 && (base[from - 1] == '_' || base[from - 1] == '-' || base[from - 1] == '.'))
            --from;
        base.erase(from, at + 3 - from);
    }
    return withExtension(base, ".fnt");
}

// "U+0416, U+0417, ..." for the first few of a list.
std::string firstFew(const std::vector<uint32_t>& cps) {
    std::string text;
    const size_t shown = std::min<size_t>(cps.size(), 8);
    for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + fontCodePointText(cps[i]);
    if (cps.size() > shown) text += ", ...";
    return text;
}

std::string jsonCodePoints(const std::vector<uint32_t>& cps) {
    std::string out = "[";
    for (size_t i = 0; i < cps.size(); ++i) out += (i ? ", " : "") + std::to_string(cps[i]);
    return out + "]";
}

bool readWholeFile(const std::string& path, std::string& text, std::string& why) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        why = "no such file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot be opened";
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        why = "cannot be read";
        return false;
    }
    text = ss.str();
    return true;
}

bool isPowerOfTwo(long v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

int cmdFont(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--face",   "--font-file",  "--face-index", "--size",       "--style",
                   "--chars",  "--chars-file", "--filter",     "--user-chars", "--pitch",
                   "--cell",   "--margin",     "--origin",     "--antialias",  "--width",
                   "--height", "--layout",     "--padding",    "--spacing",    "--max-pages",
                   "--sdf",    "--fnt-format", "--preset",     "--output"};
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
    const TxFileType fileType = ext == "tga"   ? TX_TYPE_TGA
                                : ext == "png" ? TX_TYPE_PNG
                                               : TX_TYPE_UNKNOWN;
    if (fileType == TX_TYPE_UNKNOWN) {
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
    FontTextureOptions opts;

    // Options override the preset.
    auto bad = [](const std::string& text) {
        cliError("font: " + text);
        return CLI_USAGE;
    };
    if (args.has("--face") && args.has("--font-file"))
        return bad("give either --face or --font-file, not both");
    if (auto v = args.value("--face")) {
        preset.fontName = *v;
        preset.fontFile.clear();
        preset.faceIndex = 0;
    }
    if (auto v = args.value("--font-file")) {
        if (v->empty()) return bad("--font-file needs a file name");
        preset.fontFile = *v;
        preset.faceIndex = 0;
    }
    if (auto v = args.value("--face-index")) {
        long n;
        if (preset.fontFile.empty()) return bad("--face-index needs --font-file");
        if (!cliParseInt(*v, 0, 0xFFFF, n))
            return bad("--face-index must be a face number 0..65535, not '" + *v + "'");
        preset.faceIndex = int(n);
    }
    for (const std::string& v : args.values("--size")) {
        long n;
        if (v == "pot") {
            opts.powerOfTwo = true;
        } else if (cliParseInt(v, 1, 1000, n)) {
            preset.fontSize = int(n);
        } else {
            return bad("--size must be 1..1000 points or pot, not '" + v + "'");
        }
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
    std::vector<uint32_t> unicodeSet;
    if (auto v = args.value("--chars")) {
        if (*v == "7bit") {
            preset.char8 = 0;
        } else if (*v == "8bit") {
            preset.char8 = 1;
        } else {
            std::string why;
            if (!fontParseCharRanges(*v, unicodeSet, why))
                return bad("--chars: " + why +
                           " (7bit, 8bit or ranges such as 32-126,0x400-0x4FF)");
        }
    }
    if (auto v = args.value("--chars-file")) {
        std::string text, why;
        if (!readWholeFile(*v, text, why)) {
            cliError("font: " + *v + ": " + why);
            return CLI_FILE_ERROR;
        }
        call.read(*v);
        std::vector<uint32_t> more;
        if (!fontCharsFromUtf8(text, more, why)) return bad("--chars-file " + *v + ": " + why);
        unicodeSet.insert(unicodeSet.end(), more.begin(), more.end());
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
        fontSplitUserChars(*v, preset.userChars, preset.userCharsWide);
        preset.filter |= FONT_FILTER_ONEOF;
    }
    if (!unicodeSet.empty()) {
        // Classes and characters given beside a Unicode set join it; the preset's own do not.
        if (args.has("--filter") || args.has("--user-chars")) {
            const std::vector<uint32_t> more = fontSelectCodePoints(
                preset.char8 != 0, preset.filter, preset.userChars, preset.userCharsWide);
            unicodeSet.insert(unicodeSet.end(), more.begin(), more.end());
        }
        std::sort(unicodeSet.begin(), unicodeSet.end());
        unicodeSet.erase(std::unique(unicodeSet.begin(), unicodeSet.end()), unicodeSet.end());
        opts.codePoints = unicodeSet;
    }
    if (auto v = args.value("--layout")) {
        if (*v == "cells")
            opts.layout = FONT_LAYOUT_CELLS;
        else if (*v == "maxrects")
            opts.layout = FONT_LAYOUT_MAXRECTS;
        else
            return bad("--layout must be cells or maxrects, not '" + *v + "'");
    }
    const bool packed = opts.layout == FONT_LAYOUT_MAXRECTS;
    for (const char* o : {"--pitch", "--cell", "--margin", "--origin"})
        if (packed && args.has(o))
            return bad(std::string(o) +
                       " places glyphs in cells; --layout maxrects packs their ink boxes");
    for (const char* o : {"--padding", "--spacing"})
        if (!packed && args.has(o)) return bad(std::string(o) + " needs --layout maxrects");
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
    for (const char* o : {"--padding", "--spacing"})
        if (auto v = args.value(o)) {
            long n;
            if (!cliParseInt(*v, 0, 127, n))
                return bad(std::string(o) + " must be 0..127 pixels, not '" + *v + "'");
            (std::string(o) == "--padding" ? opts.padding : opts.spacing) = int(n);
        }
    if (auto v = args.value("--sdf")) {
        long n;
        if (!cliParseInt(*v, 2, 32, n))
            return bad("--sdf must be a range of 2..32 pixels, not '" + *v + "'");
        if (args.has("--antialias") && preset.antialias != 0)
            return bad("--sdf draws distance fields at the final size; leave --antialias none");
        opts.sdfSpread = int(n);
    }
    if (auto v = args.value("--width")) {
        long n;
        if (!cliParseInt(*v, 1, 32768, n))
            return bad("--width must be 1..32768 pixels, not '" + *v + "'");
        opts.width = int(n);
        if (n == 256 || n == 512) preset.textureWidth = n == 512 ? 1 : 0;
    }
    if (auto v = args.value("--height")) {
        long n;
        if (!cliParseInt(*v, 1, 32768, n))
            return bad("--height must be 1..32768 pixels, not '" + *v + "'");
        opts.height = int(n);
    }
    if (opts.powerOfTwo) {
        const int w = opts.width > 0 ? opts.width : preset.textureWidth == 1 ? 512 : 256;
        if (!isPowerOfTwo(w))
            return bad("--size pot needs a power-of-two --width, not " + std::to_string(w));
        if (opts.height > 0 && !isPowerOfTwo(opts.height))
            return bad("--size pot needs a power-of-two --height, not " +
                       std::to_string(opts.height));
    }
    const bool numbered = out->find("{n}") != std::string::npos;
    opts.maxPages = numbered ? 256 : 1;
    if (auto v = args.value("--max-pages")) {
        long n;
        if (!cliParseInt(*v, 1, 256, n)) return bad("--max-pages must be 1..256, not '" + *v + "'");
        if (n > 1 && !numbered)
            return bad("--max-pages " + *v + " needs {n} in the output name to number the pages");
        opts.maxPages = int(n);
    }
    std::string fntFormat = "text";
    if (auto v = args.value("--fnt-format")) {
        if (*v != "text" && *v != "xml" && *v != "binary")
            return bad("--fnt-format must be text, xml or binary, not '" + *v + "'");
        fntFormat = *v;
    }
    const bool wantFnt = args.has("--fnt") || args.has("--fnt-format");
    opts.kerning = wantFnt;

    FontLayout layout;
    std::string message;
    const int status = fontRender(preset, opts, layout, message);
    if (status != FONT_GEN_OK) {
        std::string flat = message;
        for (char& c : flat)
            if (c == '\n') c = ' ';
        if (status == FONT_GEN_NO_ROOM && !numbered)
            flat += " (put {n} in the output name for more pages, or give a larger --width or "
                    "--height)";
        cliError("font: " + flat);
        return status == FONT_GEN_NO_FONT || status == FONT_GEN_NO_MEMORY ? CLI_FILE_ERROR
                                                                          : CLI_USAGE;
    }
    call.read(layout.face.file);
    // The preset learns the measured cells, as the wizard's does.
    if (layout.layout == FONT_LAYOUT_CELLS) {
        if (preset.cellWidth == 0) preset.cellWidth = layout.cellW >> layout.shift;
        if (preset.cellHeight == 0) preset.cellHeight = layout.cellH >> layout.shift;
    }

    const bool substituted = !layout.face.exact;
    if (substituted)
        cliError("font: '" + preset.fontName + "' is not installed; fontconfig substituted " +
                 layout.face.family + " " + layout.face.style + " (" + layout.face.file + ")");
    if (!layout.missing.empty())
        cliError("font: " + std::to_string(layout.missing.size()) + " of the characters " +
                 (layout.missing.size() == 1 ? "is" : "are") + " not in " + layout.face.family +
                 " and left out: " + firstFew(layout.missing));
    if (!layout.missingDrawn.empty())
        cliError("font: " + std::to_string(layout.missingDrawn.size()) + " of the characters " +
                 (layout.missingDrawn.size() == 1 ? "has" : "have") + " no glyph in " +
                 layout.face.family +
                 " and show its missing-glyph box: " + firstFew(layout.missingDrawn));
    // Fixed cells smaller than the font are taken as given (the wizard takes them too).
    if (const std::string clip = fontClipWarning(layout); !clip.empty())
        cliError("font: " + clip + " --cell auto fits the cells to the font.");

    std::vector<std::string> pages, pageFiles;
    for (int k = 0; k < layout.pageCount; ++k) {
        pages.push_back(pagePath(*out, k, layout.pageCount));
        pageFiles.push_back(baseNameOf(pages.back()));
    }
    // The descriptor is made first: one the chosen format cannot hold writes nothing at all.
    std::string fnt, fntText;
    std::vector<uint8_t> fntBytes;
    if (wantFnt) {
        fnt = descriptorPath(*out);
        const FontDescriptor d = fontDescriptor(layout, preset, pageFiles);
        if (fntFormat == "binary") {
            std::string why;
            if (!fontDescriptorBinary(d, fntBytes, why)) return bad(why);
        } else {
            fntText = fntFormat == "xml" ? fontDescriptorXml(d) : fontDescriptorText(d);
            fntBytes.assign(fntText.begin(), fntText.end());
        }
    }

    std::vector<std::string> positionFiles;
    for (int k = 0; k < layout.pageCount; ++k) {
        TxMip pixels;
        if (!fontPagePixels(layout, k, preset.textColor, preset.backColor, pixels)) {
            cliError("font: " + std::string(kFontMsgOutOfMemory));
            return CLI_FILE_ERROR;
        }
        std::string why;
        if (writeImageAs(pixels, fileType, pages[size_t(k)], 1, WriteOptions{}, &why) != 0) {
            cliError(pages[size_t(k)] + ": " + (why.empty() ? "cannot be written" : why));
            return CLI_FILE_ERROR;
        }
        call.wrote(pages[size_t(k)]);
        std::string msg, reason;
        if (savePositionFiles(fontPositionItems(layout, k), pages[size_t(k)], &msg, &reason) ==
            POS_FILE_WRITE_ERROR) {
            while (!msg.empty() && msg.back() == '\n') msg.pop_back();
            cliError(msg + (reason.empty() ? "" : ": " + reason));
            return CLI_FILE_ERROR;
        }
        PositionFileNames names;
        positionFileNames(pages[size_t(k)], names);
        positionFiles.push_back(names.text);
        call.wrote(names.text);
        call.wrote(names.map);
    }
    if (wantFnt) {
        TxFileWriter w;
        if (!w.open(fnt) || !w.write(fntBytes.data(), fntBytes.size()) || !w.commit()) {
            cliError(fnt + ": " + (w.error().empty() ? "cannot be written" : w.error()));
            return CLI_FILE_ERROR;
        }
        call.wrote(fnt);
    }
    if (args.has("--save-settings")) {
        presets.selected()->preset = preset;
        presets.save(call.settings());
        std::string why;
        if (!call.saveSettings(why)) {
            cliError(why);
            return CLI_FILE_ERROR;
        }
    }

    const int count = int(layout.glyphs.size());
    const std::string faceText = layout.face.family + " " + layout.face.style;
    if (json) {
        std::string pageList = "[", posList = "[";
        for (size_t k = 0; k < pages.size(); ++k) {
            pageList += (k ? ", " : "") + cliJsonString(pages[k]);
            posList += (k ? ", " : "") + cliJsonString(positionFiles[k]);
        }
        call.field("image", cliJsonString(pages[0]));
        call.field("width", std::to_string(layout.finalWidth()));
        call.field("height", std::to_string(layout.finalHeight()));
        call.field("characters", std::to_string(count));
        call.field("cell", "[" + std::to_string(layout.cellW >> layout.shift) + ", " +
                               std::to_string(layout.cellH >> layout.shift) + "]");
        call.field("face", cliJsonString(layout.face.family));
        call.field("style", cliJsonString(layout.face.style));
        call.field("fontFile", cliJsonString(layout.face.file));
        call.field("faceIndex", std::to_string(layout.face.index));
        call.field("substituted", substituted ? "true" : "false");
        call.field("requested",
                   cliJsonString(preset.fontFile.empty() ? preset.fontName : preset.fontFile));
        call.field("positions", cliJsonString(positionFiles[0]));
        call.field("layout", packed ? "\"maxrects\"" : "\"cells\"");
        call.field("pages", pageList + "]");
        call.field("positionFiles", posList + "]");
        call.field("missing", jsonCodePoints(layout.missing));
        call.field("missingDrawn", jsonCodePoints(layout.missingDrawn));
        call.field("clipped", jsonCodePoints(layout.clipped));
        if (!fnt.empty()) {
            call.field("fnt", cliJsonString(fnt));
            call.field("fntFormat", cliJsonString(fntFormat));
        }
    } else {
        const std::string where = layout.pageCount == 1
                                      ? pages[0] + ": " + std::to_string(layout.finalWidth()) +
                                            "x" + std::to_string(layout.finalHeight())
                                      : *out + ": " + std::to_string(layout.pageCount) +
                                            " pages of " + std::to_string(layout.finalWidth()) +
                                            "x" + std::to_string(layout.finalHeight());
        const std::string how = packed
                                    ? std::to_string(count) + " characters packed"
                                    : std::to_string(count) + " characters in " +
                                          std::to_string(layout.cellW >> layout.shift) + "x" +
                                          std::to_string(layout.cellH >> layout.shift) + " cells";
        std::printf("%s, %s, face %s (%s)%s\n", where.c_str(), how.c_str(), faceText.c_str(),
                    layout.face.file.c_str(),
                    substituted ? (", substituted for '" + preset.fontName + "'").c_str() : "");
    }
    return CLI_OK;
}
