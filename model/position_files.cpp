#include "model/position_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

struct SplitPath {
    std::string dir;   // with its trailing slash, or empty
    std::string base;  // file name without the extension
    std::string ext;   // from the last dot of the file name, dot included
};

SplitPath splitPath(const std::string& path) {
    SplitPath sp;
    const size_t slash = path.find_last_of('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    sp.dir = path.substr(0, start);
    const std::string file = path.substr(start);
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) {
        sp.base = file;
    } else {
        sp.base = file.substr(0, dot);
        sp.ext = file.substr(dot);
    }
    return sp;
}

std::string fullPath(const std::string& path) {
    std::error_code ec;
    const auto abs = std::filesystem::absolute(path, ec);
    return ec ? path : abs.string();
}

// Names are stored as one text line (and as a zero-terminated string in the map file): the text
// ends at a zero byte, and line breaks become blanks so a name can never start a bogus line.
std::string storedName(const std::string& name) {
    std::string out = name.substr(0, name.find('\0'));
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

int writeBytes(const std::string& target, const void* data, size_t size, std::string* message,
               std::string* reason) {
    TxFileWriter w;
    if (w.open(target) && w.write(data, size) && w.commit()) return POS_FILE_OK;
    if (message) *message = "Error saving position file " + fullPath(target) + "\n";
    if (reason) *reason = w.error().empty() ? std::string("write error") : w.error();
    return POS_FILE_WRITE_ERROR;
}

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// As %d reads: white space, an optional sign, at least one digit. Values beyond 32 bits saturate
// (the clamp to the image follows anyway).
bool readInt(const char*& p, const char* end, int32_t& v) {
    while (p < end && isCSpace(*p)) ++p;
    bool neg = false;
    if (p < end && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
    }
    if (p >= end || *p < '0' || *p > '9') return false;
    int64_t acc = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (acc <= int64_t(1) << 32) acc = acc * 10 + (*p - '0');
        ++p;
    }
    if (neg) acc = -acc;
    if (acc > INT32_MAX) acc = INT32_MAX;
    if (acc < INT32_MIN) acc = INT32_MIN;
    v = int32_t(acc);
    return true;
}

bool appendClamped(PositionList& list, TxRect r, const std::string& name, int w, int h) {
    if (!clampPositionRect(r, w, h)) return false;
    list.append(r, name);
    return true;
}

}  // namespace

std::string positionTempDirectory() {
    const char* t = std::getenv("TMPDIR");
    if (t && *t) return t;
    return "/tmp";
}

bool positionFileNames(const std::string& imagePath, PositionFileNames& names,
                       const std::string& tmpDir) {
    const SplitPath sp = splitPath(imagePath);
    if (sp.base.empty()) return false;
    const std::string stem = sp.dir + sp.base + sp.ext;
    names.text = stem + "_pos.txt";
    names.map = stem + ".map";
    std::string dir = tmpDir.empty() ? positionTempDirectory() : tmpDir;
    if (dir.back() != '/') dir += '/';
    names.temp = dir + sp.base + sp.ext + "_pos.tmp";
    return true;
}

std::string positionTextBytes(const PositionList& list) {
    std::string out;
    char buf[64];
    for (int i = 0; i < list.count(); ++i) {
        const TxRect& r = list.at(i).rect;
        std::snprintf(buf, sizeof buf, "%d,%d,%d,%d:", r.left, r.top, r.right, r.bottom);
        out += buf;
        out += storedName(list.at(i).name);
        out += "\r\n";
    }
    return out;
}

std::vector<uint8_t> positionMapBytes(const PositionList& list) {
    std::vector<uint8_t> out = {'M', '0'};
    auto put16 = [&out](int32_t v) {
        // Coordinates are truncated to 16 bits, as the format has no room for more.
        const uint16_t u = uint16_t(uint32_t(v) & 0xFFFF);
        out.push_back(uint8_t(u & 0xFF));
        out.push_back(uint8_t(u >> 8));
    };
    for (int i = 0; i < list.count(); ++i) {
        const PositionItem& it = list.at(i);
        put16(it.rect.left);
        put16(it.rect.top);
        put16(it.rect.right);
        put16(it.rect.bottom);
        const std::string name = storedName(it.name);
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        // Records stay 16-bit aligned.
        if (name.size() % 2 == 0) out.push_back(0);
    }
    out.push_back(0xFF);
    out.push_back(0xFF);
    return out;
}

int savePositionText(const PositionList& list, const std::string& imagePath, std::string* message,
                     std::string* reason) {
    PositionFileNames names;
    if (!positionFileNames(imagePath, names)) return POS_FILE_NO_NAME;
    if (list.empty()) return POS_FILE_OK;
    const std::string bytes = positionTextBytes(list);
    return writeBytes(names.text, bytes.data(), bytes.size(), message, reason);
}

int savePositionMap(const PositionList& list, const std::string& imagePath, std::string* message,
                    std::string* reason) {
    PositionFileNames names;
    if (!positionFileNames(imagePath, names)) return POS_FILE_NO_NAME;
    if (list.empty()) return POS_FILE_OK;
    const std::vector<uint8_t> bytes = positionMapBytes(list);
    return writeBytes(names.map, bytes.data(), bytes.size(), message, reason);
}

int savePositionFiles(const PositionList& list, const std::string& imagePath, std::string* message,
                      std::string* reason) {
    const int rc = savePositionText(list, imagePath, message, reason);
    if (rc != POS_FILE_OK) return rc;
    savePositionMap(list, imagePath);
    return POS_FILE_OK;
}

bool parsePositionLine(std::string_view line, TxRect& rect, std::string& name) {
    const char* p = line.data();
    const char* end = p + line.size();
    int32_t v[4];
    for (int k = 0; k < 4; ++k) {
        if (!readInt(p, end, v[k])) return false;
        // Exactly one separator of any kind follows each number; the last one may be missing.
        if (p < end)
            ++p;
        else if (k < 3)
            return false;
    }
    rect = TxRect{v[0], v[1], v[2], v[3]};
    name.assign(p, end);
    name.resize(std::min(name.size(), name.find('\0')));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return true;
}

bool clampPositionRect(TxRect& r, int imageWidth, int imageHeight) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > imageWidth) r.right = imageWidth;
    if (r.bottom > imageHeight) r.bottom = imageHeight;
    return !r.empty();
}

int readPositionText(TxStream& s, PositionList& list, int imageWidth, int imageHeight) {
    int added = 0;
    const char* p = reinterpret_cast<const char*>(s.current());
    const char* end = p + s.remaining();
    while (p < end) {
        const char* nl = p;
        while (nl < end && *nl != '\n') ++nl;
        std::string_view line(p, size_t(nl - p));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        TxRect r;
        std::string name;
        if (parsePositionLine(line, r, name) &&
            appendClamped(list, r, name, imageWidth, imageHeight))
            ++added;
        p = nl < end ? nl + 1 : end;
    }
    s.skip(s.remaining());
    return added;
}

int readPositionTemp(TxStream& s, PositionList& list, int imageWidth, int imageHeight,
                     bool* complete) {
    int added = 0;
    bool ok = false;
    for (;;) {
        uint8_t len = 0;
        if (!s.u8(len)) break;  // a length byte is missing: file error
        if (len == 0xFF) {
            ok = true;
            break;
        }
        if (len & 0x80) break;
        std::string name(len, '\0');
        if (len && !s.readExact(name.data(), len)) break;
        uint32_t e[4];
        if (!s.le32(e[0]) || !s.le32(e[1]) || !s.le32(e[2]) || !s.le32(e[3])) break;
        name.resize(std::min(name.size(), name.find('\0')));
        const TxRect r{int32_t(e[0]), int32_t(e[1]), int32_t(e[2]), int32_t(e[3])};
        if (appendClamped(list, r, name, imageWidth, imageHeight)) ++added;
    }
    if (complete) *complete = ok;
    return added;
}

PositionLoadResult loadPositions(PositionList& list, const std::string& imagePath, int imageWidth,
                                 int imageHeight, const std::string& tmpDir) {
    PositionLoadResult res;
    if (!list.empty()) return res;
    PositionFileNames names;
    if (!positionFileNames(imagePath, names, tmpDir)) return res;
    const int w = imageWidth < 1 ? 1 : imageWidth;
    const int h = imageHeight < 1 ? 1 : imageHeight;
    std::error_code ec;
    const bool haveText = std::filesystem::exists(names.text, ec);
    if (!haveText && !std::filesystem::exists(names.temp, ec)) return res;
    res.source = haveText ? PositionSource::Text : PositionSource::Temp;
    res.path = haveText ? names.text : names.temp;
    std::vector<uint8_t> bytes;
    if (!txLoadFile(res.path, bytes, res.error)) {
        res.fileError = true;
        return res;
    }
    TxStream s(bytes.data(), bytes.size());
    if (haveText) {
        res.added = readPositionText(s, list, w, h);
    } else {
        bool complete = true;
        res.added = readPositionTemp(s, list, w, h, &complete);
        if (!complete) {
            res.fileError = true;
            res.error = "the file ends early or holds a bad name length";
        }
    }
    return res;
}
