// Command-line parsing shared by every tarquil-cli command: options may stand before or after the
// file names; "--name value", "--name=value" and "-o value" are all accepted.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

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

// Strict integer parsing for option values; false on junk or out of range.
bool cliParseInt(const std::string& text, long min, long max, long& out);

// The start every command shares: adds --help/-h to `spec`, parses, and prints the help for
// --help. Returns the exit status when the command ends there (bad options: 2, --help: 0),
// or nothing when the command goes on with `args`.
std::optional<int> cliParseCommand(const char* command, const std::vector<std::string>& argv,
                                   CliOptionSpec spec, const std::function<void()>& printHelp,
                                   CliArgs& args);
std::optional<int> cliParseCommand(const char* command, const std::vector<std::string>& argv,
                                   CliOptionSpec spec, const char* helpText, CliArgs& args);
// Reports "COMMAND: text" and gives the bad-usage status.
int cliUsage(const char* command, const std::string& text);
