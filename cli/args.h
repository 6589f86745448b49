// Command-line parsing shared by every tarquil-cli command: options may stand before or after the
// file names; "--name value", "--name=value" and "-o value" are all accepted.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/app_palette.h"

class SettingsStore;
class TxFileWriter;

struct CliOptionSpec {
    std::set<std::string> valued;  // options that take a value ("--format", "-o", ...)
    std::set<std::string> flags;   // options without a value ("--json", "--help", ...)
    std::map<std::string, std::string> aliases;  // "-o" -> "--output"
};

class CliArgs {
public:
    // False with `error` set on an unknown option or a missing value.
    bool parse(const std::vector<std::string>& argv, const CliOptionSpec& spec, std::string& error);

    const std::vector<std::string>& positional() const { return positional_; }
    bool has(const std::string& name) const;
    std::optional<std::string> value(const std::string& name) const;
    // Every value given for a repeatable option, in order.
    std::vector<std::string> values(const std::string& name) const;
    // Options in the order given (for commands whose steps run in that order).
    const std::vector<std::pair<std::string, std::string>>& ordered() const { return ordered_; }

private:
    std::vector<std::string> positional_;
    std::vector<std::pair<std::string, std::string>> ordered_;
};

// One run of a command, and how the command reports what it did.
//
// A command names every file it read with read() and every file it wrote with wrote(), as it
// goes, taking the names from what its calls return (the member files of the sequence it loaded,
// the position file loadPositions read, the face's font file, the files sequenceSaveFiles lists),
// never by guessing names or hooking the readers. It takes its settings only from settings(), so
// that --no-settings holds and the settings file counts as read only when it was. Values of its
// result go to field() as JSON text; with --json a command prints nothing else on stdout.
// cliRun does the rest for every command after it returns: the --depfile (outputs as targets,
// inputs as prerequisites), the --json result or error object (messages printed with cliError
// become its warnings or error), and, when the depfile cannot be written, the exit status 1 with
// the run's outputs removed.
class CliCall {
public:
    CliCall(std::string command, std::vector<std::string> argv);
    ~CliCall();

    const std::string& command() const { return command_; }
    const std::vector<std::string>& argv() const { return argv_; }

    // The options every command takes, set by cliParseCommand.
    bool json = false;
    bool noSettings = false;  // --no-settings or TARQUIL_NO_SETTINGS=1
    std::optional<std::string> depfile;

    // Safe from several threads (a batch's workers, a palette loaded on first use).
    void read(const std::string& path);
    void wrote(const std::string& path);
    void field(const std::string& name, const std::string& jsonValue);

    std::vector<std::string> inputs() const;
    std::vector<std::string> outputs() const;
    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }

    // The editor's settings file (opened on first use and then listed as read when it exists), or
    // the built-in defaults with --no-settings.
    SettingsStore& settings();
    // Writes changed settings back (--save-settings); false with `error` set when that failed.
    bool saveSettings(std::string& error);

    // The depfile's writer, opened by cliParseCommand before the command writes anything (null
    // without --depfile).
    TxFileWriter* depfileWriter() const { return depfileWriter_.get(); }

    // The palette 8-bit lumps take: the editor's "palfile", read on its first use.
    AppPalette& palette() { return palette_; }

private:
    std::string command_;
    std::vector<std::string> argv_;
    AppPalette palette_;
    mutable std::mutex mutex_;
    std::vector<std::string> inputs_, outputs_;
    // What the lists hold, so that a batch of many files does not search them for every name.
    std::set<std::string> inputSet_, outputSet_;
    std::vector<std::pair<std::string, std::string>> fields_;
    std::unique_ptr<SettingsStore> settings_;
    std::string settingsPath_;  // "" for the built-in defaults
    std::unique_ptr<TxFileWriter> depfileWriter_;
    friend std::optional<int> cliParseCommand(CliCall&, CliOptionSpec, const std::function<void()>&,
                                              CliArgs&);
};

// The time that dates in generated text show: SOURCE_DATE_EPOCH in UTC when it is set (so that
// builds are reproducible), else now in local time. False with `error` set when
// SOURCE_DATE_EPOCH is not a number of seconds.
bool cliGenerationTime(std::tm& when, std::string& error);

// Strict integer parsing for option values; false on junk or out of range.
bool cliParseInt(const std::string& text, long min, long max, long& out);

// The start every command shares: adds --help/-h and the shared options (--json, --no-settings,
// --depfile FILE) to `spec`, parses call.argv() into `args`, sets the call's shared options and
// prints the help for --help. Returns the exit status when the command ends there (bad options:
// 2, --help: 0), or nothing when the command goes on with `args`.
std::optional<int> cliParseCommand(CliCall& call, CliOptionSpec spec,
                                   const std::function<void()>& printHelp, CliArgs& args);
std::optional<int> cliParseCommand(CliCall& call, CliOptionSpec spec, const char* helpText,
                                   CliArgs& args);

// Response files: every argument "@FILE" is replaced by the lines of FILE, one argument a line
// (taken as written, no quoting; a CR before the line feed is dropped, empty lines are skipped);
// arguments read from a file are not expanded again. False with `error` naming the file when one
// cannot be read.
bool cliExpandResponseFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                            std::string& error);

// A path as GCC writes it into a Make or Ninja depfile: a space or tab after a backslash (the
// backslashes before it doubled), '#' after a backslash, '$' doubled.
std::string cliDepfileEscape(const std::string& path);
// The whole depfile: "targets: prerequisites", continued with backslash-newline, prerequisites
// that are also targets left out; empty without targets. Nothing when a path holds a line
// break, which no depfile can.
std::optional<std::string> cliDepfileText(const std::vector<std::string>& targets,
                                          const std::vector<std::string>& prerequisites);
// Reports "COMMAND: text" and gives the bad-usage status.
int cliUsage(const char* command, const std::string& text);
