#include <algorithm>
#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

} // namespace

int cmdConvert(const std::vector<std::string>& argv) {
    CliOptionSpec spec;
    spec.valued = {"--compression"};
    spec.flags = {"--help"};
    spec.aliases = {{"-h", "--help"}};
    CliArgs args;
    std::string err;
    if (!args.parse(argv, spec, err)) {
        cliError("convert: " + err);
        return CLI_USAGE;
    }
    if (args.has("--help")) {
        std::printf("usage: tarquil-cli convert IN OUT [options]\n\n"
                    "Reads any supported image (multi-frame files become one strip) and writes it\n"
                    "in the format named by OUT's extension:\n"
                    "  .tga   32-bit TGA; --compression none|normal|scanline (default normal:\n"
                    "         run-length over the whole image; scanline: each row by itself)\n");
        return CLI_OK;
    }
    if (args.positional().size() != 2) {
        cliError("convert: expected IN and OUT (see tarquil-cli convert --help)");
        return CLI_USAGE;
    }
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    const std::string ext = lowerExtension(out);
    int mode = txTgaCompressionMode();
    if (auto c = args.value("--compression")) {
        if (*c == "none") mode = TX_TGA_NONE;
        else if (*c == "normal") mode = TX_TGA_RLE;
        else if (*c == "scanline") mode = TX_TGA_RLE_ROWS;
        else {
            cliError("convert: --compression must be none, normal or scanline, not '" + *c + "'");
            return CLI_USAGE;
        }
    }
    if (ext != "tga") {
        cliError("convert: cannot write '." + ext + "' files; supported: .tga");
        return CLI_USAGE;
    }
    TxMip mip;
    TxReadContext ctx;
    if (!txMipReadFile(mip, in, TX_PREFER_ARGB8888, ctx)) {
        cliError(in + ": " + (ctx.lastError.empty() ? "cannot be read" : ctx.lastError));
        return CLI_FILE_ERROR;
    }
    std::string werr;
    const int rc = txWriteTGA(out, mip.width, mip.height,
                              reinterpret_cast<const uint32_t*>(mip.data[0]), mode, &werr);
    if (rc != TX_TGA_OK) {
        cliError(out + ": " + (werr.empty() ? "cannot be written" : werr));
        return CLI_FILE_ERROR;
    }
    return CLI_OK;
}
