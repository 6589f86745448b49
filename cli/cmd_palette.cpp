#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "tools/palette/palette_load.h"

namespace {

const char* kindName(TxPaletteKind kind) {
    switch (kind) {
    case TX_PAL_KIND_JASC: return "JASC-PAL";
    case TX_PAL_KIND_GIMP: return "GIMP";
    case TX_PAL_KIND_RIFF: return "RIFF";
    case TX_PAL_KIND_BMP: return "BMP";
    case TX_PAL_KIND_RAW: return "raw";
    default: return "unknown";
    }
}

}  // namespace

int cmdPalette(CliCall& call) {
    CliOptionSpec spec;
    spec.flags = {"--json"};
    CliArgs args;
    if (auto status = cliParseCommand(
            call, spec,
            [] {
                std::printf(
                    "usage: tarquil-cli palette FILE [--json]\n\n"
                    "Reads a palette file (JASC-PAL, GIMP palette, RIFF PAL, the colour table of an\n"
                    "8-bit .bmp file, or a raw 768- or 772-byte table) and prints its 256 entries,\n"
                    "one a line: index, red, green, blue and the colour as #rrggbb. Entries the file\n"
                    "does not set are 0. Text palette components outside 0..255 are clamped.\n");
            },
            args))
        return *status;
    if (args.positional().size() != 1) {
        cliError("palette: give exactly one FILE (see tarquil-cli palette --help)");
        return CLI_USAGE;
    }
    const std::string& path = args.positional()[0];
    AppPalette palette;
    const PaletteFileResult res = loadPaletteFile(path, palette);
    if (!res.opened) {
        cliError(path + ": " + res.error);
        return CLI_FILE_ERROR;
    }
    if (!res.ok()) {
        cliError(path + ": " + res.message());
        return CLI_FILE_ERROR;
    }
    call.read(path);
    std::string entries = "[";
    for (int i = 0; i < AppPalette::kEntries; ++i) {
        const uint32_t c = palette.entry(i);
        const unsigned r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        char text[40];
        if (call.json) {
            std::snprintf(text, sizeof text, "%s[%u, %u, %u]", i ? ", " : "", r, g, b);
            entries += text;
        } else {
            std::printf("%3d %3u %3u %3u #%02x%02x%02x\n", i, r, g, b, r, g, b);
        }
    }
    if (call.json) {
        call.field("file", cliJsonString(path));
        call.field("kind", cliJsonString(kindName(res.parse.kind)));
        call.field("colours", std::to_string(res.parse.entries));
        call.field("entries", entries + "]");
    }
    return CLI_OK;
}
