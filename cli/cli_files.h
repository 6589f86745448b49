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
