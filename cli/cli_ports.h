// The flag-driven ports of tarquil-cli: questions are answered from the command's options and
// messages go to stderr; progress is a line on stderr when it is a terminal.
#pragma once

#include <optional>
#include <string>

#include "model/ports.h"

class CliPrompts : public Prompts {
public:
    explicit CliPrompts(std::string command) : command_(std::move(command)) {}
    MsgResult message(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<SequenceLoadOptions> sequenceLoadOptions(const SequenceLoadOptions& d) override;
    std::optional<SequenceSaveOptions> sequenceSaveOptions(const SequenceSaveOptions& d) override;

    // Answers for the sequence dialogs; unset means the dialog's defaults with all frames.
    std::optional<SequenceLoadOptions> load;
    std::optional<SequenceSaveOptions> save;
    int messages = 0;
    bool quiet = false;  // count messages without printing them

private:
    std::string command_;
};

class CliProgress : public Progress {
public:
    CliProgress(std::string label, bool show);
    void begin(int total) override;
    void step() override;
    void end() override;

private:
    void print();
    std::string label_;
    bool show_;
    int total_ = 0, done_ = 0;
};

// A path's extension in lower case without its dot ("" when there is none).
std::string cliLowerExtension(const std::string& path);
