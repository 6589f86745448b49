#include "tools/pack/pack_data.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool packTemplateTurn(const std::string& nameOrFile, const std::string& fileRead, PackTurn& turn) {
    turn = PackTurn::Clockwise;
    std::string text;
    if (const BuiltinTemplate* b = findBuiltinTemplate(nameOrFile); b && fileRead.empty()) {
        text = b->text;
        // libGDX (and Spine, which reads the same atlas) turns regions counter-clockwise.
        if (nameOrFile == "libgdx") turn = PackTurn::CounterClockwise;
    } else {
        if (FILE* f = std::fopen(fileRead.c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
            std::fclose(f);
        }
    }
    return text.find("rotated") != std::string::npos;
}

bool packTemplateHasPages(const SheetTemplate& t) {
    for (const TemplateBlock& b : t.blocks)
        if (b.kind == TemplateBlock::Page) return true;
    return false;
}

TemplateSheet packTemplateSheet(const PackResult& r, int first, int last,
                                const std::function<std::string(int page)>& pageFile) {
    TemplateSheet s;
    for (int p = first; p < last; ++p)
        s.pages.push_back(
            TemplatePage{p, pageFile(p), r.pages[size_t(p)].width, r.pages[size_t(p)].height});
    for (const PackedSprite& sp : r.sprites) {
        if (sp.page < first || sp.page >= last) continue;
        TemplateItem it;
        it.x = sp.rect.left;
        it.y = sp.rect.top;
        it.w = sp.rect.width();
        it.h = sp.rect.height();
        it.name = sp.name;
        it.rotated = sp.rotated;
        if (sp.trimmed) {
            it.sourceW = sp.sourceWidth;
            it.sourceH = sp.sourceHeight;
            it.trimX = sp.offsetX;
            it.trimY = sp.offsetY;
        }
        it.page = sp.page;
        s.items.push_back(std::move(it));
    }
    return s;
}

std::string packRelativePath(const std::string& file, const std::string& dataPath) {
    std::error_code ec;
    const fs::path a = fs::absolute(file, ec), dir = fs::absolute(dataPath, ec).parent_path();
    const fs::path rel = a.lexically_relative(dir);
    return rel.empty() ? fs::path(file).filename().string() : rel.generic_string();
}
