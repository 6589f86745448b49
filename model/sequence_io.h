// Loading a frame sequence from a numbered file series, a single file or a multi-frame file, and
// saving it as one file, a numbered series or one strip with its position list.
#pragma once

#include <string>

#include "model/frame_sequence.h"
#include "model/ports.h"

enum SequenceResult : int {
    SEQ_OK = 0,
    SEQ_SERIES_UNREADABLE = 799,
    SEQ_FILE_UNREADABLE = 837,
    SEQ_UNSUPPORTED_TYPE = 966,
    SEQ_DECLINED = 1022,
    SEQ_NOTHING_TO_SAVE = 1027,
    SEQ_NO_STRIP_WRITER = 1096,
};

struct SequenceLoadReport {
    std::string error;  // why the first (or only) file could not be read
    int framesInFile = 1;
};

// Clamps dialog answers to the dialog's ranges; values of 0 or less become 1.
SequenceLoadOptions clampLoadOptions(SequenceLoadOptions o);

// Replaces the sequence's frames. `palette` (256 words or null) is the current palette for
// readers that need one.
int loadSequence(FrameSequence& seq, const std::string& path, Prompts& prompts,
                 const uint32_t* palette = nullptr, SequenceLoadReport* report = nullptr);

// Saves without changing the sequence. Failures of single files are reported through prompts
// ("Cannot save frame %s"); the result is non-zero whenever anything was not written.
// `options`, when given, replaces the "Sequence save options" dialog and the numbering taken from
// the path (batch callers that know exactly what they want).
// `failure`, when given, receives the file that could not be written and the writer's reason.
struct SequenceSaveFailure {
    std::string file;
    std::string reason;
};
int saveSequence(const FrameSequence& seq, const std::string& path, int fileType, Prompts& prompts,
                 Progress* progress = nullptr, const SequenceSaveOptions* options = nullptr,
                 SequenceSaveFailure* failure = nullptr);
