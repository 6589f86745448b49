// tarquil-cli convert IN... --out-dir DIR --to EXT [-j N]: many files in one process, on several
// threads, each file succeeding or failing on its own.
#pragma once

#include <string>
#include <vector>

#include "model/frame_writers.h"

struct ConvertBatchJob {
    std::vector<std::string> inputs;
    std::string outDir;
    std::string extension;                  // lower case, without the dot
    TxFileType fileType = TX_TYPE_UNKNOWN;  // the writable type the extension names
    int threads = 1;
    bool showProgress = false;
    WriteOptions write;                 // the same for every file; the threads only read it
    const uint32_t* palette = nullptr;  // the colours 8-bit lumps take (AppPalette::argb)
};

// Output path of one input: DIR/<input's name without its extension>.<ext>.
std::string convertBatchTarget(const std::string& input, const std::string& outDir,
                               const std::string& extension);

// Converts every input; messages for the files that fail go to stderr as they happen. Returns the
// number of files that failed.
int convertBatch(const ConvertBatchJob& job);
