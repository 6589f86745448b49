// tarquil-cli pack: sprites from many files into atlas pages, each with its position list, and
// the data file an engine loads.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_ports.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/position_files.h"
#include "texlib/stream.h"
#include "tools/codegen/sheet_template.h"
#include "tools/pack/pack.h"
#include "tools/pack/pack_data.h"
#include "tools/pack/pack_inputs.h"

namespace fs = std::filesystem;

namespace {

void printHelp() {
    std::printf(
        "usage: tarquil-cli pack IN... -o SHEET [--data FILE [--template NAME|FILE]]\n"
        "                        [--trim none|trim|crop] [--alpha-threshold N] [--extrude N]\n"
        "                        [--border N] [--padding N] [--rotate]\n"
        "                        [--size any|pot|square|pot-square] [--max WxH]\n"
        "                        [--alias-duplicates] [--json]\n\n"
        "Packs sprites into atlas pages. IN is an image file, a folder (searched through, hidden\n"
        "files left out, in sorted path order), a multi-frame file (one sprite per frame:\n"
        "walk_000, walk_001, ...) or the first file of a numbered series (one sprite per file);\n"
        "@LIST reads more arguments from LIST, one a line. Sprite names are the paths inside\n"
        "the folder given, without extension; a file named directly gives its own name.\n"
        "Writes SHEET (.tga .png .bmp .pcx .spr) with SHEET_pos.txt and SHEET.map; when the\n"
        "sprites need several pages, SHEET must hold {n} (the page number from 0).\n\n"
        "  --data FILE          also write the data file (one per page when FILE holds {n})\n"
        "  --template NAME|FILE its layout: a built-in (%s) or a\n"
        "                       template file; json-hash when not given\n"
        "  --trim MODE          none (default); trim: cut transparent edges, keep the source\n"
        "                       size and offset for the data file; crop: cut them and forget them\n"
        "  --alpha-threshold N  pixels with alpha up to N count as transparent (0 to 254)\n"
        "  --extrude N          repeat each sprite's edge pixels N times outwards (0 to 64)\n"
        "  --border N           empty pixels along the page edges (0 to 256)\n"
        "  --padding N          empty pixels between sprites (0 to 256)\n"
        "  --rotate             turn sprites by 90 degrees where that packs better (refused with a\n"
        "                       template that has no rotated flag)\n"
        "  --size RULE          page sizes: any (default), pot (powers of two), square, pot-square\n"
        "  --max WxH            largest page (default 4096x4096, at most 32768 a side)\n"
        "  --alias-duplicates   pixel-identical sprites share one rectangle, every name kept\n"
        "  --json               print pages, occupancy, sprites and aliases as JSON\n\n"
        "Exit status: 0 done; 1 a file could not be read or written (nothing is written when an\n"
        "input cannot be read); 2 bad usage, no sprites, two sprites of the same name or a\n"
        "sprite larger than --max.\n",
        builtinTemplateNames().c_str());
}

bool parseMax(const std::string& text, int& w, int& h) {
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const size_t x = t.find('x');
    long a = 0, b = 0;
    if (x == std::string::npos || !cliParseInt(t.substr(0, x), 1, 32768, a) ||
        !cliParseInt(t.substr(x + 1), 1, 32768, b))
        return false;
    w = int(a);
    h = int(b);
    return true;
}

bool writeText(const std::string& path, const std::string& text, std::string& why) {
    TxFileWriter w;
    if (w.open(path) && w.write(text.data(), text.size()) && w.commit()) return true;
    why = w.error().empty() ? "cannot be written" : w.error();
    return false;
}

}  // namespace

int cmdPack(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--output",  "--data",   "--template", "--trim", "--alpha-threshold",
                   "--extrude", "--border", "--padding",  "--size", "--max"};
    spec.flags = {"--rotate", "--alias-duplicates"};
    spec.aliases = {{"-o", "--output"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    auto usage = [](const std::string& text) { return cliUsage("pack", text); };

    const auto out = args.value("--output");
    if (!out) return usage("give the sheet to write with -o SHEET");
    const TxFileType outType = writableTypeForPath(*out);
    if (!isWritableType(outType))
        return usage("cannot write '" + *out + "'; use .tga, .png, .bmp, .pcx or .spr");

    PackOptions o;
    o.load(call.settings());
    if (auto v = args.value("--trim")) {
        if (*v == "none")
            o.trim = PackTrim::None;
        else if (*v == "trim")
            o.trim = PackTrim::Trim;
        else if (*v == "crop")
            o.trim = PackTrim::Crop;
        else
            return usage("--trim must be none, trim or crop, not '" + *v + "'");
    }
    struct Number {
        const char* option;
        long min, max;
        int* target;
    };
    for (const Number& n :
         {Number{"--alpha-threshold", 0, 254, &o.alphaThreshold},
          Number{"--extrude", 0, 64, &o.extrude}, Number{"--border", 0, 256, &o.border},
          Number{"--padding", 0, 256, &o.padding}}) {
        if (auto v = args.value(n.option)) {
            long x = 0;
            if (!cliParseInt(*v, n.min, n.max, x))
                return usage(std::string(n.option) + " must be a number from " +
                             std::to_string(n.min) + " to " + std::to_string(n.max) + ", not '" +
                             *v + "'");
            *n.target = int(x);
        }
    }
    if (args.has("--rotate")) o.rotate = true;
    if (args.has("--alias-duplicates")) o.aliasDuplicates = true;
    if (auto v = args.value("--size")) {
        if (*v == "any")
            o.size = PackSize::Any;
        else if (*v == "pot")
            o.size = PackSize::Pot;
        else if (*v == "square")
            o.size = PackSize::Square;
        else if (*v == "pot-square")
            o.size = PackSize::PotSquare;
        else
            return usage("--size must be any, pot, square or pot-square, not '" + *v + "'");
    }
    if (auto v = args.value("--max"))
        if (!parseMax(*v, o.maxWidth, o.maxHeight))
            return usage("--max wants WxH, each 1 to 32768, not '" + *v + "'");
    if (std::string why; !o.valid(&why)) return usage(why);

    // The template is read and checked before anything else, so that a bad one writes nothing.
    const auto data = args.value("--data");
    if (args.value("--template") && !data) return usage("--template goes with --data FILE");
    SheetTemplate tmpl;
    if (data) {
        const std::string name = args.value("--template").value_or("json-hash");
        TemplateError error;
        std::string read;
        switch (loadSheetTemplate(name, tmpl, error, &read)) {
        case TEMPLATE_OK: break;
        case TEMPLATE_UNREADABLE: cliError("pack: " + error.text()); return CLI_FILE_ERROR;
        case TEMPLATE_UNKNOWN: cliError("pack: " + error.text()); return CLI_USAGE;
        default: cliError("pack: " + name + ":" + error.text()); return CLI_USAGE;
        }
        if (!read.empty()) call.read(read);
        if (!packTemplateTurn(name, read, o.turn) && o.rotate)
            return usage("the template " + name +
                         " cannot say that a sprite is rotated; leave out --rotate");
    }

    if (args.positional().empty()) return usage("no sprites given (see tarquil-cli pack --help)");
    PackInputs in;
    if (!collectPackInputs(args.positional(), in, call.palette().argb())) {
        cliError("pack: " + in.error + "; nothing written");
        return CLI_FILE_ERROR;
    }
    for (const std::string& f : in.foldersRead) call.read(f);
    for (const std::string& f : in.filesRead) call.read(f);
    if (in.sprites.empty()) {
        cliError("pack: the inputs hold no sprites (folders are searched for image files)");
        return CLI_USAGE;
    }

    const PackResult r = packSprites(in.sprites, o);
    if (r.status != PACK_OK) {
        cliError("pack: " + r.error + "; nothing written");
        return CLI_USAGE;
    }
    const int pages = int(r.pages.size());
    if (pages > 1 && out->find("{n}") == std::string::npos)
        return usage("the sprites need " + std::to_string(pages) +
                     " pages; put {n} into -o (sheet{n}.png) for the page number");
    const bool dataPerPage = data && data->find("{n}") != std::string::npos;
    if (data && pages > 1 && !dataPerPage && !packTemplateHasPages(tmpl))
        return usage("the sprites need " + std::to_string(pages) +
                     " pages and the template has no page blocks; put {n} into --data");

    // Every file of the run, checked against the inputs before the first is written.
    std::vector<std::string> targets;
    for (int p = 0; p < pages; ++p) {
        PositionFileNames names;
        const std::string sheet = packPagePath(*out, p);
        positionFileNames(sheet, names);
        targets.insert(targets.end(), {sheet, names.text, names.map});
        if (dataPerPage) targets.push_back(packPagePath(*data, p));
    }
    if (data && !dataPerPage) targets.push_back(*data);
    if (!cliInputsSafe("pack", in.filesRead, targets, "")) return CLI_USAGE;

    // Pipelines name output folders that do not exist yet.
    for (const std::string& t : targets) {
        std::error_code ec;
        const fs::path dir = fs::path(t).parent_path();
        if (!dir.empty() && !fs::exists(dir, ec) && !fs::create_directories(dir, ec)) {
            cliError("pack: " + dir.string() + ": " + ec.message());
            return CLI_FILE_ERROR;
        }
    }
    CliProgress progress("pack", cliStderrIsTerminal() && !call.json && pages > 1);
    progress.begin(pages);
    for (int p = 0; p < pages; ++p) {
        const std::string sheet = packPagePath(*out, p);
        Frame page;
        if (!renderPackPage(r, p, in.sprites, o, page)) {
            cliError("pack: " + sheet + ": out of memory for a page of " +
                     std::to_string(r.pages[size_t(p)].width) + "x" +
                     std::to_string(r.pages[size_t(p)].height));
            return CLI_FILE_ERROR;
        }
        std::string reason, message;
        if (writeFrameAs(page, outType, sheet, 1, WriteOptions{}, &reason) != 0) {
            cliError(sheet + ": " + (reason.empty() ? "cannot be written" : reason));
            return CLI_FILE_ERROR;
        }
        call.wrote(sheet);
        PositionFileNames names;
        positionFileNames(sheet, names);
        if (savePositionFiles(packPagePositions(r, p), sheet, &message, &reason) != POS_FILE_OK) {
            cliError(names.text + ": " + (reason.empty() ? "cannot be written" : reason));
            return CLI_FILE_ERROR;
        }
        call.wrote(names.text);
        call.wrote(names.map);
        progress.step();
    }
    progress.end();

    if (data) {
        auto sheetFor = [&](int first, int last, const std::string& dataPath) {
            return packTemplateSheet(r, first, last, [&](int p) {
                return packRelativePath(packPagePath(*out, p), dataPath);
            });
        };
        for (int p = 0; p < (dataPerPage ? pages : 1); ++p) {
            const std::string path = dataPerPage ? packPagePath(*data, p) : *data;
            const std::string text = renderSheetTemplate(
                tmpl, dataPerPage ? sheetFor(p, p + 1, path) : sheetFor(0, pages, path));
            std::string why;
            if (!writeText(path, text, why)) {
                cliError("pack: " + path + ": " + why);
                return CLI_FILE_ERROR;
            }
            call.wrote(path);
        }
    }

    char occ[32];
    std::snprintf(occ, sizeof occ, "%.4f", r.occupancy());
    if (call.json) {
        std::string list = "[";
        for (int p = 0; p < pages; ++p) {
            char share[32];
            const PackPage& pg = r.pages[size_t(p)];
            std::snprintf(share, sizeof share, "%.4f",
                          double(pg.usedArea) / (double(pg.width) * pg.height));
            list += std::string(p ? ", " : "") +
                    "{\"file\": " + cliJsonString(packPagePath(*out, p)) +
                    ", \"width\": " + std::to_string(pg.width) +
                    ", \"height\": " + std::to_string(pg.height) +
                    ", \"sprites\": " + std::to_string(pg.sprites.size()) +
                    ", \"occupancy\": " + share + "}";
        }
        call.field("pages", list + "]");
        call.field("occupancy", occ);
        call.field("sprites", std::to_string(r.sprites.size()));
        call.field("aliases", std::to_string(r.aliases));
    } else {
        std::printf("%s: %zu sprites (%d aliases) on %d page%s, %.1f%% used\n", out->c_str(),
                    r.sprites.size(), r.aliases, pages, pages == 1 ? "" : "s",
                    100.0 * r.occupancy());
    }
    return CLI_OK;
}
