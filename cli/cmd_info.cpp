#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "texlib/read.h"

int cmdInfo(CliCall& call) {
    CliOptionSpec spec;
    spec.flags = {"--json", "--decode"};
    CliArgs args;
    if (auto status = cliParseCommand(
            call, spec,
            [] {
                std::printf(
                    "usage: tarquil-cli info FILE... [--json] [--decode]\n\n"
                    "Prints for each file the detected type code and name, the size, the file's own\n"
                    "pixel format, the number of mipmap levels and the number of frames, read from\n"
                    "the file's header.\n\n"
                    "  --decode   read every picture whole, so that damaged image data are reported\n");
            },
            args))
        return *status;
    if (args.positional().empty()) {
        cliError("info: no file given (see tarquil-cli info --help)");
        return CLI_USAGE;
    }
    const bool json = call.json;
    const bool decode = args.has("--decode");
    int status = CLI_OK;
    std::string files = "[";
    bool first = true;
    for (const auto& path : args.positional()) {
        TxMip mip;
        TxReadContext ctx;
        const bool ok =
            decode ? txMipReadFile(mip, path, TX_PREFER_OWN, ctx) : txMipProbeFile(mip, path, ctx);
        if (!ok) {
            cliError(path + ": " + (ctx.lastError.empty() ? "cannot be read" : ctx.lastError));
            status = CLI_FILE_ERROR;
            if (!json) continue;
        } else {
            call.read(path);
        }
        const char* fmt = txFormatName(mip.format);
        const std::string format = fmt ? fmt : (mip.format == TX_FMT_RGB888 ? "rgb888" : "?");
        if (json) {
            files += std::string(first ? "" : ",") + "\n  {\"file\": " + cliJsonString(path) + ", ";
            if (ok) {
                char text[160];
                std::snprintf(text, sizeof text, "\"type\": %d, \"typeName\": ", ctx.fileType);
                files += text + cliJsonString(txFileTypeName(ctx.fileType));
                std::snprintf(text, sizeof text,
                              ", \"width\": %d, \"height\": %d, \"format\": ", mip.width,
                              mip.height);
                files += text + cliJsonString(format);
                std::snprintf(text, sizeof text, ", \"levels\": %d, \"frames\": %d}", mip.depth,
                              ctx.frameCount);
                files += text;
            } else {
                files += "\"error\": " + cliJsonString(ctx.lastError) + "}";
            }
            first = false;
        } else {
            std::printf("%s: type %d (%s), %dx%d, format %s, %d level%s, %d frame%s\n",
                        path.c_str(), ctx.fileType, txFileTypeName(ctx.fileType), mip.width,
                        mip.height, format.c_str(), mip.depth, mip.depth == 1 ? "" : "s",
                        ctx.frameCount, ctx.frameCount == 1 ? "" : "s");
        }
    }
    if (json) call.field("files", files + "\n]");
    return status;
}
