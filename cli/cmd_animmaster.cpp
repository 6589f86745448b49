// tarquil-cli animmaster: the AnimMaster optimiser over the frames of one or more inputs, written
// as a numbered series or one strip.
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
#include "model/numbered_path.h"
#include "model/sequence_io.h"
#include "model/settings.h"
#include "tools/animmaster/animmaster.h"

namespace {

// Appends the frames of `from` to `to` (deep copies, as the document's copies are).
bool appendFrames(FrameSequence& to, const FrameSequence& from) {
    for (int i = 0; i < from.count(); ++i) {
        const Frame& src = *from.frameAt(i);
        Frame* f = to.append();
        if (!f || f->createBlank(src.width(), src.height()) != FE_OK) return false;
        f->copyRect(src, TxRect{0, 0, src.width(), src.height()},
                    TxRect{0, 0, src.width(), src.height()});
        f->fileType = src.fileType;
        f->fileName = src.fileName;
    }
    return true;
}

void printHelp() {
    std::printf(
        "usage: tarquil-cli animmaster IN... -o OUT [--buffer single|double|uni|none]\n"
        "                              [--key 0xAARRGGBB] [--unique] [--transparent]\n"
        "                              [--keep-alpha|--no-keep-alpha] [--save-settings]\n\n"
        "Reads the frames of every IN in order (the first file of a numbered series loads the\n"
        "series, a multi-frame file all its frames) and prepares them for engines that draw\n"
        "each frame over the previous ones: pixels that did not change against the reference\n"
        "frame become the colour key. OUT with a frame number (walk_000.tga) receives a\n"
        "numbered series from that number; any other OUT one strip, the frames one above the\n"
        "other, with OUT_pos.txt (.tga .png .bmp .pcx .spr; .spr is always one file).\n\n"
        "  --buffer single      compare each frame with the previous one\n"
        "  --buffer double      with the frame two before (frame 1 with frame 0)\n"
        "  --buffer uni         every frame with the first\n"
        "  --buffer none        no comparison (only the passes below)\n"
        "  --key 0xAARRGGBB     the colour key, a pixel word (hexadecimal, 1 to 8 digits)\n"
        "  --unique             key out pixels that are the same in every frame (not in the\n"
        "                       first); --no-unique turns the editor's setting off\n"
        "  --transparent        key out pixels whose alpha is 0, in every frame;\n"
        "                       --no-transparent turns the editor's setting off\n"
        "  --keep-alpha         keyed pixels keep their alpha (changed pixels stay as they are)\n"
        "  --no-keep-alpha      keyed pixels become the key word; changed pixels get alpha 0\n"
        "  --save-settings      store the choices as the editor's AnimMaster settings\n\n"
        "Defaults are the editor's AnimMaster settings (single buffer, key 0x00000000, keep\n"
        "alpha when none were saved). Frames of another size than the first are compared where\n"
        "both have pixels; in a strip they are cut to the first frame's size.\n");
}

}  // namespace

int cmdAnimmaster(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--buffer", "--key", "--output"};
    spec.flags = {"--unique",     "--no-unique",     "--transparent",  "--no-transparent",
                  "--keep-alpha", "--no-keep-alpha", "--save-settings"};
    spec.aliases = {{"-o", "--output"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    auto usage = [](const std::string& text) { return cliUsage("animmaster", text); };
    if (args.positional().empty())
        return usage("expected one or more IN (see tarquil-cli animmaster --help)");
    const auto out = args.value("--output");
    if (!out) return usage("give the output with -o OUT");
    const TxFileType outType = writableTypeForPath(*out);
    if (!isWritableType(outType))
        return usage("cannot write '" + *out + "'; use .tga, .png, .bmp, .pcx or .spr");
    for (const char* pair : {"unique", "transparent", "keep-alpha"})
        if (args.has(std::string("--") + pair) && args.has(std::string("--no-") + pair))
            return usage(std::string("give either --") + pair + " or --no-" + pair + ", not both");

    AnimMasterOptions o;
    o.load(call.settings());
    if (auto b = args.value("--buffer")) {
        if (*b == "single")
            o.bufferType = AM_BUFFER_SINGLE;
        else if (*b == "double")
            o.bufferType = AM_BUFFER_DOUBLE;
        else if (*b == "uni")
            o.bufferType = AM_BUFFER_UNI;
        else if (*b == "none")
            o.bufferType = AM_BUFFER_NONE;
        else
            return usage("--buffer must be single, double, uni or none, not '" + *b + "'");
    }
    if (auto k = args.value("--key")) {
        if (!animMasterParseKeyStrict(*k, o.colorKey))
            return usage("--key wants a pixel word 0xAARRGGBB (1 to 8 hex digits), not '" + *k +
                         "'");
    }
    if (args.has("--unique")) o.cutoutUnique = true;
    if (args.has("--no-unique")) o.cutoutUnique = false;
    if (args.has("--transparent")) o.cutoutAlpha = true;
    if (args.has("--no-transparent")) o.cutoutAlpha = false;
    if (args.has("--keep-alpha")) o.keepAlpha = true;
    if (args.has("--no-keep-alpha")) o.keepAlpha = false;

    CliPrompts prompts("animmaster");
    prompts.load = SequenceLoadOptions{100, SEQ_LOAD_ALL, 1};
    auto all = std::make_unique<FrameSequence>();
    std::vector<std::string> inputs;
    for (const std::string& in : args.positional()) {
        FrameSequence part;
        SequenceLoadReport report;
        if (loadSequence(part, in, prompts, call.palette().argb(), &report) != SEQ_OK ||
            part.count() == 0) {
            cliError(cliLoadFailure(in, report));
            return CLI_FILE_ERROR;
        }
        for (const auto& f : cliReportSequenceRead(call, in, part, true)) inputs.push_back(f);
        if (args.positional().size() == 1) {
            all->swap(part);
        } else if (!appendFrames(*all, part)) {
            cliError("animmaster: out of memory");
            return CLI_FILE_ERROR;
        }
    }

    if (args.has("--save-settings")) {
        o.save(call.settings());
        std::string why;
        if (!call.saveSettings(why)) {
            cliError(why);
            return CLI_FILE_ERROR;
        }
    }

    CBitmapDoc doc;
    doc.setFrames(std::move(all));
    const int frames = doc.frames()->count();
    CliProgress progress("animmaster", cliStderrIsTerminal() && frames > 1);
    doc.animMaster(o.bufferType, o.colorKey, o.flags(), prompts, &progress);

    // A numbered OUT gives a series from its number; any other OUT one strip.
    NumberedPath p(*out);
    SequenceSaveOptions save;
    save.increment = 1;
    save.firstNumber = p.hasNumber() ? p.number : 0;
    save.startFrame = 1;
    save.framesToSave = frames;
    save.singleFile = !p.hasNumber();
    CliProgress writing("write " + *out, cliStderrIsTerminal() && frames > 1);
    return cliWriteSequence(call, "animmaster", *doc.frames(), *out, outType, WriteOptions{}, save,
                            true, inputs, prompts, &writing);
}
