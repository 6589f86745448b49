// Loading a frame sequence from a numbered file series, a single file or a multi-frame file, and
// saving it as one file, a numbered series or one strip with its position list.
#pragma once

#include <string>
#include <vector>

#include "model/frame_sequence.h"
#include "model/frame_writers.h"
#include "model/ports.h"

enum SequenceResult : int {
    SEQ_OK = 0,
    SEQ_SERIES_UNREADABLE = 799,
    SEQ_FILE_UNREADABLE = 837,
    SEQ_UNSUPPORTED_TYPE = 966,
    SEQ_DECLINED = 1022,
    SEQ_NOTHING_TO_SAVE = 1027,
    SEQ_NO_STRIP_WRITER = 1096,
    SEQ_OUT_OF_MEMORY = 1097,         // memory for a frame could not be had; nothing loaded
    SEQ_OVER_BUDGET = 1098,           // the frames would pass the sequence's budget; nothing loaded
    SEQ_POSITIONS_UNWRITABLE = 1099,  // the strip was written, its position files were not
    SEQ_NAMES_CLASH = 1100,           // two frames of a series would get one name; nothing written
    SEQ_STRIP_TOO_LARGE = 1101,  // the strip would pass the picture-size limit; nothing written
};

struct SequenceLoadReport {
    std::string error;  // why the load failed
    std::string file;   // the file the error is about (a series' file), "" for the path given
    int framesInFile = 1;
};

// The most bytes the frames of one sequence may take together: 2 GiB unless set at start-up,
// before any load runs (tests set a small one); constant from then on, so loads on several
// threads only read it. A load that would pass it is refused, naming the frame and the total.
int64_t sequenceMemoryBudget();
void setSequenceMemoryBudget(int64_t bytes);

// Clamps dialog answers to the dialog's ranges; values of 0 or less become 1.
SequenceLoadOptions clampLoadOptions(SequenceLoadOptions o);

// Replaces the sequence's frames. `palette` (256 words or null) is the current palette for
// readers that need one. A numbered series ends at the first missing file; a file of the series
// that exists but cannot be read, memory that cannot be had and the budget passed all fail the
// whole load (the sequence is left empty): no frame is ever dropped silently.
int loadSequence(FrameSequence& seq, const std::string& path, Prompts& prompts,
                 const uint32_t* palette = nullptr, SequenceLoadReport* report = nullptr);

// Saves without changing the sequence, each file written with `writeOptions`. Failures of single
// files are reported through prompts
// ("Cannot save frame %s"); the result is non-zero whenever anything was not written (a strip's
// position files included: SEQ_POSITIONS_UNWRITABLE).
// `options`, when given, replaces the "Sequence save options" dialog and the numbering taken from
// the path (batch callers that know exactly what they want).
// `failure`, when given, receives the file that could not be written and the writer's reason.
struct SequenceSaveFailure {
    std::string file;
    std::string reason;
};
int saveSequence(const FrameSequence& seq, const std::string& path, TxFileType fileType,
                 const WriteOptions& writeOptions, Prompts& prompts, Progress* progress = nullptr,
                 const SequenceSaveOptions* options = nullptr,
                 SequenceSaveFailure* failure = nullptr);

// The files saveSequence writes for these options, in order (a strip's position files included),
// so that a caller can look at them before anything is written. Numbers past three digits widen
// the whole series (anim0000.tga ...), never wrap onto earlier frames.
std::vector<std::string> sequenceSaveFiles(const FrameSequence& seq, const std::string& path,
                                           TxFileType fileType, const SequenceSaveOptions& options);
