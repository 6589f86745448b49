#include "tools/fontwizard/font_descriptor.h"

#include <algorithm>
#include <cstdio>

#include "tools/codegen/sheet_template.h"
#include "tools/fontwizard/char_select.h"

namespace {

int divRound(int v, int f) { return v >= 0 ? (v + f / 2) / f : -((-v + f / 2) / f); }

// The text form has no escapes: a quote inside a quoted value would end it early.
std::string quoted(std::string s) {
    for (char& c : s)
        if (c == '"') c = '\'';
    return "\"" + s + "\"";
}

void put8(std::vector<uint8_t>& b, int v) { b.push_back(uint8_t(v)); }
void put16(std::vector<uint8_t>& b, int v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(unsigned(v) >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
}

}  // namespace

FontDescriptor fontDescriptor(const FontLayout& L, const FontPreset& preset,
                              const std::vector<std::string>& pageFiles) {
    FontDescriptor d;
    const int f = L.factor();
    d.face = L.face.family;
    d.size = L.pixelHeight >> L.shift;
    d.bold = preset.fontStyle == 1 || preset.fontStyle == 3;
    d.italic = preset.fontStyle == 2 || preset.fontStyle == 3;
    d.aa = f;
    for (int& p : d.padding) p = L.padding;
    d.spacing[0] = d.spacing[1] = L.spacing;
    d.lineHeight = divRound(L.ascent + L.descent, f);
    d.base = divRound(L.ascent, f);
    d.scaleW = L.finalWidth();
    d.scaleH = L.finalHeight();
    d.pages = pageFiles;
    d.pages.resize(size_t(std::max(1, L.pageCount)));
    d.chars.reserve(L.glyphs.size());
    for (const FontGlyph& g : L.glyphs) {
        FontDescriptorChar c;
        c.id = g.unicode;
        c.x = g.box.left;
        c.y = g.box.top;
        c.width = g.box.width();
        c.height = g.box.height();
        c.xoffset = g.xOffset;
        c.yoffset = g.yOffset;
        c.xadvance = g.xAdvance;
        c.page = g.page;
        d.chars.push_back(c);
    }
    d.kernings = L.kerning;
    return d;
}

std::string fontDescriptorText(const FontDescriptor& d) {
    char buf[512];
    std::string out;
    std::snprintf(buf, sizeof buf,
                  "info face=%s size=%d bold=%d italic=%d charset=\"\" unicode=1 stretchH=100 "
                  "smooth=1 aa=%d padding=%d,%d,%d,%d spacing=%d,%d\n",
                  quoted(d.face).c_str(), d.size, d.bold, d.italic, d.aa, d.padding[0],
                  d.padding[1], d.padding[2], d.padding[3], d.spacing[0], d.spacing[1]);
    out += buf;
    std::snprintf(buf, sizeof buf,
                  "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=%d packed=0\n",
                  d.lineHeight, d.base, d.scaleW, d.scaleH, int(d.pages.size()));
    out += buf;
    for (size_t k = 0; k < d.pages.size(); ++k)
        out += "page id=" + std::to_string(k) + " file=" + quoted(d.pages[k]) + "\n";
    out += "chars count=" + std::to_string(d.chars.size()) + "\n";
    for (const FontDescriptorChar& c : d.chars) {
        std::snprintf(buf, sizeof buf,
                      "char id=%u x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%d "
                      "page=%d chnl=%d\n",
                      unsigned(c.id), c.x, c.y, c.width, c.height, c.xoffset, c.yoffset, c.xadvance,
                      c.page, c.chnl);
        out += buf;
    }
    if (!d.kernings.empty()) {
        out += "kernings count=" + std::to_string(d.kernings.size()) + "\n";
        for (const FontKerningPair& k : d.kernings) {
            std::snprintf(buf, sizeof buf, "kerning first=%u second=%u amount=%d\n",
                          unsigned(k.first), unsigned(k.second), k.amount);
            out += buf;
        }
    }
    return out;
}

std::string fontDescriptorXml(const FontDescriptor& d) {
    // The XML flavour is the code generator's built-in template, as every engine data file is.
    TemplateSheet sheet;
    for (size_t k = 0; k < d.pages.size(); ++k)
        sheet.pages.push_back({int(k), d.pages[k], d.scaleW, d.scaleH});
    for (const FontDescriptorChar& c : d.chars) {
        TemplateItem it;
        it.x = c.x;
        it.y = c.y;
        it.w = c.width;
        it.h = c.height;
        it.name = fontUtf8(std::u32string(1, char32_t(c.id)));
        it.page = c.page;
        it.codePoint = int(c.id);
        it.xoffset = c.xoffset;
        it.yoffset = c.yoffset;
        it.xadvance = c.xadvance;
        sheet.items.push_back(std::move(it));
    }
    for (const FontKerningPair& k : d.kernings)
        sheet.kernings.push_back({int(k.first), int(k.second), k.amount});
    sheet.font.face = d.face;
    sheet.font.size = d.size;
    sheet.font.bold = d.bold;
    sheet.font.italic = d.italic;
    sheet.font.lineHeight = d.lineHeight;
    sheet.font.base = d.base;
    for (int k = 0; k < 4; ++k) sheet.font.padding[k] = d.padding[k];
    sheet.font.spacing[0] = d.spacing[0];
    sheet.font.spacing[1] = d.spacing[1];
    SheetTemplate tmpl;
    TemplateError error;
    if (loadSheetTemplate("bmfont-xml", tmpl, error) != TEMPLATE_OK) return {};
    return renderSheetTemplate(tmpl, sheet);
}

bool fontDescriptorBinary(const FontDescriptor& d, std::vector<uint8_t>& out, std::string& error) {
    auto within = [&](long v, long lo, long hi, const char* what) {
        if (v >= lo && v <= hi) return true;
        error = std::string("the binary descriptor cannot hold ") + what + " " + std::to_string(v) +
                " (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
        return false;
    };
    if (!within(long(d.pages.size()), 1, 256, "a page count") ||
        !within(d.scaleW, 0, 65535, "a texture width") ||
        !within(d.scaleH, 0, 65535, "a texture height") ||
        !within(d.lineHeight, 0, 65535, "a line height") ||
        !within(d.size, -32768, 32767, "a font size") ||
        !within(d.padding[0], -128, 127, "a padding") ||
        !within(d.spacing[0], -128, 127, "a spacing"))
        return false;
    // Page names share one length, so a reader can step over them without a table.
    for (const std::string& p : d.pages)
        if (p.size() != d.pages[0].size() || p.find('\0') != std::string::npos) {
            error = "the binary descriptor needs page names of one length";
            return false;
        }
    for (const FontDescriptorChar& c : d.chars)
        if (!within(c.x, 0, 65535, "a glyph position") ||
            !within(c.y, 0, 65535, "a glyph position") ||
            !within(c.xoffset, -32768, 32767, "a glyph offset") ||
            !within(c.yoffset, -32768, 32767, "a glyph offset") ||
            !within(c.xadvance, -32768, 32767, "an advance"))
            return false;
    for (const FontKerningPair& k : d.kernings)
        if (!within(k.amount, -32768, 32767, "a kerning amount")) return false;

    std::vector<uint8_t>& b = out;
    b.clear();
    b.insert(b.end(), {'B', 'M', 'F', 3});
    auto block = [&](int type, size_t size) {
        put8(b, type);
        put32(b, uint32_t(size));
    };
    // Info: bit 7 of the bit field is "smooth", 6 "unicode", 5 "italic", 4 "bold".
    std::string face = d.face;
    face.erase(std::find(face.begin(), face.end(), '\0'), face.end());
    block(1, 14 + face.size() + 1);
    put16(b, d.size);
    put8(b, 0x80 | 0x40 | (d.italic ? 0x20 : 0) | (d.bold ? 0x10 : 0));
    put8(b, 0);     // charSet: none, the ids are Unicode
    put16(b, 100);  // stretchH
    put8(b, d.aa);
    for (int p : d.padding) put8(b, p);
    put8(b, d.spacing[0]);
    put8(b, d.spacing[1]);
    put8(b, 0);  // outline
    b.insert(b.end(), face.begin(), face.end());
    put8(b, 0);
    // Common: the glyph is in the alpha channel; red, green and blue are the text colour.
    block(2, 15);
    put16(b, d.lineHeight);
    put16(b, d.base);
    put16(b, d.scaleW);
    put16(b, d.scaleH);
    put16(b, int(d.pages.size()));
    put8(b, 0);  // not packed
    put8(b, 0);  // alpha: glyph
    put8(b, 4);  // red, green, blue: one
    put8(b, 4);
    put8(b, 4);
    block(3, d.pages.size() * (d.pages[0].size() + 1));
    for (const std::string& p : d.pages) {
        b.insert(b.end(), p.begin(), p.end());
        put8(b, 0);
    }
    block(4, d.chars.size() * 20);
    for (const FontDescriptorChar& c : d.chars) {
        put32(b, c.id);
        put16(b, c.x);
        put16(b, c.y);
        put16(b, c.width);
        put16(b, c.height);
        put16(b, c.xoffset);
        put16(b, c.yoffset);
        put16(b, c.xadvance);
        put8(b, c.page);
        put8(b, c.chnl);
    }
    if (!d.kernings.empty()) {
        block(5, d.kernings.size() * 10);
        for (const FontKerningPair& k : d.kernings) {
            put32(b, k.first);
            put32(b, k.second);
            put16(b, k.amount);
        }
    }
    return true;
}

std::string fontDescriptorText(const FontLayout& layout, const FontPreset& preset,
                               const std::string& pageFile) {
    return fontDescriptorText(fontDescriptor(layout, preset, {pageFile}));
}
