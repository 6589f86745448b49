// tarquil-cli arrange: packs the rectangles of an image's position list into a new sheet, as the
// position list window's "Arrange" does, and writes the sheet with its position file.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_ports.h"
#include "document/document.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/position_files.h"
#include "model/sequence_io.h"
#include "tools/poslist/arrange.h"

namespace {

// Answers "Set maximum values" from the options; everything else as CliPrompts does.
class ArrangePrompts : public CliPrompts {
public:
    ArrangePrompts() : CliPrompts("arrange") {}
    std::optional<MaxSizeOptions> maxSize(const MaxSizeOptions& d) override {
        MaxSizeOptions o = d;
        if (width) o.width = *width;
        if (height) o.height = *height;
        o.autoWidth = o.width == 0;
        o.autoHeight = o.height == 0;
        o.method = method;
        o.padding = padding;
        asked = o;
        return o;
    }
    std::optional<int> width, height;  // 0 automatic; unset: the image's size
    int method = ARRANGE_ROWS;
    int padding = 0;
    MaxSizeOptions asked;
};

// One side of --max: a number from 0 to 65535 or "auto" (0).
bool parseSide(const std::string& text, int& side) {
    if (text == "auto") {
        side = 0;
        return true;
    }
    long v = 0;
    if (!cliParseInt(text, 0, 65535, v)) return false;
    side = int(v);
    return true;
}

void printHelp() {
    std::printf(
        "usage: tarquil-cli arrange IMAGE -o SHEET [--max WxH|auto] [--method rows|maxrects]\n"
        "                           [--padding N] [--json]\n\n"
        "Reads IMAGE (its first frame) and its position list (IMAGE_pos.txt beside it, else\n"
        "IMAGE_pos.tmp in the temporary folder), packs the listed rectangles into a new sheet\n"
        "and writes SHEET (.tga .png .bmp .pcx .spr) with SHEET_pos.txt: every item at its new\n"
        "place, in placement order. Pixels outside the items are transparent black.\n\n"
        "  --max WxH|auto       largest sheet: W and H are 0 to 65535 or 'auto' (0 is auto too);\n"
        "                       'auto' alone makes both sides automatic. Without --max the\n"
        "                       limits are IMAGE's size, as the editor's dialog proposes.\n"
        "                       A fixed side is the sheet's side.\n"
        "  --method rows        sort by size and fill rows (the editor's packer; default)\n"
        "  --method maxrects    MaxRects, best short side fit: much less empty space when\n"
        "                       the sprites differ in size\n"
        "  --padding N          keep N pixels (0 to 256) between sprites (maxrects only)\n"
        "  --json               print the result as JSON on stdout\n\n"
        "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage or the items\n"
        "do not fit (\"failed try automatic\") or make a sheet beyond 32768 pixels a side.\n");
}

}  // namespace

int cmdArrange(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--max", "--method", "--padding", "--output"};
    spec.flags = {"--json"};
    spec.aliases = {{"-o", "--output"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    auto usage = [](const std::string& text) { return cliUsage("arrange", text); };
    if (args.positional().size() != 1)
        return usage("expected one IMAGE (see tarquil-cli arrange --help)");
    const auto out = args.value("--output");
    if (!out) return usage("give the sheet to write with -o SHEET");
    const TxFileType outType = writableTypeForPath(*out);
    if (!isWritableType(outType))
        return usage("cannot write '" + *out + "'; use .tga, .png, .bmp, .pcx or .spr");

    ArrangePrompts prompts;
    if (auto m = args.value("--max")) {
        std::string t = *m;
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char ch) { return char(std::tolower(ch)); });
        int w = 0, h = 0;
        const size_t x = t.find('x', t.rfind("auto", 0) == 0 ? 4 : 0);
        if (t == "auto") {
            w = h = 0;
        } else if (x == std::string::npos || !parseSide(t.substr(0, x), w) ||
                   !parseSide(t.substr(x + 1), h)) {
            return usage("--max wants WxH (each 0 to 65535 or auto) or auto, not '" + *m + "'");
        }
        prompts.width = w;
        prompts.height = h;
    }
    if (auto m = args.value("--method")) {
        if (*m == "rows")
            prompts.method = ARRANGE_ROWS;
        else if (*m == "maxrects")
            prompts.method = ARRANGE_MAXRECTS;
        else
            return usage("--method must be rows or maxrects, not '" + *m + "'");
    }
    if (auto p = args.value("--padding")) {
        long v = 0;
        if (!cliParseInt(*p, 0, 256, v))
            return usage("--padding must be a number from 0 to 256, not '" + *p + "'");
        if (prompts.method != ARRANGE_MAXRECTS && v != 0)
            return usage("--padding goes with --method maxrects");
        prompts.padding = int(v);
    }

    // The source: the first frame of the image and the position list the editor would read.
    const std::string& image = args.positional()[0];
    auto frames = std::make_unique<FrameSequence>();
    prompts.load = SequenceLoadOptions{1, SEQ_LOAD_SINGLE, 1};
    SequenceLoadReport report;
    if (loadSequence(*frames, image, prompts, call.palette().argb(), &report) != SEQ_OK ||
        frames->count() == 0) {
        cliError(cliLoadFailure(image, report));
        return CLI_FILE_ERROR;
    }
    cliReportSequenceRead(call, image, *frames, false);
    CBitmapDoc source;
    int w = 1, h = 1;
    frames->currentSize(w, h);
    source.setFrames(std::move(frames));
    const PositionLoadResult pos = loadPositions(source.positions(), image, w, h);
    if (pos.source == PositionSource::None) {
        PositionFileNames names;
        positionFileNames(image, names);
        cliError(image + " has no position file (" + names.text + ")");
        return CLI_FILE_ERROR;
    }
    call.read(pos.path);
    if (pos.fileError) {
        cliError(pos.path + ": " + (pos.error.empty() ? "cannot be read" : pos.error));
        return CLI_FILE_ERROR;
    }
    if (source.positions().empty()) {
        cliError(pos.path + " holds no rectangle inside the " + std::to_string(w) + "x" +
                 std::to_string(h) + " image");
        return CLI_FILE_ERROR;
    }

    std::unique_ptr<CBitmapDoc> made;
    ArrangeResult outcome;
    CBitmapDoc* sheet = source.arrange(
        prompts,
        [&made, &source](Prompts& p) -> CBitmapDoc* {
            made = std::make_unique<CBitmapDoc>(source.context());
            return made->onNewDocument(p) ? made.get() : nullptr;
        },
        &outcome);
    if (!sheet) {
        if (prompts.messages == 0) {
            cliError("arrange: nothing was arranged");
            return CLI_USAGE;
        }
        // The editor's message does not say which item; a pipeline's log should.
        if (!outcome.ok && outcome.hasMisfit) {
            const MaxSizeOptions& a = prompts.asked;
            auto side = [](bool automatic, int v) {
                return automatic || v == 0 ? std::string("auto") : std::to_string(v);
            };
            const PositionItem& m = outcome.misfit;
            cliError("arrange: '" + m.name + "' (" + std::to_string(m.width()) + "x" +
                     std::to_string(m.height()) + ") finds no room inside " +
                     side(a.autoWidth, a.width) + "x" + side(a.autoHeight, a.height));
        }
        return CLI_USAGE;
    }

    const Frame& result = *sheet->frames()->currentFrame();
    std::string reason;
    if (writeFrameAs(result, outType, *out, 1, WriteOptions{}, &reason) != 0) {
        cliError(*out + ": " + (reason.empty() ? "cannot be written" : reason));
        return CLI_FILE_ERROR;
    }
    call.wrote(*out);
    std::string message;
    PositionFileNames names;
    positionFileNames(*out, names);
    if (savePositionText(sheet->positions(), *out, &message, &reason) != POS_FILE_OK) {
        cliError(names.text + ": " + (reason.empty() ? "cannot be written" : reason));
        return CLI_FILE_ERROR;
    }
    if (!sheet->positions().empty()) call.wrote(names.text);

    double used = 0;
    for (int i = 0; i < sheet->positions().count(); ++i)
        used += double(sheet->positions().at(i).width()) * sheet->positions().at(i).height();
    const double occupancy = used / (double(result.width()) * result.height());
    if (call.json) {
        char share[32];
        std::snprintf(share, sizeof share, "%.4f", occupancy);
        call.field("sheet", cliJsonString(*out));
        call.field("width", std::to_string(result.width()));
        call.field("height", std::to_string(result.height()));
        call.field("items", std::to_string(sheet->positions().count()));
        call.field("method",
                   prompts.asked.method == ARRANGE_MAXRECTS ? "\"maxrects\"" : "\"rows\"");
        call.field("occupancy", share);
    } else {
        std::printf("%s: %d items on %dx%d, %.1f%% used\n", out->c_str(),
                    sheet->positions().count(), result.width(), result.height(), 100.0 * occupancy);
    }
    return CLI_OK;
}
