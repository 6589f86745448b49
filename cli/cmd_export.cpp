// tarquil-cli export: an image to a hardware texture (3DF, TEX, bare data, DDS or KTX2), with the
// editor's saved export settings as defaults.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include "cli/args.h"
#include "cli/cli.h"
#include "model/export_settings.h"
#include "model/settings.h"
#include "texlib/mip_filter.h"
#include "texlib/read.h"

namespace {

void printHelp() {
    std::printf(
        "usage: tarquil-cli export IN OUT [options]\n\n"
        "Converts an image (the first frame of a multi-frame file) into a hardware texture:\n"
        "resampling, mipmaps, pixel-format conversion with dithering, then a 3DF file (text\n"
        "header), a TEX file (binary header), the bare data, a DDS or a KTX2 file.\n\n"
        "options (each defaults to the editor's saved export settings):\n"
        "  --format NAME       target pixel format:\n");
    for (int k = 0; k < kExportFormatCount; ++k) {
        // The editor's combo text without its leading name.
        std::string text = kExportFormatChoices[k].text;
        text = text.substr(text.find(' ') + 1);
        if (text.rfind("- ", 0) == 0) text = text.substr(2);
        std::printf("                        %-9s %s\n", txFormatName(kExportFormatChoices[k].code),
                    text.c_str());
    }
    std::printf(
        "  --dither MODE       none, ordered (4x4 matrix) or diffusion (error diffusion)\n"
        "  --ncc MODE          statistic or heuristic NCC table (yiq, ayiq8422)\n"
        "  --mipmap M          none, all, N (1 to 9 levels) or size:N (halve while the larger\n"
        "                      side is above N, N >= 1)\n"
        "  --resample R        none, auto (largest powers of two, at most 256, within 8:1)\n"
        "                      or WxH (explicit size, e.g. 128x64)\n"
        "  --aspect W:H        resample automatically to the aspect 8:1, 4:1, 2:1, 1:1, 1:2,\n"
        "                      1:4 or 1:8\n"
        "  --swap, --no-swap   16-bit texels little-endian (TEX files always are)\n"
        "  --comment TEXT      comment lines in the 3DF header (3DF and argb8888 only;\n"
        "                      lines end at line breaks, at most 20)\n"
        "  --output KIND       3df, tex (sides up to 256), raw (no header), dds or ktx2 (sides\n"
        "                      up to 16384, any ratio, any side without mipmaps)\n"
        "  --mipmap-filter F   box (2x2 average, the default), triangle or kaiser\n"
        "  --srgb, --no-srgb   the image is sRGB: mipmaps averaged in linear light, the file\n"
        "                      marked sRGB (dds: argb8888; ktx2: i8, rgb565, argb1555,\n"
        "                      argb4444, argb8888)\n"
        "  --premultiply, --no-premultiply\n"
        "                      multiply colour by alpha before the mipmaps\n"
        "  --alpha-bleed, --no-alpha-bleed\n"
        "                      fully transparent texels take their visible neighbours' colour\n"
        "  --full-yiq-table    TEX of yiq/ayiq8422: write all 160 table bytes (Q rows too)\n"
        "                      instead of the usual 112; only readers that go by the\n"
        "                      header's size word (ours) read such files right\n"
        "  --frame N           frame of a multi-frame file to export (default 1)\n"
        "  --save-settings     store the resulting choices as the editor's export settings\n\n"
        "Exit status: 0 written; 1 IN could not be read or OUT could not be written; 2 bad\n"
        "options (a format the container cannot hold), or an image these options cannot\n"
        "export (a side that is not a power of two, beyond 8:1, too large for TEX); nothing\n"
        "is written then.\n");
}

bool parseSize(const std::string& text, char sep, long& a, long& b) {
    const size_t at = text.find(sep);
    if (at == std::string::npos) return false;
    return cliParseInt(text.substr(0, at), 1, TX_MAX_SIDE, a) &&
           cliParseInt(text.substr(at + 1), 1, TX_MAX_SIDE, b);
}

int usage(const std::string& text) { return cliUsage("export", text); }

}  // namespace

int cmdExport(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--format", "--dither",  "--ncc",    "--mipmap", "--resample",
                   "--aspect", "--comment", "--output", "--frame",  "--mipmap-filter"};
    spec.flags = {"--swap",           "--no-swap",       "--save-settings",  "--srgb",
                  "--no-srgb",        "--premultiply",   "--no-premultiply", "--alpha-bleed",
                  "--no-alpha-bleed", "--full-yiq-table"};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, printHelp, args)) return *status;
    if (args.positional().size() != 2)
        return usage("expected IN and OUT (see tarquil-cli export --help)");

    ExportTextureSettings s = loadExportTextureSettings(call.settings());

    if (auto v = args.value("--format")) {
        const int code = txFormatFromName(v->c_str());
        const int index = code < 0 ? -1 : exportFormatIndex(code);
        if (index < 0) {
            std::string names;
            for (int k = 0; k < kExportFormatCount; ++k)
                names += std::string(k ? ", " : "") + txFormatName(kExportFormatChoices[k].code);
            return usage("unknown --format '" + *v + "' (one of " + names + ")");
        }
        s.format = index;
    }
    if (auto v = args.value("--dither")) {
        if (*v == "none")
            s.dither = 0;
        else if (*v == "diffusion")
            s.dither = 1;
        else if (*v == "ordered")
            s.dither = 2;
        else
            return usage("--dither must be none, ordered or diffusion, not '" + *v + "'");
    }
    if (auto v = args.value("--ncc")) {
        if (*v == "statistic")
            s.ncc = 0;
        else if (*v == "heuristic")
            s.ncc = 1;
        else
            return usage("--ncc must be statistic or heuristic, not '" + *v + "'");
    }
    if (auto v = args.value("--mipmap")) {
        long n = 0;
        if (*v == "none") {
            s.mipmap = 0;
        } else if (*v == "all") {
            s.mipmap = 1;
        } else if (v->rfind("size:", 0) == 0) {
            if (!cliParseInt(v->substr(5), 1, TX_MAX_SIDE, n))
                return usage("--mipmap size:N needs N from 1 to 32768, not '" + v->substr(5) + "'");
            s.mipmap = 11;
            s.mipmapSize = int(n);
        } else if (cliParseInt(*v, 1, 9, n)) {
            s.mipmap = int(n) + 1;
        } else {
            return usage("--mipmap must be none, all, 1 to 9 or size:N, not '" + *v + "'");
        }
    }
    const auto resample = args.value("--resample");
    if (resample) {
        long w = 0, h = 0;
        if (*resample == "none") {
            s.resample = 0;
        } else if (*resample == "auto") {
            s.resample = 1;
        } else if (parseSize(*resample, 'x', w, h)) {
            s.resample = 2;
            s.width = int(w);
            s.height = int(h);
        } else {
            return usage("--resample must be none, auto or WxH (1 to 32768 each), not '" +
                         *resample + "'");
        }
    }
    if (auto v = args.value("--aspect")) {
        if (resample && *resample != "auto")
            return usage("--aspect resamples automatically; it cannot go with --resample " +
                         *resample);
        long w = 0, h = 0;
        int index = -1;
        if (parseSize(*v, ':', w, h))
            for (int k = 0; k < 7; ++k)
                if (kExportAspects[k][0] == w && kExportAspects[k][1] == h) index = k;
        if (index < 0)
            return usage("--aspect must be 8:1, 4:1, 2:1, 1:1, 1:2, 1:4 or 1:8, not '" + *v + "'");
        s.resample = 3 + index;
    }
    if (args.has("--swap") && args.has("--no-swap"))
        return usage("give either --swap or --no-swap");
    if (args.has("--swap")) s.swap = 1;
    if (args.has("--no-swap")) s.swap = 0;
    if (auto v = args.value("--output")) {
        if (*v == "3df")
            s.header = 0;
        else if (*v == "tex")
            s.header = 1;
        else if (*v == "raw")
            s.header = 2;
        else if (*v == "dds")
            s.header = 3;
        else if (*v == "ktx2")
            s.header = 4;
        else
            return usage("--output must be 3df, tex, raw, dds or ktx2, not '" + *v + "'");
    }
    if (auto v = args.value("--mipmap-filter")) {
        const int f = txMipFilterFromName(v->c_str());
        if (f < 0)
            return usage("--mipmap-filter must be box, triangle or kaiser, not '" + *v + "'");
        s.mipFilter = f;
    }
    for (const auto& [on, off, field] :
         {std::tuple{"--srgb", "--no-srgb", &ExportTextureSettings::srgb},
          std::tuple{"--premultiply", "--no-premultiply", &ExportTextureSettings::premultiply},
          std::tuple{"--alpha-bleed", "--no-alpha-bleed", &ExportTextureSettings::alphaBleed}}) {
        if (args.has(on) && args.has(off))
            return usage(std::string("give either ") + on + " or " + off);
        if (args.has(on)) s.*field = 1;
        if (args.has(off)) s.*field = 0;
    }
    if (auto v = args.value("--comment")) {
        s.comment = 1;
        s.commentText = *v;
    }
    long frame = 1;
    if (auto v = args.value("--frame"); v && !cliParseInt(*v, 1, 1000000, frame))
        return usage("--frame must be a frame number from 1, not '" + *v + "'");

    TxExportOptions options = exportOptionsFromSettings(s);
    options.fullYiqTable = args.has("--full-yiq-table") ? 1 : 0;
    if (options.fullYiqTable && options.output != TX_OUTPUT_TEX)
        return usage("--full-yiq-table goes with --output tex");
    if (args.has("--comment") && !options.comment)
        return usage("--comment is written only into 3DF files of format argb8888");
    if (options.resample && !options.automatic && !txSizeAllowed(options.width, options.height)) {
        const std::string why = txSizeRefusal(options.width, options.height);
        if (resample) return usage("--resample " + *resample + ": " + why);
        return usage("the saved resampling size " + why + "; give --resample");
    }
    const bool container = txExportIsContainer(options.output);
    const std::string kind = options.output == TX_OUTPUT_DDS ? "dds" : "ktx2";
    std::string formats;
    if (!txExportOutputHolds(options.output, options.format, &formats))
        return usage("--output " + kind + " cannot hold " + txFormatName(options.format) +
                     " texels; give --format " + formats);
    if (args.has("--srgb") && !container)
        return usage("--srgb marks the texture as sRGB, which only --output dds or ktx2 can");
    if (options.srgb && !txExportOutputMarksSrgb(options.output, options.format, &formats))
        return usage("--output " + kind + " cannot mark " + txFormatName(options.format) +
                     " texels as sRGB; it can mark " + formats);
    if (container && options.resample && !options.automatic &&
        std::max(options.width, options.height) > TX_CONTAINER_MAX_SIDE)
        return usage("--output " + kind + " holds sides of at most " +
                     std::to_string(TX_CONTAINER_MAX_SIDE) + " texels, not " +
                     std::to_string(options.width) + "x" + std::to_string(options.height));

    if (args.has("--save-settings")) {
        saveExportTextureSettings(call.settings(), s);
        std::string why;
        if (!call.saveSettings(why)) {
            cliError(why);
            return CLI_FILE_ERROR;
        }
    }

    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    TxMip image;
    TxReadContext ctx;
    if (!txMipReadFile(image, in, TX_PREFER_ARGB8888, ctx)) {
        cliError(in + ": " + (ctx.lastError.empty() ? "cannot be read" : ctx.lastError));
        return CLI_FILE_ERROR;
    }
    call.read(in);
    const int frames =
        ctx.frameCount > 0 && image.height % ctx.frameCount == 0 ? ctx.frameCount : 1;
    if (frame > frames)
        return usage(in + " holds " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") +
                     ", not " + std::to_string(frame));
    if (frames > 1) {
        const int fh = image.height / frames;
        TxMip one;
        if (!txMipInit(one, image.width, fh, 1, TX_FMT_ARGB8888)) {
            cliError(in + ": out of memory");
            return CLI_FILE_ERROR;
        }
        std::memcpy(one.data[0], image.data[0] + size_t(frame - 1) * size_t(one.size),
                    size_t(one.size));
        image = std::move(one);
    }

    TxExportReport report;
    const int rc = txMipWrite3df(image, options, out, &report);
    for (const auto& w : report.warnings) cliError("export: " + w);
    switch (rc) {
    case TX_EXPORT_OK: call.wrote(out); return CLI_OK;
    case TX_EXPORT_NOT_POW2:
    case TX_EXPORT_BAD_ASPECT:
    case TX_EXPORT_TOO_LARGE:
    case TX_EXPORT_BAD_INPUT:
    case TX_EXPORT_BAD_FORMAT:
        cliError("export: " + in + ": " + report.error +
                 (rc == TX_EXPORT_NOT_POW2 ? " (try --resample auto)" : ""));
        return CLI_USAGE;
    default:
        cliError(out + ": " + (report.error.empty() ? "cannot be written" : report.error));
        return CLI_FILE_ERROR;
    }
}
