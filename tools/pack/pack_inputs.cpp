#include "tools/pack/pack_inputs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "model/document_types.h"
#include "model/numbered_path.h"

namespace fs = std::filesystem;

bool packImageExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext.empty()) return false;
    if (ext == ".jpeg") return true;
    for (const DocumentType& t : documentTypes())
        if (ext == t.extension) return true;
    return false;
}

namespace {

struct Wanted {
    std::string path;
    std::string name;
};

std::string withoutExtension(const std::string& rel) {
    const fs::path p(rel);
    const std::string parent = p.parent_path().generic_string();
    return (parent.empty() ? std::string() : parent + "/") + p.stem().string();
}

bool readSprites(const Wanted& w, PackInputs& out, const uint32_t* palette) {
    Frame f;
    if (f.load(w.path, palette) != FE_OK) {
        out.error = w.path + ": " + (f.loadError().empty() ? "cannot be read" : f.loadError());
        return false;
    }
    out.filesRead.push_back(w.path);
    const int frames = std::max(f.loadedFrameCount(), 1);
    const int width = f.width(), height = f.height() / frames;
    const uint32_t* px = f.pixels();
    if (!px || width < 1 || height < 1) {
        out.error = w.path + ": holds no pixels";
        return false;
    }
    const int digits = frames > 1000 ? int(std::to_string(frames - 1).size()) : 3;
    for (int i = 0; i < frames; ++i) {
        PackSprite s;
        s.file = w.path;
        s.name = w.name;
        if (frames > 1) {
            char num[16];
            std::snprintf(num, sizeof num, "_%0*d", digits, i);
            s.name += num;
        }
        s.width = width;
        s.height = height;
        const uint32_t* first = px + size_t(i) * size_t(height) * size_t(width);
        s.pixels.assign(first, first + size_t(width) * size_t(height));
        out.sprites.push_back(std::move(s));
    }
    return true;
}

}  // namespace

bool collectPackInputs(const std::vector<std::string>& inputs, PackInputs& out,
                       const uint32_t* palette, Progress* progress) {
    std::vector<Wanted> wanted;
    for (const std::string& in : inputs) {
        std::error_code ec;
        const fs::file_status st = fs::status(in, ec);
        if (fs::is_directory(st)) {
            std::vector<Wanted> found;
            std::vector<std::string> folders = {in};
            fs::recursive_directory_iterator it(in, fs::directory_options::none, ec), end;
            for (; !ec && it != end; it.increment(ec)) {
                const std::string leaf = it->path().filename().string();
                // Hidden files and folders are no sprites (editor backups, system files).
                if (!leaf.empty() && leaf[0] == '.') {
                    if (it->is_directory(ec)) it.disable_recursion_pending();
                    continue;
                }
                if (it->is_directory(ec)) folders.push_back(it->path().string());
                if (!it->is_regular_file(ec) || !packImageExtension(leaf)) continue;
                const std::string rel = it->path().lexically_relative(in).generic_string();
                found.push_back(Wanted{it->path().string(), withoutExtension(rel)});
            }
            if (ec) {
                out.error = in + ": " + ec.message();
                return false;
            }
            // The listing order of the file system must not matter.
            std::sort(found.begin(), found.end(),
                      [](const Wanted& a, const Wanted& b) { return a.name < b.name; });
            wanted.insert(wanted.end(), found.begin(), found.end());
            std::sort(folders.begin(), folders.end());
            out.foldersRead.insert(out.foldersRead.end(), folders.begin(), folders.end());
            continue;
        }
        if (!fs::exists(st)) {
            out.error = in + ": no such file or folder";
            return false;
        }
        NumberedPath p(in);
        if (p.hasNumber() && p.extension != ".spr" && p.extension != ".SPR") {
            const int first = p.number;
            for (;;) {
                const std::string file = p.fullPath();
                if (!fs::exists(file, ec)) break;
                wanted.push_back(Wanted{file, p.name});
                p.setNumber(p.number + 1, p.digitCount);
                if (p.number == first) break;
            }
            continue;
        }
        wanted.push_back(Wanted{in, fs::path(in).stem().string()});
    }
    if (progress) progress->begin(int(std::min<size_t>(wanted.size(), 1u << 30)));
    std::set<std::string> seen;
    bool ok = true;
    for (const Wanted& w : wanted) {
        std::error_code ec;
        const std::string key = fs::weakly_canonical(w.path, ec).string();
        if (seen.insert(ec ? w.path : key).second && !readSprites(w, out, palette)) {
            ok = false;
            break;
        }
        if (progress) progress->step();
    }
    if (progress) progress->end();
    return ok;
}
