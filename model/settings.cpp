#include "model/settings.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "texlib/stream.h"

std::string MemorySettingsStore::key(const std::string& section, const std::string& name) {
    std::string s = section;
    for (char& c : s)
        if (c == '\\') c = '/';
    return s + "/" + name;
}

int MemorySettingsStore::getInt(const std::string& section, const std::string& name,
                                int def) const {
    auto it = values_.find(key(section, name));
    if (it == values_.end()) return def;
    const char* b = it->second.c_str();
    char* e = nullptr;
    errno = 0;
    const long long v = std::strtoll(b, &e, 0);
    // Junk or a number no int holds reads as missing.
    if (e == b || errno == ERANGE || v < INT_MIN || v > INT_MAX) return def;
    return int(v);
}

std::string MemorySettingsStore::getString(const std::string& section, const std::string& name,
                                           const std::string& def) const {
    auto it = values_.find(key(section, name));
    return it == values_.end() ? def : it->second;
}

void MemorySettingsStore::setInt(const std::string& section, const std::string& name, int value) {
    setString(section, name, std::to_string(value));
}

void MemorySettingsStore::setString(const std::string& section, const std::string& name,
                                    const std::string& value) {
    values_[key(section, name)] = value;
    dirty_ = true;
}

bool MemorySettingsStore::contains(const std::string& section, const std::string& name) const {
    return values_.count(key(section, name)) != 0;
}

void MemorySettingsStore::remove(const std::string& section, const std::string& name) {
    dirty_ |= values_.erase(key(section, name)) != 0;
}

void MemorySettingsStore::removeSection(const std::string& section) {
    const std::string prefix = key(section, "");
    for (auto it = values_.lower_bound(prefix);
         it != values_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        it = values_.erase(it);
        dirty_ = true;
    }
}

namespace {

// Keys are escaped the way QSettings escapes them, so both programs name the same values.
std::string escapeKey(const std::string& k) {
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : k) {
        if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
            out += char(c);
        } else if (c == '/') {
            out += '\\';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `n` hex digits at k[at]; -1 when they are not all there.
long hexAt(const std::string& k, size_t at, int n) {
    if (at + size_t(n) > k.size()) return -1;
    long v = 0;
    for (int j = 0; j < n; ++j) {
        const int d = hexDigit(k[at + size_t(j)]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

void appendUtf8(std::string& out, unsigned long c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Undoes escapeKey, and QSettings' "%UXXXX" for other characters. False on a malformed escape:
// such a key (or group) is no key at all, and its entries read as missing.
bool unescapeKey(const std::string& k, std::string& out) {
    out.clear();
    for (size_t i = 0; i < k.size(); ++i) {
        if (k[i] == '\\') {
            out += '/';
        } else if (k[i] == '%') {
            if (i + 1 < k.size() && k[i + 1] == 'U') {
                const long v = hexAt(k, i + 2, 4);
                if (v < 0) return false;
                appendUtf8(out, (unsigned long)v);
                i += 5;
            } else {
                const long v = hexAt(k, i + 1, 2);
                if (v < 0) return false;
                out += char(v);
                i += 2;
            }
        } else {
            out += k[i];
        }
    }
    return true;
}

std::string escapeValue(const std::string& v) {
    bool quote = v.empty() ? false : (v.front() == ' ' || v.back() == ' ');
    for (char c : v)
        if (c == ',' || c == '"' || c == ';' || c == '=' || c == '\\' || c == '\n' || c == '\r' ||
            c == '\t' || c == '#')
            quote = true;
    if (!quote) return v;
    std::string out = "\"";
    for (char c : v) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// Reads a value the way QSettings writes it: double quotes group text (and are dropped), a
// backslash escapes the next character anywhere, and blanks outside quotes at either end go.
std::string unescapeValue(const std::string& raw) {
    std::string out;
    bool quoted = false;
    size_t lastKept = 0;  // length of out up to the last character that must stay
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            lastKept = out.size();
            continue;
        }
        if (c == '\\' && i + 1 < raw.size()) {
            const char n = raw[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n == '0' ? '\0' : n;
            lastKept = out.size();
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t' || c == '\r') && out.size() == lastKept &&
            out.empty())
            continue;  // leading blanks
        out += c;
        if (quoted || (c != ' ' && c != '\t' && c != '\r')) lastKept = out.size();
    }
    out.resize(lastKept);
    return out;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) {
    // Opened without blocking and only when it is a regular file: a FIFO or device named as the
    // settings file reads as no settings. Malformed lines, keys and groups read as missing.
    TxFileData file;
    std::string error;
    if (file.open(path_, error)) {
        const char* p = reinterpret_cast<const char*>(file.data());
        const char* end = p + file.size();
        std::string line, group;
        bool groupOk = true;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = nl ? nl : end;
            line.assign(p, stop);
            p = nl ? nl + 1 : end;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == ';' || line[0] == '#') continue;
            if (line.front() == '[' && line.back() == ']') {
                groupOk = unescapeKey(line.substr(1, line.size() - 2), group);
                if (group == "General") group.clear();
                continue;
            }
            size_t eq = line.find('=');
            if (eq == std::string::npos || !groupOk) continue;
            std::string k = line.substr(0, eq), key;
            while (!k.empty() && k.back() == ' ') k.pop_back();
            if (!unescapeKey(k, key) || key.empty()) continue;
            values_[group.empty() ? key : group + "/" + key] = unescapeValue(line.substr(eq + 1));
        }
    }
    dirty_ = false;
}

IniSettingsStore::~IniSettingsStore() {
    if (dirty_) flush();
}

bool IniSettingsStore::flush() {
    std::map<std::string, std::map<std::string, std::string>> groups;
    for (const auto& [k, v] : values_) {
        size_t slash = k.find('/');
        if (slash == std::string::npos)
            groups["General"][k] = v;
        else
            groups[k.substr(0, slash)][k.substr(slash + 1)] = v;
    }
    std::ostringstream out;
    for (const auto& [g, kv] : groups) {
        out << '[' << (g == "General" ? g : escapeKey(g)) << "]\n";
        for (const auto& [k, v] : kv) out << escapeKey(k) << '=' << escapeValue(v) << '\n';
        out << '\n';
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    TxFileWriter f;
    const std::string text = out.str();
    if (!f.open(path_) || !f.write(text.data(), text.size()) || !f.commit()) return false;
    dirty_ = false;
    return true;
}

std::string IniSettingsStore::defaultPath() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = ".";
    return base + "/BrightvaleWorks/Tarquil Studio 1.0.conf";
}
