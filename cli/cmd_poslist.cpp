#include "cli/cmd_poslist.h"

#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "texlib/read.h"

int cliLoadImagePositions(CliCall& call, const std::string& image, CliImagePositions& out) {
    const std::string& command = call.command();
    TxMip mip;
    TxReadContext ctx;
    if (!txMipReadFile(mip, image, TX_PREFER_OWN, ctx)) {
        cliError(command + ": " + image + ": " +
                 (ctx.lastError.empty() ? "cannot be read" : ctx.lastError));
        return CLI_FILE_ERROR;
    }
    call.read(image);
    // A multi-frame file becomes frames of equal height in the editor; items refer to one frame.
    out.width = mip.width;
    out.height = ctx.frameCount > 1 ? mip.height / ctx.frameCount : mip.height;
    out.load = loadPositions(out.list, image, out.width, out.height);
    if (out.load.source != PositionSource::None) call.read(out.load.path);
    if (out.load.fileError) {
        cliError(command + ": " + out.load.path + ": " +
                 (out.load.error.empty() ? "cannot be read" : out.load.error));
        return CLI_FILE_ERROR;
    }
    return CLI_OK;
}

int cmdPoslist(CliCall& call) {
    CliOptionSpec spec;
    spec.flags = {"--json"};
    CliArgs args;
    if (auto status = cliParseCommand(
            call, spec,
            [] {
                std::printf(
                    "usage: tarquil-cli poslist IMAGE [--json]\n\n"
                    "Lists the named rectangles of IMAGE's position list, read as the editor reads it:\n"
                    "from IMAGE_pos.txt beside the image (e.g. sprites.tga_pos.txt), or else from\n"
                    "IMAGE_pos.tmp in the temporary folder ($TMPDIR or /tmp). Rectangles are normalised\n"
                    "and clipped to the image (one frame of a multi-frame file); empty ones are dropped.\n"
                    "Each line shows name: x1:y1-x2:y2  widthxheight (right and bottom exclusive).\n"
                    "--json prints the image, the file read and the items as a JSON object.\n");
            },
            args))
        return *status;
    if (args.positional().size() != 1) {
        cliError("poslist: give exactly one IMAGE (see tarquil-cli poslist --help)");
        return CLI_USAGE;
    }
    const std::string& image = args.positional()[0];
    CliImagePositions ip;
    const int rc = cliLoadImagePositions(call, image, ip);
    if (rc != CLI_OK && ip.width == 0) return rc;  // the image itself could not be read
    const PositionList& list = ip.list;
    if (call.json) {
        call.field("image", cliJsonString(image));
        call.field("width", std::to_string(ip.width));
        call.field("height", std::to_string(ip.height));
        call.field("positionFile",
                   ip.load.source == PositionSource::None ? "null" : cliJsonString(ip.load.path));
        std::string items = "[";
        for (int i = 0; i < list.count(); ++i) {
            const PositionItem& it = list.at(i);
            char line[160];
            std::snprintf(line, sizeof line,
                          ", \"x1\": %d, \"y1\": %d, \"x2\": %d, \"y2\": %d, \"width\": %d, "
                          "\"height\": %d}",
                          it.x1(), it.y1(), it.x2(), it.y2(), it.width(), it.height());
            items += std::string(i ? "," : "") + "\n  {\"name\": " + cliJsonString(it.name) + line;
        }
        call.field("items", items + (list.empty() ? "" : "\n") + "]");
    } else {
        if (ip.load.source == PositionSource::None)
            cliError("poslist: " + image + " has no position file");
        for (int i = 0; i < list.count(); ++i)
            std::printf("%s\n", list.at(i).displayText().c_str());
    }
    return rc;
}
