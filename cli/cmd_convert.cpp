// tarquil-cli convert: any readable image, series or multi-frame file to TGA, PNG, BMP, PCX or SPR,
// as one image, a numbered series or one strip with its position list.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_files.h"
#include "cli/cli_ports.h"
#include "cli/convert_batch.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/numbered_path.h"
#include "model/sequence_io.h"
#include "texlib/bmp.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

const char* kHelp =
    "usage: tarquil-cli convert IN OUT [options]\n"
    "       tarquil-cli convert IN... --out-dir DIR --to EXT [-j N] [options]\n\n"
    "Reads any supported image and writes it in the format named by OUT's extension:\n"
    "  .tga  32-bit TGA     .png  32-bit PNG     .bmp  24-bit or 8-bit BMP\n"
    "  .pcx  8-bit PCX      .spr  8-bit multi-frame sprite\n\n"
    "Without frame options a multi-frame input (AVI, GIF, SPR, ...) becomes one strip image and a\n"
    "numbered input is read as the one file named.\n\n"
    "options:\n"
    "  --compression none|normal|scanline   TGA run-length mode (default: the editor's setting)\n"
    "  --bmp-depth 24|8        BMP depth (8: palette made from the image; default 24)\n"
    "  --frames all|single|N   read IN as a numbered series or split a multi-frame file: all\n"
    "                          frames, the first one, or N frames\n"
    "  --every N               take every Nth file of a series (every Nth frame of a file)\n"
    "  --frame N               write only frame N (1-based) of what was read\n"
    "  --series                write one numbered file per frame (OUT000.ext, OUT001.ext, ...)\n"
    "  --start N               first number of the series (default: OUT's number, else 0)\n"
    "  --increment N           number step of the series, 1 to 65536 (default 1)\n"
    "  --strip                 write all frames as one image, one above the other, with its\n"
    "                          position files (OUT_pos.txt, items \"Frame 1\", \"Frame 2\", ...,\n"
    "                          and OUT.map)\n"
    "  --out-dir DIR           convert every IN to DIR/NAME.EXT (DIR is created when missing);\n"
    "                          a file that fails is reported and the others go on; exit 1 when\n"
    "                          any failed\n"
    "  --to tga|png|bmp|pcx|spr  the format of the files written with --out-dir\n"
    "  -j, --jobs N            files converted at the same time (default: the number of cores)\n\n"
    "One frame is written to exactly OUT, with or without --series. No input is ever written\n"
    "over, unless OUT names it: 'convert a.tga a.tga' replaces a.tga.\n"
    "OUT may be a file, a symbolic link (its target is written) or a device or FIFO such as\n"
    "/dev/stdout (written straight into). A file is written under a temporary name and renamed\n"
    "over OUT only once complete, so a failed write leaves OUT as it was.\n\n"
    "Exit status: 0 done, 1 a file could not be read or written (a frame lost, a position file\n"
    "not written), 2 bad usage or values (nothing written).\n";

// --compression and --bmp-depth, with the editor's TGA setting as the default.
bool writerOptions(CliCall& call, const CliArgs& args, WriteOptions& write) {
    auto c = args.value("--compression");
    if (!c) write.tgaCompression = call.settings().getInt("Settings", "CompressTGA", TX_TGA_RLE);
    if (c) {
        if (*c == "none")
            write.tgaCompression = TX_TGA_NONE;
        else if (*c == "normal")
            write.tgaCompression = TX_TGA_RLE;
        else if (*c == "scanline")
            write.tgaCompression = TX_TGA_RLE_ROWS;
        else {
            cliError("convert: --compression must be none, normal or scanline, not '" + *c + "'");
            return false;
        }
    }
    write.bmpDepth = TX_BMP_DEPTH_24;
    if (auto d = args.value("--bmp-depth")) {
        if (*d == "24")
            write.bmpDepth = TX_BMP_DEPTH_24;
        else if (*d == "8")
            write.bmpDepth = TX_BMP_DEPTH_8;
        else {
            cliError("convert: --bmp-depth must be 24 or 8, not '" + *d + "'");
            return false;
        }
    }
    return true;
}

// Batch form: every positional argument is an input.
int convertMany(CliCall& call, const CliArgs& args) {
    for (const char* o :
         {"--frames", "--every", "--frame", "--series", "--strip", "--start", "--increment"}) {
        if (args.has(o)) {
            cliError(std::string("convert: ") + o + " cannot be used with --out-dir");
            return CLI_USAGE;
        }
    }
    const auto dir = args.value("--out-dir");
    const auto to = args.value("--to");
    if (!dir || dir->empty() || !to) {
        cliError(
            "convert: --out-dir DIR and --to EXT go together (see tarquil-cli convert --help)");
        return CLI_USAGE;
    }
    if (args.positional().empty()) {
        cliError("convert: no input files");
        return CLI_USAGE;
    }
    ConvertBatchJob job;
    job.palette = call.palette().argb();
    job.extension = *to;
    if (!job.extension.empty() && job.extension[0] == '.') job.extension.erase(0, 1);
    for (char& c : job.extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    job.fileType = writableTypeForPath("x." + job.extension);
    if (job.fileType == TX_TYPE_UNKNOWN) {
        cliError("convert: --to must be tga, png, bmp, pcx or spr, not '" + *to + "'");
        return CLI_USAGE;
    }
    long jobs = long(std::thread::hardware_concurrency());
    if (jobs < 1) jobs = 1;
    if (auto j = args.value("--jobs"); j && !cliParseInt(*j, 1, 256, jobs)) {
        cliError("convert: --jobs must be a number from 1 to 256, not '" + *j + "'");
        return CLI_USAGE;
    }
    WriteOptions write;
    if (!writerOptions(call, args, write)) return CLI_USAGE;
    job.inputs = args.positional();
    job.outDir = *dir;
    job.threads = int(jobs);
    job.showProgress = cliStderrIsTerminal();
    // Two inputs of the same name would overwrite each other's result.
    std::map<std::string, std::string> targets;
    for (const auto& in : job.inputs) {
        const std::string t = convertBatchTarget(in, job.outDir, job.extension);
        auto [it, added] = targets.emplace(t, in);
        if (!added) {
            cliError("convert: " + it->second + " and " + in + " would both be written to " + t);
            return CLI_USAGE;
        }
    }
    // No input is written over: OUT names none of them here.
    std::vector<std::string> written;
    for (const auto& [t, in] : targets) written.push_back(t);
    if (!cliInputsSafe("convert", job.inputs, written, std::string())) return CLI_USAGE;
    std::error_code ec;
    std::filesystem::create_directories(job.outDir, ec);
    if (ec || !std::filesystem::is_directory(job.outDir)) {
        cliError(job.outDir + ": " + (ec ? ec.message() : std::string("is not a directory")));
        return CLI_FILE_ERROR;
    }
    job.write = write;
    if (convertBatch(job)) return CLI_FILE_ERROR;
    for (const auto& in : job.inputs) call.read(in);
    for (const auto& in : job.inputs) call.wrote(convertBatchTarget(in, job.outDir, job.extension));
    return CLI_OK;
}

}  // namespace

int cmdConvert(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--compression", "--bmp-depth", "--frames",  "--every", "--frame",
                   "--start",       "--increment", "--out-dir", "--to",    "--jobs"};
    spec.flags = {"--series", "--strip"};
    spec.aliases = {{"-j", "--jobs"}};
    CliArgs args;
    if (auto status = cliParseCommand(call, spec, kHelp, args)) return *status;
    // --to with one IN and one OUT names the type of that OUT (a device has no extension).
    const bool singleTo = args.has("--to") && !args.has("--out-dir") && !args.has("--jobs") &&
                          args.positional().size() == 2;
    if (!singleTo && (args.has("--out-dir") || args.has("--to") || args.has("--jobs")))
        return convertMany(call, args);
    if (args.positional().size() != 2) {
        cliError("convert: expected IN and OUT (see tarquil-cli convert --help)");
        return CLI_USAGE;
    }
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    std::error_code ec;
    if (std::filesystem::is_directory(out, ec)) {
        cliError(out + ": is a directory");
        return CLI_FILE_ERROR;
    }
    const std::string ext = cliLowerExtension(out);
    TxFileType type = writableTypeForPath(out);
    if (singleTo) {
        std::string to = *args.value("--to");
        if (!to.empty() && to[0] == '.') to.erase(0, 1);
        for (char& c : to) c = char(std::tolower(static_cast<unsigned char>(c)));
        const TxFileType wanted = writableTypeForPath("x." + to);
        if (wanted == TX_TYPE_UNKNOWN) {
            cliError("convert: --to must be tga, png, bmp, pcx or spr, not '" +
                     *args.value("--to") + "'");
            return CLI_USAGE;
        }
        if (type != TX_TYPE_UNKNOWN && type != wanted) {
            cliError("convert: OUT ends in '." + ext + "' but --to asks for " + to);
            return CLI_USAGE;
        }
        type = wanted;
    }
    if (type == TX_TYPE_UNKNOWN) {
        cliError("convert: cannot write '." + ext +
                 "' files; supported: .tga .png .bmp .pcx .spr (or give --to)");
        return CLI_USAGE;
    }

    // Every option is checked before anything is read or written.
    WriteOptions write;
    if (!writerOptions(call, args, write)) return CLI_USAGE;
    auto intOption = [&](const char* name, long min, long max, long& v) {
        auto text = args.value(name);
        if (!text) return true;
        if (!cliParseInt(*text, min, max, v)) {
            cliError(std::string("convert: ") + name + " must be a number from " +
                     std::to_string(min) + " to " + std::to_string(max) + ", not '" + *text + "'");
            return false;
        }
        return true;
    };
    SequenceLoadOptions load{100, SEQ_LOAD_ALL, 1};
    bool sequenceRead = false;
    if (auto f = args.value("--frames")) {
        sequenceRead = true;
        if (*f == "all")
            load.mode = SEQ_LOAD_ALL;
        else if (*f == "single")
            load.mode = SEQ_LOAD_SINGLE;
        else {
            long n = 0;
            if (!cliParseInt(*f, 1, 100, n)) {
                cliError("convert: --frames must be all, single or a number from 1 to 100, not '" +
                         *f + "'");
                return CLI_USAGE;
            }
            load.mode = SEQ_LOAD_RANGE;
            load.frames = int(n);
        }
    }
    long every = 1, frame = 0, start = -1, increment = 1;
    if (!intOption("--every", 1, 100, every) || !intOption("--frame", 1, 1 << 20, frame) ||
        !intOption("--start", 0, 65536, start) || !intOption("--increment", 1, 65536, increment))
        return CLI_USAGE;
    if (args.has("--every")) sequenceRead = true;
    load.every = int(every);
    const bool series = args.has("--series"), strip = args.has("--strip");
    if (series && strip) {
        cliError("convert: --series and --strip exclude each other");
        return CLI_USAGE;
    }
    if ((args.has("--start") || args.has("--increment")) && !series) {
        cliError("convert: --start and --increment go with --series");
        return CLI_USAGE;
    }
    sequenceRead = sequenceRead || series || strip || frame > 0;

    CliPrompts prompts("convert");
    CliProgress progress("convert", cliStderrIsTerminal());

    FrameSequence seq;
    if (sequenceRead) {
        prompts.load = load;
        SequenceLoadReport report;
        if (loadSequence(seq, in, prompts, call.palette().argb(), &report) != SEQ_OK) {
            cliError(cliLoadFailure(in, report));
            return CLI_FILE_ERROR;
        }
    } else {
        Frame* f = seq.append();
        if (!f || f->load(in, call.palette().argb(), sequenceMemoryBudget()) != FE_OK) {
            cliError(in + ": " +
                     (f && !f->loadError().empty() ? f->loadError() : "cannot be read"));
            return CLI_FILE_ERROR;
        }
    }
    const std::vector<std::string> inputs =
        cliReportSequenceRead(call, in, seq, sequenceRead && load.mode != SEQ_LOAD_SINGLE);
    if (frame > 0) {
        if (frame > seq.count()) {
            cliError(in + ": has " + std::to_string(seq.count()) + " frame(s), no frame " +
                     std::to_string(frame));
            return CLI_USAGE;
        }
        // The chosen frame's pixels move over as they are; the others are dropped.
        FrameSequence one;
        Frame* f = one.append();
        Frame& src = *seq.frameAt(int(frame - 1));
        if (!f) {
            cliError("convert: out of memory");
            return CLI_FILE_ERROR;
        }
        f->mip() = std::move(src.mip());
        f->fileType = src.fileType;
        f->fileName = src.fileName;
        seq.swap(one);
    }

    SequenceSaveOptions save;
    save.increment = int(increment);
    NumberedPath p(out);
    save.firstNumber = start >= 0 ? int(start) : (p.number > 0 ? p.number : 0);
    save.startFrame = 1;
    save.framesToSave = seq.count();
    save.singleFile = !series;
    return cliWriteSequence(call, "convert", seq, out, type, write, save, series, inputs, prompts,
                            &progress);
}
