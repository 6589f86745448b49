#include "cli/cli.h"

#include <unistd.h>

#include "cli/cli_ports.h"
#include "texlib/read.h"
#include "tools/palette/palette_load.h"

const std::vector<CliCommand>& cliCommands() {
    static const std::vector<CliCommand> commands = {
        {"info", "show type, size, pixel format, levels and frame count of image files", cmdInfo},
        {"convert", "convert an image file to another format", cmdConvert},
        {"palette", "print the 256 entries of a palette file", cmdPalette},
        {"poslist", "list the named rectangles of an image's position file", cmdPoslist},
        {"codegen", "generate source text from an image's position list", cmdCodegen},
        {"export", "export an image as a 3DF or TEX hardware texture or bare texture data",
         cmdExport},
        {"font", "render an installed font into a glyph texture with its position list", cmdFont},
        {"edit",
         "crop, auto crop, scale, resize, flip, iso-project or mask the alpha of every frame",
         cmdEdit},
        {"arrange", "pack the rectangles of an image's position list into a new sprite sheet",
         cmdArrange},
        {"animmaster", "key out the unchanged pixels of animation frames for overdraw playback",
         cmdAnimmaster},
        {"render", "write what the editor's view shows: zoom, channels, grid and selection",
         cmdRender},
    };
    return commands;
}

void cliError(const std::string& message) {
    std::fprintf(stderr, "tarquil-cli: %s\n", message.c_str());
}

bool cliStderrIsTerminal() { return ::isatty(2) != 0; }

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes there are not one
// (a stray continuation byte, a cut sequence, an overlong form, a surrogate, past U+10FFFF).
size_t utf8SequenceAt(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return k < s.size() ? (unsigned char)s[k] : 0u; };
    const unsigned c = byte(i);
    const auto cont = [&](size_t k, unsigned lo, unsigned hi) {
        return byte(k) >= lo && byte(k) <= hi;
    };
    if (c >= 0xC2 && c <= 0xDF) return cont(i + 1, 0x80, 0xBF) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return cont(i + 1, lo, hi) && cont(i + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return cont(i + 1, lo, hi) && cont(i + 2, 0x80, 0xBF) && cont(i + 3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string cliJsonString(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = (unsigned char)s[i];
        if (c >= 0x80) {
            // File and item names are bytes; JSON is Unicode. A byte that is no part of valid
            // UTF-8 becomes U+FFFD, as most JSON encoders do, so every parser takes the output.
            if (const size_t n = utf8SequenceAt(s, i)) {
                out.append(s, i, n);
                i += n;
            } else {
                out += "\\ufffd";
                ++i;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

static void printHelp() {
    std::printf("usage: tarquil-cli COMMAND ARGS... [options]\n\ncommands:\n");
    for (const auto& c : cliCommands()) std::printf("  %-12s %s\n", c.name, c.summary);
    std::printf("\n'tarquil-cli COMMAND --help' describes a command's options.\n"
                "Exit status: 0 success, 1 a file could not be read or written, 2 bad usage.\n");
}

int cliRun(const std::vector<std::string>& args) {
    if (args.empty()) {
        printHelp();
        return CLI_USAGE;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return CLI_OK;
    }
    for (const auto& c : cliCommands()) {
        if (args[0] != c.name) continue;
        // Lumps are drawn with the editor's current palette ("palfile"), as in the editor; the
        // file is read only by a command that needs a palette, when it needs it.
        const std::string name = c.name;
        loadStartupPaletteOnFirstUse(cliSettings(), [name](const std::string& text) {
            CliPrompts prompts(name);
            prompts.message(text, MsgIcon::Warning, MsgButtons::Ok);
        });
        return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    cliError("unknown command '" + args[0] + "' (see tarquil-cli --help)");
    return CLI_USAGE;
}

int cliMain(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return cliRun(args);
}
