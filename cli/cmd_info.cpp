#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "texlib/read.h"

int cmdInfo(const std::vector<std::string>& argv) {
    CliOptionSpec spec;
    spec.flags = {"--json"};
    CliArgs args;
    if (auto status = cliParseCommand(
            "info", argv, spec,
            [] {
                std::printf(
                    "usage: tarquil-cli info FILE... [--json]\n\n"
                    "Prints for each file the detected type code and name, the size, the file's own\n"
                    "pixel format, the number of mipmap levels and the number of frames.\n");
            },
            args))
        return *status;
    if (args.positional().empty()) {
        cliError("info: no file given (see tarquil-cli info --help)");
        return CLI_USAGE;
    }
    const bool json = args.has("--json");
    int status = CLI_OK;
    if (json) std::printf("[");
    bool first = true;
    for (const auto& path : args.positional()) {
        TxMip mip;
        TxReadContext ctx;
        const bool ok = txMipReadFile(mip, path, TX_PREFER_OWN, ctx);
        if (!ok) {
            cliError(path + ": " + (ctx.lastError.empty() ? "cannot be read" : ctx.lastError));
            status = CLI_FILE_ERROR;
            if (!json) continue;
        }
        const char* fmt = txFormatName(mip.format);
        const std::string format = fmt ? fmt : (mip.format == TX_FMT_RGB888 ? "rgb888" : "?");
        if (json) {
            std::printf("%s\n  {\"file\": %s, ", first ? "" : ",", cliJsonString(path).c_str());
            if (ok)
                std::printf("\"type\": %d, \"typeName\": %s, \"width\": %d, \"height\": %d, "
                            "\"format\": %s, \"levels\": %d, \"frames\": %d}",
                            ctx.fileType, cliJsonString(txFileTypeName(ctx.fileType)).c_str(),
                            mip.width, mip.height, cliJsonString(format).c_str(), mip.depth,
                            ctx.frameCount);
            else
                std::printf("\"error\": %s}", cliJsonString(ctx.lastError).c_str());
            first = false;
        } else {
            std::printf("%s: type %d (%s), %dx%d, format %s, %d level%s, %d frame%s\n",
                        path.c_str(), ctx.fileType, txFileTypeName(ctx.fileType), mip.width,
                        mip.height, format.c_str(), mip.depth, mip.depth == 1 ? "" : "s",
                        ctx.frameCount, ctx.frameCount == 1 ? "" : "s");
        }
    }
    if (json) std::printf("\n]\n");
    return status;
}
