// tarquil-cli render: what a document view of the whole picture shows (zoom, channels, grid and
// selection outline), through the same rendering as the editor's view, for previews in build logs
// and documentation.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_ports.h"
#include "document/document.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/sequence_io.h"
#include "view/view_render.h"
#include "view/view_state.h"

namespace {

const char* kHelp =
    "usage: tarquil-cli render IN OUT [--frame N] [--zoom Z] [--channels SET] [--grid normal|iso]\n"
    "                          [--grid-size WxH] [--grid-offset X,Y] [--grid-colour 0xRRGGBB]\n"
    "                          [--selection X,Y,W,H]\n\n"
    "Writes OUT (.tga .png .bmp .pcx .spr) as the editor's view shows frame N of IN: every pixel\n"
    "opaque in its colour whatever its alpha, magnified Z times, with the grid blended over it and\n"
    "the selection outline inverted.\n\n"
    "  --frame N             frame of a series or multi-frame file (1-based, default 1)\n"
    "  --zoom Z              1 to 8 (default 1)\n"
    "  --channels SET        rgb (default), r, g, b, rg, rb, gb, or alpha for the alpha as grey\n"
    "  --grid normal|iso     draw the normal grid or the isometric 64 x 32 diamonds\n"
    "  --grid-size WxH       grid cell, 4 to 1024 each (default the editor's frame size)\n"
    "  --grid-offset X,Y     first grid line, 0 to 1023 and inside the picture (default 0,0)\n"
    "  --grid-colour 0xRRGGBB  line colour (default 0xFF8080)\n"
    "  --selection X,Y,W,H   outline of a selection inside the picture\n\n"
    "Exit status: 0 written, 1 a file could not be read or written, 2 bad usage or values.\n";

int usage(const std::string& text) { return cliUsage("render", text); }

// "A<sep>B" with both parts whole numbers in [min, max].
bool parsePair(const std::string& text, char sep, long min, long max, long& a, long& b) {
    const size_t at = text.find(sep);
    return at != std::string::npos && cliParseInt(text.substr(0, at), min, max, a) &&
           cliParseInt(text.substr(at + 1), min, max, b);
}

}  // namespace

int cmdRender(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--frame",     "--zoom",        "--channels",    "--grid",
                   "--grid-size", "--grid-offset", "--grid-colour", "--selection"};
    spec.aliases = {{"--grid-color", "--grid-colour"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, kHelp, args)) return *status;
    if (args.positional().size() != 2)
        return usage("expected IN and OUT (see tarquil-cli render --help)");
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    const TxFileType outType = writableTypeForPath(out);
    if (!isWritableType(outType))
        return usage("cannot write '" + out + "'; use .tga, .png, .bmp, .pcx or .spr");

    long frame = 1, zoom = 1;
    if (auto v = args.value("--frame"); v && !cliParseInt(*v, 1, 1 << 20, frame))
        return usage("--frame must be a frame number from 1, not '" + *v + "'");
    if (auto v = args.value("--zoom"); v && !cliParseInt(*v, 1, 8, zoom))
        return usage("--zoom must be 1 to 8, not '" + *v + "'");
    int channels = 7;
    if (auto v = args.value("--channels")) {
        static const struct {
            const char* name;
            int set;
        } sets[] = {{"rgb", 7}, {"r", 4},  {"g", 2},  {"b", 1},
                    {"rg", 6},  {"rb", 5}, {"gb", 3}, {"alpha", CHANNEL_MASK}};
        channels = -1;
        for (const auto& s : sets)
            if (*v == s.name) channels = s.set;
        if (channels < 0)
            return usage("--channels must be rgb, r, g, b, rg, rb, gb or alpha, not '" + *v + "'");
    }
    const auto grid = args.value("--grid");
    if (grid && *grid != "normal" && *grid != "iso")
        return usage("--grid must be normal or iso, not '" + *grid + "'");
    for (const char* o : {"--grid-size", "--grid-offset", "--grid-colour"})
        if (args.has(o) && !grid)
            return usage(std::string(o) + " needs --grid normal or --grid iso");

    SettingsStore& settings = call.settings();
    ViewPreferences prefs;
    prefs.frameWidth = settings.getInt("Frame", "width", 32);
    prefs.frameHeight = settings.getInt("Frame", "height", 32);
    prefs.isoFrameWidth = settings.getInt("Iso-Frame", "width", 64);
    prefs.isoFrameHeight = settings.getInt("Iso-Frame", "height", 32);
    prefs.startMode = grid && *grid == "iso" ? 1 : 0;

    GridOptions g;
    g.xSize = prefs.startMode ? prefs.isoFrameWidth : prefs.frameWidth;
    g.ySize = prefs.startMode ? prefs.isoFrameHeight : prefs.frameHeight;
    long a = 0, b = 0;
    if (auto v = args.value("--grid-size")) {
        if (!parsePair(*v, 'x', 4, 1024, a, b))
            return usage("--grid-size must be WxH with each from 4 to 1024, not '" + *v + "'");
        g.xSize = int(a);
        g.ySize = int(b);
    }
    if (auto v = args.value("--grid-offset")) {
        if (!parsePair(*v, ',', 0, 1023, a, b))
            return usage("--grid-offset must be X,Y with each from 0 to 1023, not '" + *v + "'");
        g.xOffset = int(a);
        g.yOffset = int(b);
    }
    if (auto v = args.value("--grid-colour")) {
        std::string t = *v;
        if (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0) t = t.substr(2);
        char* end = nullptr;
        const unsigned long rgb =
            t.empty() || t.size() > 6 ? 0x1000000ul : std::strtoul(t.c_str(), &end, 16);
        if (rgb > 0xFFFFFFul || !end || *end)
            return usage("--grid-colour must be 0xRRGGBB, not '" + *v + "'");
        // The view keeps the colour as the colour chooser gives it: 0x00BBGGRR.
        g.colour = uint32_t((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16));
    }
    TxRect selection;
    if (auto v = args.value("--selection")) {
        std::vector<long> n;
        size_t from = 0;
        for (int i = 0; i < 4; ++i) {
            const size_t to = i < 3 ? v->find(',', from) : v->size();
            long value = 0;
            if (to == std::string::npos ||
                !cliParseInt(v->substr(from, to - from), i < 2 ? 0 : 1, 1 << 20, value))
                break;
            n.push_back(value);
            from = to + 1;
        }
        if (n.size() != 4)
            return usage("--selection must be X,Y,W,H with W and H from 1, not '" + *v + "'");
        const long x = n[0], y = n[1], w = n[2], h = n[3];
        selection = TxRect{int(x), int(y), int(x + w), int(y + h)};
    }

    CliPrompts prompts("render");
    auto seq = std::make_unique<FrameSequence>();
    SequenceLoadReport report;
    if (loadSequence(*seq, in, prompts, call.palette().argb(), &report) != SEQ_OK ||
        seq->count() == 0) {
        cliError(in + ": " + (report.error.empty() ? "cannot be read" : report.error));
        return CLI_FILE_ERROR;
    }
    cliReportSequenceRead(call, in, *seq, true);
    if (frame > seq->count())
        return usage(in + " holds " + std::to_string(seq->count()) + " frame" +
                     (seq->count() == 1 ? "" : "s") + ", not " + std::to_string(frame));
    seq->setCurrent(int(frame - 1));
    CBitmapDoc doc;
    doc.setFrames(std::move(seq));

    ViewState view(&doc, prefs);
    const int w = view.imageWidth(), h = view.imageHeight();
    if (w <= 0 || h <= 0) {
        cliError(in + ": frame " + std::to_string(frame) + " has no pixels");
        return CLI_FILE_ERROR;
    }
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (grid && (g.xOffset >= w || g.yOffset >= h))
        return usage("--grid-offset " + std::to_string(g.xOffset) + "," +
                     std::to_string(g.yOffset) + " lies outside the " + size + " picture");
    if (!selection.empty() && (selection.right > w || selection.bottom > h))
        return usage("--selection lies outside the " + size + " picture");
    const int64_t ow = int64_t(w) * zoom, oh = int64_t(h) * zoom;
    if (ow > 32768 || oh > 32768 || ow * oh > (int64_t(1) << 28))
        return usage("a " + size + " picture at zoom " + std::to_string(zoom) +
                     " is larger than 32768 x 32768 or 1 GiB of pixels");

    view.setZoom(int(zoom));
    if (channels == CHANNEL_MASK)
        view.toggleAlpha();
    else
        view.setChannels(channels);
    if (grid) {
        view.setGridOptions(g);
        view.toggleGrid();
    }
    view.setSelection(selection);
    view.setViewport(0, 0, int(ow), int(oh));
    ImageBuffer shown;
    renderView(view, shown);
    Frame picture;
    if (shown.empty() || picture.createBlank(shown.width(), shown.height()) != 0) {
        cliError("render: out of memory for a " + std::to_string(ow) + "x" + std::to_string(oh) +
                 " picture");
        return CLI_FILE_ERROR;
    }
    std::memcpy(picture.pixels(), shown.pixels(), size_t(ow) * size_t(oh) * 4);
    std::string error;
    if (writeFrameAs(picture, outType, out, 1, WriteOptions{}, &error) != 0) {
        cliError(out + ": " + (error.empty() ? "cannot be written" : error));
        return CLI_FILE_ERROR;
    }
    call.wrote(out);
    return CLI_OK;
}
