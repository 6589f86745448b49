#include "cli/args.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "cli/cli.h"
#include "model/settings.h"
#include "texlib/stream.h"

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

bool cliGenerationTime(std::tm& when, std::string& error) {
    when = std::tm{};
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch || !*epoch) {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &when);
        return true;
    }
    long long seconds = 0;
    bool ok = true;
    for (const char* c = epoch; *c; ++c) {
        if (*c < '0' || *c > '9' || seconds > 253402300799LL) ok = false;  // past the year 9999
        if (ok) seconds = seconds * 10 + (*c - '0');
    }
    const std::time_t t = std::time_t(seconds);
    if (!ok || seconds > 253402300799LL || !gmtime_r(&t, &when)) {
        error = std::string("SOURCE_DATE_EPOCH must be a number of seconds since 1970, not '") +
                epoch + "'";
        return false;
    }
    return true;
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

CliCall::CliCall(std::string command, std::vector<std::string> argv)
    : command_(std::move(command)), argv_(std::move(argv)) {}

CliCall::~CliCall() = default;

namespace {

void addOnce(std::vector<std::string>& list, std::set<std::string>& held, const std::string& path) {
    if (!path.empty() && held.insert(path).second) list.push_back(path);
}

}  // namespace

void CliCall::read(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    addOnce(inputs_, inputSet_, path);
}

void CliCall::wrote(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    addOnce(outputs_, outputSet_, path);
}

void CliCall::field(const std::string& name, const std::string& jsonValue) {
    std::lock_guard<std::mutex> lock(mutex_);
    fields_.emplace_back(name, jsonValue);
}

std::vector<std::string> CliCall::inputs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_;
}

std::vector<std::string> CliCall::outputs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outputs_;
}

SettingsStore& CliCall::settings() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!settings_) {
        if (noSettings) {
            settings_ = std::make_unique<MemorySettingsStore>();
        } else {
            settingsPath_ = IniSettingsStore::defaultPath();
            settings_ = std::make_unique<IniSettingsStore>(settingsPath_);
            // Only a file that is there was read; a missing one would make every build dirty.
            struct stat st;
            if (::stat(settingsPath_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                addOnce(inputs_, inputSet_, settingsPath_);
        }
    }
    return *settings_;
}

bool CliCall::saveSettings(std::string& error) {
    settings();
    auto* ini = dynamic_cast<IniSettingsStore*>(settings_.get());
    if (!ini || ini->flush()) return true;
    error = ini->path() + ": the settings cannot be written";
    return false;
}

std::optional<int> cliParseCommand(CliCall& call, CliOptionSpec spec,
                                   const std::function<void()>& printHelp, CliArgs& args) {
    const char* command = call.command().c_str();
    spec.flags.insert({"--help", "--json", "--no-settings"});
    spec.valued.insert("--depfile");
    spec.aliases.emplace("-h", "--help");
    std::string err;
    if (!args.parse(call.argv(), spec, err)) return cliUsage(command, err);
    if (args.has("--help")) {
        printHelp();
        return CLI_OK;
    }
    call.json = args.has("--json");
    const char* env = std::getenv("TARQUIL_NO_SETTINGS");
    call.noSettings = args.has("--no-settings") || (env && *env && std::strcmp(env, "0") != 0);
    if (args.has("--save-settings") && call.noSettings)
        return cliUsage(command, args.has("--no-settings")
                                     ? "give either --save-settings or --no-settings, not both"
                                     : "--save-settings cannot go with TARQUIL_NO_SETTINGS");
    if (auto d = args.value("--depfile")) {
        if (d->empty()) return cliUsage(command, "--depfile needs a file name");
        call.depfile = *d;
        // Opened now, so that a depfile that cannot be written fails the run before it writes
        // anything.
        call.depfileWriter_ = std::make_unique<TxFileWriter>();
        if (!call.depfileWriter_->open(*d)) {
            const std::string why = call.depfileWriter_->error();
            cliError(*d + ": the depfile cannot be written" + (why.empty() ? "" : ": " + why));
            call.depfileWriter_.reset();
            return CLI_FILE_ERROR;
        }
    }
    return std::nullopt;
}

std::optional<int> cliParseCommand(CliCall& call, CliOptionSpec spec, const char* helpText,
                                   CliArgs& args) {
    return cliParseCommand(
        call, std::move(spec), [helpText] { std::fputs(helpText, stdout); }, args);
}

bool cliExpandResponseFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                            std::string& error) {
    out.clear();
    for (const auto& a : args) {
        if (a.size() < 2 || a[0] != '@') {
            out.push_back(a);
            continue;
        }
        const std::string path = a.substr(1);
        struct stat st;
        std::FILE* f = nullptr;
        if (::stat(path.c_str(), &st) != 0) {
            error = std::strerror(errno);
        } else if (S_ISDIR(st.st_mode)) {
            error = "is a directory";
        } else if (!(f = std::fopen(path.c_str(), "rb"))) {
            error = std::strerror(errno);
        }
        if (!f) {
            error = "response file " + path + ": " + error;
            return false;
        }
        std::string text;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        const bool failed = std::ferror(f) != 0;
        const int why = errno;
        std::fclose(f);
        if (failed) {
            error = "response file " + path + ": " + std::strerror(why);
            return false;
        }
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) out.push_back(line);
            start = end + 1;
        }
    }
    return true;
}

std::string cliDepfileEscape(const std::string& path) {
    std::string out;
    size_t backslashes = 0;
    for (char c : path) {
        if (c == ' ' || c == '\t') {
            out.append(backslashes + 1, '\\');
        } else if (c == '#') {
            out += '\\';
        } else if (c == '$') {
            out += '$';
        }
        out += c;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return out;
}

std::optional<std::string> cliDepfileText(const std::vector<std::string>& targets,
                                          const std::vector<std::string>& prerequisites) {
    auto bad = [](const std::string& p) { return p.find_first_of("\r\n") != std::string::npos; };
    std::string text;
    // A run that wrote nothing (info, poslist) has no rule to give; an empty depfile is valid.
    if (targets.empty()) return text;
    for (const auto& t : targets) {
        if (bad(t)) return std::nullopt;
        text += (text.empty() ? "" : " ") + cliDepfileEscape(t);
    }
    text += ":";
    for (const auto& p : prerequisites) {
        if (std::find(targets.begin(), targets.end(), p) != targets.end()) continue;
        if (bad(p)) return std::nullopt;
        text += " \\\n  " + cliDepfileEscape(p);
    }
    return text + "\n";
}

int cliUsage(const char* command, const std::string& text) {
    cliError(std::string(command) + ": " + text);
    return CLI_USAGE;
}
