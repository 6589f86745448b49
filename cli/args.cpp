#include "cli/args.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"

bool CliArgs::parse(const std::vector<std::string>& argv, const CliOptionSpec& spec,
                    std::string& error) {
    positional_.clear();
    ordered_.clear();
    bool onlyFiles = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        std::string a = argv[i];
        if (onlyFiles || a.size() < 2 || a[0] != '-') {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyFiles = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (a.rfind("--", 0) == 0) {
            size_t eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                hasValue = true;
            }
        }
        if (auto al = spec.aliases.find(a); al != spec.aliases.end()) a = al->second;
        if (spec.flags.count(a)) {
            if (hasValue) {
                error = "option " + a + " takes no value";
                return false;
            }
            ordered_.emplace_back(a, "");
        } else if (spec.valued.count(a)) {
            if (!hasValue) {
                if (i + 1 >= argv.size()) {
                    error = "option " + a + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            ordered_.emplace_back(a, value);
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

bool CliArgs::has(const std::string& name) const {
    for (const auto& [k, v] : ordered_)
        if (k == name) return true;
    return false;
}

std::optional<std::string> CliArgs::value(const std::string& name) const {
    std::optional<std::string> out;
    for (const auto& [k, v] : ordered_)
        if (k == name) out = v;
    return out;
}

std::vector<std::string> CliArgs::values(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& [k, v] : ordered_)
        if (k == name) out.push_back(v);
    return out;
}

bool cliParseInt(const std::string& text, long min, long max, long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno || *end || v < min || v > max) return false;
    out = v;
    return true;
}

std::optional<int> cliParseCommand(const char* command, const std::vector<std::string>& argv,
                                   CliOptionSpec spec, const std::function<void()>& printHelp,
                                   CliArgs& args) {
    spec.flags.insert("--help");
    spec.aliases.emplace("-h", "--help");
    std::string err;
    if (!args.parse(argv, spec, err)) return cliUsage(command, err);
    if (args.has("--help")) {
        printHelp();
        return CLI_OK;
    }
    return std::nullopt;
}

std::optional<int> cliParseCommand(const char* command, const std::vector<std::string>& argv,
                                   CliOptionSpec spec, const char* helpText, CliArgs& args) {
    return cliParseCommand(
        command, argv, std::move(spec), [helpText] { std::fputs(helpText, stdout); }, args);
}

int cliUsage(const char* command, const std::string& text) {
    cliError(std::string(command) + ": " + text);
    return CLI_USAGE;
}
