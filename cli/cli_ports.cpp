#include "cli/cli_ports.h"

#include <algorithm>
#include <cstdio>

#include "app/settings.h"
#include "cli/cli.h"

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

SettingsStore& cliSettings() {
    static IniSettingsStore store(IniSettingsStore::defaultPath());
    return store;
}
