#include "cli/cli_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cli/cli.h"
#include "texlib/read.h"

MsgResult CliPrompts::message(const std::string& text, MsgIcon, MsgButtons buttons) {
    ++messages;
    if (quiet) return MsgResult::Ok;
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    cliError(command_ + ": " + line);
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::No
                                                                              : MsgResult::Ok;
}

std::optional<SequenceLoadOptions> CliPrompts::sequenceLoadOptions(const SequenceLoadOptions& d) {
    return load ? *load : d;
}

std::optional<SequenceSaveOptions> CliPrompts::sequenceSaveOptions(const SequenceSaveOptions& d) {
    if (!save) return d;
    SequenceSaveOptions o = *save;
    if (o.framesToSave <= 0) o.framesToSave = d.framesToSave;
    return o;
}

CliProgress::CliProgress(std::string label, bool show) : label_(std::move(label)), show_(show) {}

void CliProgress::begin(int total) {
    total_ = total;
    done_ = 0;
    print();
}

void CliProgress::step() {
    ++done_;
    print();
}

void CliProgress::end() {
    if (show_) std::fprintf(stderr, "\n");
}

void CliProgress::print() {
    if (show_) std::fprintf(stderr, "\r%s: %d of %d", label_.c_str(), done_, total_);
}

std::string cliLowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
