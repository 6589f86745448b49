// What tarquil-cli's image commands share about the files they read and write: the message of a
// failed load, and the rule that no command writes over one of its inputs unless OUT names it.
#pragma once

#include <string>
#include <vector>

#include "model/sequence_io.h"

// "<file>: <reason>" for a failed loadSequence: the file of a series that failed, else `in`.
std::string cliLoadFailure(const std::string& in, const SequenceLoadReport& report);

// The files a sequence was read from (each once, in order).
std::vector<std::string> cliInputFiles(const FrameSequence& seq);

// Tells `call` the files a sequence was read from (the list returned). When `series` (the load
// looked for numbered files after `path`), the folder of the series counts as read too: the
// series ends at the first missing number, so a file added there changes the result.
class CliCall;
std::vector<std::string> cliReportSequenceRead(CliCall& call, const std::string& path,
                                               const FrameSequence& seq, bool series);

// False (with a message, nothing written) when a file about to be written is one of the inputs
// (the same file, by any name) without being OUT itself by name: OUT names the one input a
// command may replace.
bool cliInputsSafe(const std::string& command, const std::vector<std::string>& inputs,
                   const std::vector<std::string>& targets, const std::string& out);

// Writes `seq` to OUT as `type` with `save` and tells `call` the files written. With `series`, a
// sequence of more than one frame whose OUT ends in a number takes its numbers from `save`, so
// the name is passed without its own; otherwise the frames go to exactly OUT. Refuses targets
// that are inputs (cliInputsSafe); a failure is reported with the file and the writer's reason,
// not through `prompts`. CLI_OK, CLI_USAGE (nothing written) or CLI_FILE_ERROR.
class CliPrompts;
int cliWriteSequence(CliCall& call, const std::string& command, const FrameSequence& seq,
                     const std::string& out, TxFileType type, const WriteOptions& write,
                     const SequenceSaveOptions& save, bool series,
                     const std::vector<std::string>& inputs, CliPrompts& prompts,
                     Progress* progress);
