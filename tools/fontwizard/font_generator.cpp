#include "tools/fontwizard/font_generator.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "tools/fontwizard/char_select.h"

const char* const kFontMsgFixedCell = "invalid cell size!\nTry to use other settings";
const char* const kFontMsgInvalidCell = "Error, invalid cellsize. Try other options";
const char* const kFontMsgNewDocument = "Create NewDocument failed";
const char* const kFontMsgTooLarge = "Error, the texture would be too large. Try other options";
const char* const kFontMsgOutOfMemory = "Out of Memory";

namespace {

// Beyond this em height no cell can fit any texture; FreeType is not asked for it.
constexpr int kMaxPixelHeight = 16384;

int roundUp(int v, int f) { return (v + f - 1) / f * f; }

// Division rounded to the nearest integer, halves away from zero.
int divRound(int v, int f) { return v >= 0 ? (v + f / 2) / f : -((-v + f / 2) / f); }

// 0x00BBGGRR to the red, green and blue of a pixel word.
uint32_t rgbOf(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

bool validOrigin(int origin) { return origin >= 0 && origin <= 10 && (origin & 3) != 3; }

}  // namespace

int fontRender(const FontPreset& preset, FontLayout& L, std::string& message, bool withKerning) {
    L = FontLayout{};
    FontPreset p = preset;
    const bool variable = p.pitch == 1;
    if (variable) p.autoCell = 1;
    L.shift = p.antialias == 1 ? 1 : p.antialias == 2 ? 2 : 0;
    const int f = L.factor();
    L.texW = (p.textureWidth == 1 ? 512 : 256) << L.shift;

    auto fail = [&](int status, std::string text) {
        L.status = status;
        message = std::move(text);
        L.coverage.clear();
        L.glyphs.clear();
        return status;
    };

    if (p.autoCell == 0 &&
        (p.cellWidth < 2 || p.cellWidth > 256 || p.cellHeight < 2 || p.cellHeight > 512))
        return fail(FONT_GEN_FIXED_CELL, kFontMsgFixedCell);

    // The wizard's font page turns sizes of 0 or less into 10 and unknown styles into regular.
    const int size = p.fontSize <= 0 ? 10 : p.fontSize;
    const int style = p.fontStyle >= 0 && p.fontStyle <= 3 ? p.fontStyle : 0;
    const int64_t pixel = (int64_t(size) * kFontDpiY / 72) << L.shift;
    if (pixel < 1 || pixel > kMaxPixelHeight)
        return fail(FONT_GEN_INVALID_CELL, kFontMsgInvalidCell);

    std::string why;
    if (!fontFindFace(p.fontName, style, L.face, &why))
        return fail(FONT_GEN_NO_FONT, "No outline font for \"" + p.fontName + "\": " + why);
    FontFace face;
    if (!face.open(L.face, int(pixel), &why))
        return fail(FONT_GEN_NO_FONT, "Font \"" + L.face.family + "\" cannot be used: " + why);
    L.pixelHeight = int(pixel);
    L.ascent = face.ascent();
    L.descent = face.descent();

    const std::vector<int> codes = fontSelectCharacters(p.char8 != 0, p.filter, p.userChars);
    const int n = int(codes.size());

    // Each character is measured as a line of its own: its advance and the face's line height.
    std::vector<int> advances(codes.size());
    int maxAdvance = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        advances[i] = std::max(0, face.advance(fontCp1252ToUnicode(codes[i])));
        maxAdvance = std::max(maxAdvance, advances[i]);
    }
    const int lineHeight = L.ascent + L.descent;

    // Margins are final pixels like the fixed cells; measured cells are rounded up to whole final
    // pixels so every cell of the final texture starts on a pixel of its own.
    const int64_t marginX = variable ? int64_t(std::max(0, p.marginX)) << L.shift : 0;
    const int64_t marginY = variable ? int64_t(std::max(0, p.marginY)) << L.shift : 0;
    int64_t cellW, cellH;
    if (p.autoCell != 0) {
        cellW = roundUp(int(std::min<int64_t>(maxAdvance + marginX, 1 << 24)), f);
        cellH = roundUp(int(std::min<int64_t>(lineHeight + marginY, 1 << 24)), f);
    } else {
        cellW = int64_t(std::max(1, p.cellWidth)) << L.shift;
        cellH = int64_t(std::max(1, p.cellHeight)) << L.shift;
    }
    // No character, or a cell that no row can hold, leaves nothing to lay out.
    if (cellW < 1 || cellH < 1 || n == 0 || cellW > L.texW)
        return fail(FONT_GEN_INVALID_CELL, kFontMsgInvalidCell);
    L.cellW = int(cellW);
    L.cellH = int(cellH);

    const int perRow = L.texW / L.cellW;
    const int rows = n / perRow + (perRow * (n / perRow) < n ? 1 : 0);
    const int64_t texH = int64_t(rows) * L.cellH;
    if (!txSizeAllowed(L.texW, texH) || int64_t(L.texW) * texH * 4 > TX_MAX_PIXEL_BYTES)
        return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
    L.texH = int(texH);
    try {
        L.coverage.assign(size_t(L.texW) * size_t(L.texH), 0);
        L.glyphs.reserve(codes.size());
    } catch (const std::bad_alloc&) {
        return fail(FONT_GEN_NO_MEMORY, kFontMsgOutOfMemory);
    }

    // The centred origins put the top of the line vOff below the cell's top.
    const int vOff = (L.cellH >> 1) - ((kFontDpiY * L.ascent / 72) >> 1);
    const bool draw = validOrigin(p.origin);
    const int h = p.origin & 3, v = (p.origin >> 2) & 3;

    TxRect r{0, 0, L.cellW, L.cellH};
    for (size_t i = 0; i < codes.size(); ++i) {
        int w = L.cellW;
        if (variable) w = roundUp(int(std::min<int64_t>(advances[i] + marginX, L.texW)), f);
        // Wrap before a cell that would reach past the right edge (with variable widths the
        // following character may be wider than the current one).
        if (r.left > 0 && r.left + w > L.texW) {
            r.left = 0;
            r.top += L.cellH;
        }
        r.right = r.left + w;
        r.bottom = r.top + L.cellH;

        FontGlyph g;
        g.code = codes[i];
        g.unicode = fontCp1252ToUnicode(codes[i]);
        g.cell = r;
        g.advance = advances[i];
        const int mid = r.left + ((r.right - r.left) >> 1);
        const int refX = h == 0 ? r.left : h == 1 ? mid : r.right;
        const int refY = v == 0 ? r.top : v == 1 ? r.top + vOff : r.bottom;
        g.penX = h == 0 ? refX : h == 1 ? refX - g.advance / 2 : refX - g.advance;
        g.baseline = v == 2 ? refY - L.descent : refY + L.ascent;
        if (draw) {
            TxRect clip{std::max(0, r.left), std::max(0, r.top), std::min(L.texW, r.right),
                        std::min(L.texH, r.bottom)};
            FontGlyphImage img;
            if (!clip.empty() && face.render(g.unicode, img))
                fontBlitGlyph(img, g.penX, g.baseline, clip, L.coverage.data(), L.texW);
        }
        L.glyphs.push_back(g);
        r.left = r.right;
    }

    if (withKerning && face.hasKerning() && face.unitsPerEm() > 0) {
        const int em = L.pixelHeight >> L.shift;
        for (int a : codes)
            for (int b : codes) {
                const uint32_t ua = fontCp1252ToUnicode(a), ub = fontCp1252ToUnicode(b);
                const int units = face.kerningUnits(ua, ub);
                if (units == 0) continue;
                const int amount = divRound(int(int64_t(units) * em * 64 / face.unitsPerEm()), 64);
                if (amount != 0) L.kerning.push_back({ua, ub, amount});
            }
    }
    L.status = FONT_GEN_OK;
    message.clear();
    return FONT_GEN_OK;
}

void fontCoverageToPixels(const uint8_t* coverage, size_t n, uint32_t textColor, uint32_t backColor,
                          uint32_t* pixels) {
    const uint32_t fg = rgbOf(textColor), bg = rgbOf(backColor);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = coverage[i];
        pixels[i] = c == 0 ? bg : (c << 24) | fg;
    }
}

void fontRecolour(uint32_t* pixels, size_t n, uint32_t textColor) {
    const uint32_t fg = rgbOf(textColor);
    for (size_t i = 0; i < n; ++i)
        if (pixels[i] & 0xFF000000u) pixels[i] = (pixels[i] & 0xFF000000u) | fg;
}

PositionList fontPositionItems(const FontLayout& L) {
    PositionList list;
    for (const FontGlyph& g : L.glyphs) {
        const TxRect r{g.cell.left >> L.shift, g.cell.top >> L.shift, g.cell.right >> L.shift,
                       g.cell.bottom >> L.shift};
        list.append(r, std::string(1, char(g.code)));
    }
    return list;
}

std::string fontDescriptorText(const FontLayout& L, const FontPreset& preset,
                               const std::string& pageFile) {
    const int f = L.factor();
    const bool bold = preset.fontStyle == 1 || preset.fontStyle == 3;
    const bool italic = preset.fontStyle == 2 || preset.fontStyle == 3;
    std::string face = L.face.family;
    for (char& c : face)
        if (c == '"') c = '\'';
    std::string page = pageFile;
    for (char& c : page)
        if (c == '"') c = '\'';
    char buf[512];
    std::string out;
    std::snprintf(buf, sizeof buf,
                  "info face=\"%s\" size=%d bold=%d italic=%d charset=\"\" unicode=1 stretchH=100 "
                  "smooth=1 aa=%d padding=0,0,0,0 spacing=0,0\n",
                  face.c_str(), L.pixelHeight >> L.shift, bold, italic, f);
    out += buf;
    std::snprintf(
        buf, sizeof buf, "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0\n",
        divRound(L.ascent + L.descent, f), divRound(L.ascent, f), L.finalWidth(), L.finalHeight());
    out += buf;
    out += "page id=0 file=\"" + page + "\"\n";
    out += "chars count=" + std::to_string(L.glyphs.size()) + "\n";
    for (const FontGlyph& g : L.glyphs) {
        const int x = g.cell.left >> L.shift, y = g.cell.top >> L.shift;
        const int w = (g.cell.right >> L.shift) - x, hgt = (g.cell.bottom >> L.shift) - y;
        // The cell is drawn at the pen position plus these offsets, relative to the line's top.
        const int xoff = divRound(g.cell.left - g.penX, f);
        const int yoff = divRound(g.cell.top - (g.baseline - L.ascent), f);
        std::snprintf(buf, sizeof buf,
                      "char id=%u x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%d "
                      "page=0 chnl=15\n",
                      unsigned(g.unicode), x, y, w, hgt, xoff, yoff, divRound(g.advance, f));
        out += buf;
    }
    if (!L.kerning.empty()) {
        out += "kernings count=" + std::to_string(L.kerning.size()) + "\n";
        for (const FontKerningPair& k : L.kerning) {
            std::snprintf(buf, sizeof buf, "kerning first=%u second=%u amount=%d\n",
                          unsigned(k.first), unsigned(k.second), k.amount);
            out += buf;
        }
    }
    return out;
}
