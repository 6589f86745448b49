#include "cli/cli.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/args.h"
#include "cli/cli_ports.h"
#include "texlib/read.h"
#include "texlib/stream.h"
#include "tools/palette/palette_load.h"

#ifndef TARQUIL_VERSION
#define TARQUIL_VERSION "0"
#endif

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
        {"pack", "pack sprites from files, folders and animations into atlas pages and a data file",
         cmdPack},
        {"animmaster", "key out the unchanged pixels of animation frames for overdraw playback",
         cmdAnimmaster},
        {"render", "write what the editor's view shows: zoom, channels, grid and selection",
         cmdRender},
    };
    return commands;
}

namespace {

// The messages of the running command, for its --json result (warnings) or error object.
std::mutex messagesMutex;
std::vector<std::string>* runMessages = nullptr;

}  // namespace

void cliError(const std::string& message) {
    std::fprintf(stderr, "tarquil-cli: %s\n", message.c_str());
    std::lock_guard<std::mutex> lock(messagesMutex);
    if (runMessages) runMessages->push_back(message);
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
    std::printf("usage: tarquil-cli COMMAND ARGS... [options]\n"
                "       tarquil-cli --version [--json]\n\ncommands:\n");
    for (const auto& c : cliCommands()) std::printf("  %-12s %s\n", c.name, c.summary);
    std::printf(
        "\noptions of every command:\n"
        "  --json           print a JSON result object (inputs, outputs, warnings) on stdout, or an\n"
        "                   error object on failure\n"
        "  --no-settings    built-in defaults instead of the editor's settings file (also when\n"
        "                   TARQUIL_NO_SETTINGS=1)\n"
        "  --depfile FILE   write a Make/Ninja depfile: the files written as targets, every file\n"
        "                   read as a prerequisite\n"
        "  @FILE            read arguments from FILE, one a line\n"
        "\n'tarquil-cli COMMAND --help' describes a command's options.\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 bad usage.\n");
}

namespace {

std::string jsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + cliJsonString(items[i]);
    return out + "]";
}

int printVersion(bool json) {
    if (json)
        std::printf("{\"program\": \"tarquil-cli\", \"version\": %s}\n",
                    cliJsonString(TARQUIL_VERSION).c_str());
    else
        std::printf("tarquil-cli %s\n", TARQUIL_VERSION);
    return CLI_OK;
}

// The shared --json option, seen before the command parses its options (a command that refuses
// its options still answers with an error object).
bool asksForJson(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") break;
        if (a == "--json") return true;
    }
    return false;
}

// After the command: the depfile, and the files of a run whose depfile failed removed, so that
// the build system sees no output newer than the rule that failed. Files that were also inputs
// stay (removing them would lose the input).
int finishRun(CliCall& call, int status, TxFileWriter* depfile) {
    if (!depfile) return status;
    if (status != CLI_OK) {
        depfile->abort();
        return status;
    }
    const std::vector<std::string> outputs = call.outputs();
    const std::vector<std::string> inputs = call.inputs();
    // A folder read (a series' folder) that the run itself wrote into is always newer than the
    // outputs: as a prerequisite it would rebuild them every time, so it is left out.
    std::vector<std::string> prerequisites;
    for (const auto& in : inputs) {
        struct stat st;
        bool wroteInto = false;
        if (::stat(in.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (const auto& o : outputs) {
                const size_t slash = o.find_last_of('/');
                const std::string dir = slash == std::string::npos ? "." : o.substr(0, slash + 1);
                struct stat od;
                if (::stat(dir.c_str(), &od) == 0 && od.st_dev == st.st_dev &&
                    od.st_ino == st.st_ino)
                    wroteInto = true;
            }
        }
        if (!wroteInto) prerequisites.push_back(in);
    }
    const auto text = cliDepfileText(outputs, prerequisites);
    std::string why;
    if (!text)
        why = "a file name holds a line break, which a depfile cannot hold";
    else if (!depfile->write(text->data(), text->size()) || !depfile->commit())
        why = depfile->error().empty() ? "cannot be written" : depfile->error();
    if (why.empty()) return CLI_OK;
    depfile->abort();
    for (const auto& o : outputs)
        if (std::find(inputs.begin(), inputs.end(), o) == inputs.end()) std::remove(o.c_str());
    cliError(*call.depfile + ": " + why + "; the files written are removed");
    return CLI_FILE_ERROR;
}

int runCommand(const CliCommand& c, CliCall& call) {
    // Lumps are drawn with the editor's current palette ("palfile"), as in the editor; the
    // settings and the palette file are read only by a command that needs a palette, when it
    // needs it, and then count as inputs.
    call.palette().loadOnFirstUse([&call](AppPalette& palette) {
        if (call.noSettings) return;
        const std::string path =
            call.settings().getString(kPaletteSettingsSection, kPaletteFileName, "");
        if (path.empty()) return;
        const PaletteFileResult res = loadPaletteFile(path, palette);
        if (res.opened) call.read(path);
        if (res.opened && !res.ok()) cliError(call.command() + ": " + res.message());
    });
    int status = c.run(call);
    status = finishRun(call, status, call.depfileWriter());
    return status;
}

}  // namespace

int cliRun(const std::vector<std::string>& rawArgs) {
    std::vector<std::string> args;
    std::string error;
    if (!cliExpandResponseFiles(rawArgs, args, error)) {
        cliError(error);
        if (asksForJson(rawArgs))
            std::printf("{\"status\": %d, \"error\": %s}\n", int(CLI_USAGE),
                        cliJsonString(error).c_str());
        return CLI_USAGE;
    }
    if (args.empty()) {
        printHelp();
        return CLI_USAGE;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return CLI_OK;
    }
    if (args[0] == "--version") {
        if (args.size() > 2 || (args.size() == 2 && args[1] != "--json")) {
            cliError("--version takes only --json");
            return CLI_USAGE;
        }
        return printVersion(args.size() == 2);
    }
    for (const auto& c : cliCommands()) {
        if (args[0] != c.name) continue;
        CliCall call(c.name, std::vector<std::string>(args.begin() + 1, args.end()));
        std::vector<std::string> messages;
        {
            std::lock_guard<std::mutex> lock(messagesMutex);
            runMessages = &messages;
        }
        const int status = runCommand(c, call);
        {
            std::lock_guard<std::mutex> lock(messagesMutex);
            runMessages = nullptr;
        }
        if (!call.json && !(status != CLI_OK && asksForJson(call.argv()))) return status;
        std::string out = "{\"command\": " + cliJsonString(call.command()) +
                          ", \"status\": " + std::to_string(status);
        // A failed run keeps what it found (info lists the files it could read).
        for (const auto& [name, value] : call.fields())
            out += ", " + cliJsonString(name) + ": " + value;
        if (status == CLI_OK) {
            out += ", \"inputs\": " + jsonList(call.inputs()) +
                   ", \"outputs\": " + jsonList(call.outputs()) +
                   ", \"warnings\": " + jsonList(messages);
        } else {
            out += ", \"error\": " + cliJsonString(messages.empty() ? "failed" : messages.back()) +
                   ", \"messages\": " + jsonList(messages);
        }
        out += "}\n";
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        return status;
    }
    cliError("unknown command '" + args[0] + "' (see tarquil-cli --help)");
    if (asksForJson(args))
        std::printf("{\"status\": %d, \"error\": %s}\n", int(CLI_USAGE),
                    cliJsonString("unknown command '" + args[0] + "'").c_str());
    return CLI_USAGE;
}

int cliMain(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return cliRun(args);
}
