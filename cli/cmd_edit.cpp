// tarquil-cli edit: the editor's image operations and alpha masks as batch steps over every frame
// of a file, a numbered series or a multi-frame file.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_ports.h"
#include "edit/image_ops.h"
#include "edit/mask_ops.h"
#include "edit/size_model.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/image_buffer.h"
#include "model/numbered_path.h"
#include "model/sequence_io.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

enum class StepKind {
    Crop,
    AutoCrop,
    Scale,
    ScalePercent,
    Canvas,
    FlipH,
    FlipV,
    Iso,
    Key,
    Alpha,
    InvertAlpha
};

struct Step {
    StepKind kind;
    std::string option;  // as given, for messages
    int a = 0, b = 0, c = 0, d = 0;
};

enum AlphaSource { ALPHA_INTENSITY, ALPHA_BORDER, ALPHA_BIAS };

bool parseNumbers(const std::string& text, char sep, int count, std::vector<long>& out) {
    out.clear();
    size_t start = 0;
    for (int k = 0; k < count; ++k) {
        const size_t end = k + 1 < count ? text.find(sep, start) : text.size();
        if (end == std::string::npos) return false;
        long v = 0;
        if (!cliParseInt(text.substr(start, end - start), -2147483647L, 2147483647L, v))
            return false;
        out.push_back(v);
        start = end + 1;
    }
    return true;
}

// "WxH" with both sides 1 to 65535, as the Scale and Resize dialogs accept them.
bool parseSize(const std::string& text, int& w, int& h) {
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    std::vector<long> v;
    if (!parseNumbers(t, 'x', 2, v) || !sizeFieldValid(v[0]) || !sizeFieldValid(v[1])) return false;
    w = int(v[0]);
    h = int(v[1]);
    return true;
}

bool parseKey(const std::string& text, uint32_t& key) {
    std::string t = text;
    if (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0)
        t = t.substr(2);
    else if (!t.empty() && t[0] == '#')
        t = t.substr(1);
    if (t.empty() || t.size() > 6) return false;
    for (unsigned char ch : t)
        if (!std::isxdigit(ch)) return false;
    key = uint32_t(std::strtoul(t.c_str(), nullptr, 16));
    return true;
}

// False with err set for a bad value; `isStep` tells steps from the other options.
bool parseStep(const std::string& opt, const std::string& value, Step& s, bool& isStep,
               std::string& err) {
    s.option = value.empty() ? opt : opt + " " + value;
    isStep = true;
    std::vector<long> v;
    if (opt == "--crop") {
        s.kind = StepKind::Crop;
        if (!parseNumbers(value, ',', 4, v) || v[0] < 0 || v[1] < 0 || v[2] < 1 || v[3] < 1 ||
            v[0] + v[2] > SIZE_FIELD_MAX || v[1] + v[3] > SIZE_FIELD_MAX) {
            err = "--crop wants X,Y,W,H with X, Y >= 0 and W, H >= 1, not '" + value + "'";
            return false;
        }
        s.a = int(v[0]);
        s.b = int(v[1]);
        s.c = int(v[2]);
        s.d = int(v[3]);
    } else if (opt == "--autocrop") {
        s.kind = StepKind::AutoCrop;
    } else if (opt == "--scale") {
        if (!value.empty() && value.back() == '%') {
            long pct = 0;
            if (!cliParseInt(value.substr(0, value.size() - 1), 1, 10000, pct)) {
                err = "--scale wants WxH or N% with N from 1 to 10000, not '" + value + "'";
                return false;
            }
            s.kind = StepKind::ScalePercent;
            s.a = int(pct);
        } else {
            s.kind = StepKind::Scale;
            if (!parseSize(value, s.a, s.b)) {
                err = "--scale wants WxH (1 to 65535 each) or N%, not '" + value + "'";
                return false;
            }
            if (const std::string why = txSizeRefusal(s.a, s.b); !why.empty()) {
                err = "--scale " + value + ": " + why;
                return false;
            }
        }
    } else if (opt == "--canvas") {
        s.kind = StepKind::Canvas;
        if (!parseSize(value, s.a, s.b)) {
            err = "--canvas wants WxH (1 to 65535 each), not '" + value + "'";
            return false;
        }
        if (const std::string why = txSizeRefusal(s.a, s.b); !why.empty()) {
            err = "--canvas " + value + ": " + why;
            return false;
        }
    } else if (opt == "--flip") {
        if (value == "h")
            s.kind = StepKind::FlipH;
        else if (value == "v")
            s.kind = StepKind::FlipV;
        else {
            err = "--flip wants h or v, not '" + value + "'";
            return false;
        }
    } else if (opt == "--iso") {
        s.kind = StepKind::Iso;
    } else if (opt == "--key-colour") {
        s.kind = StepKind::Key;
        uint32_t key = 0;
        if (!parseKey(value, key)) {
            err = "--key-colour wants a colour 0xRRGGBB, not '" + value + "'";
            return false;
        }
        s.a = int(key);
    } else if (opt == "--alpha-from") {
        s.kind = StepKind::Alpha;
        long bias = 0;
        if (value == "intensity")
            s.a = ALPHA_INTENSITY;
        else if (value == "border")
            s.a = ALPHA_BORDER;
        else if (value.rfind("bias:", 0) == 0 && cliParseInt(value.substr(5), 0, 255, bias)) {
            s.a = ALPHA_BIAS;
            s.b = int(bias);
        } else {
            err = "--alpha-from wants intensity, border or bias:N (N from 0 to 255), not '" +
                  value + "'";
            return false;
        }
    } else if (opt == "--invert-alpha") {
        s.kind = StepKind::InvertAlpha;
    } else {
        isStep = false;  // --center, --strip, --help
    }
    return true;
}

// Alpha of one frame from its own mask, as the Mask menu writes it for the current frame.
int alphaFromOwnMask(Frame& f, int source, int bias) {
    if (!f.pixels()) return FE_MASK_NO_PIXELS;
    ImageBuffer mask;
    bool ok = false;
    if (source == ALPHA_INTENSITY)
        ok = maskIntensity(mask, f);
    else if (source == ALPHA_BORDER)
        ok = maskBorder(mask, f);
    else
        ok = maskOneBit(mask, f, uint8_t(bias));
    if (!ok) return FE_MASK_MISSING;
    return f.alphaFromMask(&mask);
}

void printHelp() {
    std::printf(
        "usage: tarquil-cli edit IN OUT [steps...] [--center]\n\n"
        "Reads IN (any supported image; the first file of a numbered series loads the whole\n"
        "series, a multi-frame file all its frames), applies the steps in the order given to\n"
        "every frame and writes OUT in the format of its extension (.tga .png .bmp .pcx .spr).\n"
        "One frame is written to exactly OUT. Several frames become a numbered series\n"
        "(OUT000.ext, OUT001.ext, ... or numbered from OUT's own number), or with --strip one\n"
        "image of all frames with its position files (always so for .spr).\n"
        "No input is ever written over, unless OUT names it: 'edit a.png a.png' replaces a.png.\n"
        "OUT may be a file, a symbolic link (its target is written) or a device or FIFO such as\n"
        "/dev/stdout (written straight into). A file is written under a temporary name and\n"
        "renamed over OUT only once complete, so a failed write leaves OUT as it was.\n\n"
        "steps:\n"
        "  --crop X,Y,W,H          crop to the rectangle (clipped to each frame)\n"
        "  --autocrop              crop to the content: by alpha when the first frame has\n"
        "                          both transparent and opaque parts, else by colour (black,\n"
        "                          then the top-left colour); an animation to the area in\n"
        "                          which its frames differ\n"
        "  --scale WxH | N%%        resample by area averaging (N%% of each frame's size)\n"
        "  --canvas WxH            new canvas, picture at the top left (or centred with\n"
        "                          --center); new area transparent black\n"
        "  --flip h|v              mirror left-right (h) or top-bottom (v)\n"
        "  --iso                   isometric projection onto a 2:1 diamond, then auto crop\n"
        "  --key-colour 0xRRGGBB   alpha 0 where the colour matches, 255 elsewhere\n"
        "  --alpha-from intensity  alpha = luminance\n"
        "  --alpha-from border     alpha = luminance near the top-left colour, opaque inside\n"
        "  --alpha-from bias:N     alpha 255 where alpha >= N, else 0\n"
        "  --invert-alpha          alpha = 255 - alpha\n\n"
        "  --strip                 write several frames as one strip\n\n"
        "Exit status: 0 done (a failed --autocrop only warns), 1 a file could not be read or\n"
        "written, 2 bad usage or values (nothing written).\n");
}

}  // namespace

int cmdEdit(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--crop", "--scale", "--canvas", "--flip", "--key-colour", "--alpha-from"};
    spec.flags = {"--autocrop", "--iso", "--invert-alpha", "--center", "--strip"};
    spec.aliases = {{"--key-color", "--key-colour"}, {"--centre", "--center"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    if (args.positional().size() != 2) {
        cliError("edit: expected IN and OUT (see tarquil-cli edit --help)");
        return CLI_USAGE;
    }
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    const TxFileType outType = writableTypeForPath(out);
    if (!isWritableType(outType)) {
        cliError("edit: cannot write '" + out + "'; use .tga, .png, .bmp, .pcx or .spr");
        return CLI_USAGE;
    }
    std::vector<Step> steps;
    std::string err;
    for (const auto& [opt, value] : args.ordered()) {
        Step s{StepKind::AutoCrop, "", 0, 0, 0, 0};
        bool isStep = false;
        if (!parseStep(opt, value, s, isStep, err)) {
            cliError("edit: " + err);
            return CLI_USAGE;
        }
        if (isStep) steps.push_back(s);
    }
    const bool centre = args.has("--center");

    CliPrompts prompts("edit");
    FrameSequence seq;
    SequenceLoadReport report;
    if (loadSequence(seq, in, prompts, call.palette().argb(), &report) != SEQ_OK ||
        seq.count() == 0) {
        cliError(cliLoadFailure(in, report));
        return CLI_FILE_ERROR;
    }
    const std::vector<std::string> inputs = cliReportSequenceRead(call, in, seq, true);

    CliProgress progress("edit", cliStderrIsTerminal() && seq.count() > 1);
    for (const Step& s : steps) {
        int code = FE_OK;
        switch (s.kind) {
        case StepKind::Crop: {
            int w = 0, h = 0;
            seq.currentSize(w, h);
            const TxRect r{s.a, s.b, s.a + s.c, s.b + s.d};
            if (r.left >= w || r.top >= h) {
                cliError("edit: " + s.option + " lies outside the " + std::to_string(w) + "x" +
                         std::to_string(h) + " image");
                return CLI_USAGE;
            }
            code = seq.crop(r, &progress);
            break;
        }
        case StepKind::AutoCrop: {
            TxRect r;
            if (autoCropBounds(seq, r) != FE_OK) {
                cliError("edit: Autocrop failed (no border to remove); frames left as they are");
                break;
            }
            code = seq.crop(r, &progress);
            break;
        }
        case StepKind::Scale: code = seq.scale(s.a, s.b, &progress); break;
        case StepKind::ScalePercent: {
            // The percentage is only known to be too large once the frames' sizes are: every
            // frame is looked at before any is scaled, and the first one too large is named.
            auto scaled = [&s](const Frame& f) {
                return std::pair<int64_t, int64_t>(
                    std::max<int64_t>((int64_t(f.width()) * s.a + 50) / 100, 1),
                    std::max<int64_t>((int64_t(f.height()) * s.a + 50) / 100, 1));
            };
            for (int k = 0; k < seq.count(); ++k) {
                const Frame* f = seq.frameAt(k);
                if (!f || !f->hasPixels()) continue;
                const auto [w, h] = scaled(*f);
                if (const std::string why = txSizeRefusal(w, h); !why.empty()) {
                    cliError("edit: " + s.option + ": " +
                             (seq.count() > 1 ? "frame " + std::to_string(k + 1) + " scaled to "
                                              : std::string()) +
                             why + "; nothing written");
                    return CLI_USAGE;
                }
            }
            code = seq.forEveryFrame(
                [&scaled](Frame& f) {
                    const auto [w, h] = scaled(f);
                    return f.scale(int(w), int(h));
                },
                &progress);
            break;
        }
        case StepKind::Canvas: code = seq.resizeCanvas(s.a, s.b, centre, &progress); break;
        case StepKind::FlipH: code = seq.mirror(nullptr, &progress); break;
        case StepKind::FlipV: code = seq.flip(nullptr, &progress); break;
        case StepKind::Iso: code = isoFlip(seq, &progress); break;
        case StepKind::Key: code = keyColourAllFrames(seq, uint32_t(s.a), &progress); break;
        case StepKind::Alpha:
            code = seq.forEveryFrame([&s](Frame& f) { return alphaFromOwnMask(f, s.a, s.b); },
                                     &progress);
            break;
        case StepKind::InvertAlpha:
            code = seq.forEveryFrame(
                [](Frame& f) {
                    f.invertAlpha();
                    return int(FE_OK);
                },
                &progress);
            break;
        }
        if (code != FE_OK) {
            // The input was read, so a failing step means a result beyond the size limits (or
            // memory running out): a value the command cannot carry out.
            const bool memory = code == FE_SCALE_NO_MEMORY || code == FE_CANVAS_NO_MEMORY ||
                                code == FE_CROP_NO_MEMORY || code == FE_ISO_NO_MEMORY ||
                                code == FE_BLANK_NO_MEMORY;
            cliError("edit: " + s.option + " failed (code " + std::to_string(code) + ": " +
                     (memory ? "memory ran out" : "the result is too large or memory ran out") +
                     "); nothing written");
            return CLI_USAGE;
        }
    }

    // Written as convert writes: the editor's TGA compression, 24-bit BMP, and a series numbered
    // from OUT's own number (or 0) unless a strip is asked for.
    WriteOptions write;
    write.tgaCompression = call.settings().getInt("Settings", "CompressTGA", TX_TGA_RLE);
    const bool strip = args.has("--strip") || outType == TX_TYPE_SPR;
    SequenceSaveOptions save;
    NumberedPath p(out);
    save.firstNumber = p.number > 0 ? p.number : 0;
    save.framesToSave = seq.count();
    save.singleFile = strip;
    return cliWriteSequence(call, "edit", seq, out, outType, write, save, !strip, inputs, prompts,
                            &progress);
}
