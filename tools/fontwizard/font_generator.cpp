#include "tools/fontwizard/font_generator.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "texlib/resample.h"
#include "tools/fontwizard/char_select.h"
#include "tools/poslist/arrange.h"

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

int floorDiv(int v, int f) { return v >= 0 ? v / f : -((-v + f - 1) / f); }
int ceilDiv(int v, int f) { return -floorDiv(-v, f); }

// The face's kerning between the characters, in the order of the set (first, then second).
// Pairs are looked up only where the face's kerning table names one, so large sets stay fast.
void collectKerning(FontFace& face, const std::vector<uint32_t>& cps, FontLayout& L) {
    if (!face.hasKerning() || face.unitsPerEm() <= 0) return;
    const int em = L.pixelHeight >> L.shift;
    auto add = [&](uint32_t a, uint32_t b) {
        const int units = face.kerningUnits(a, b);
        if (units == 0) return;
        const int amount = divRound(int(int64_t(units) * em * 64 / face.unitsPerEm()), 64);
        if (amount != 0) L.kerning.push_back({a, b, amount});
    };
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    if (face.kerningPairs(cps, pairs)) {
        for (const auto& [a, b] : pairs) add(cps[a], cps[b]);
        return;
    }
    // Without a table to read, every pair is asked for; beyond a few thousand characters that
    // would take longer than the rest of the run.
    if (cps.size() > 4096) return;
    for (uint32_t a : cps)
        for (uint32_t b : cps) add(a, b);
}

}  // namespace

int fontRender(const FontPreset& preset, FontLayout& L, std::string& message, bool withKerning) {
    FontTextureOptions o;
    o.kerning = withKerning;
    return fontRender(preset, o, L, message);
}

int fontRender(const FontPreset& preset, const FontTextureOptions& o, FontLayout& L,
               std::string& message) {
    L = FontLayout{};
    FontPreset p = preset;
    const bool variable = p.pitch == 1;
    const bool packed = o.layout == FONT_LAYOUT_MAXRECTS;
    if (variable) p.autoCell = 1;
    const int sdf = std::max(0, o.sdfSpread);
    // Distance fields are smooth already; enlarging would only scale the spread.
    L.shift = sdf > 0 ? 0 : p.antialias == 1 ? 1 : p.antialias == 2 ? 2 : 0;
    const int f = L.factor();
    const int width = o.width > 0 ? o.width : p.textureWidth == 1 ? 512 : 256;
    L.layout = packed ? FONT_LAYOUT_MAXRECTS : FONT_LAYOUT_CELLS;
    L.padding = packed ? std::max(0, o.padding) : 0;
    L.spacing = packed ? std::max(0, o.spacing) : 0;
    L.sdfSpread = sdf;
    const int maxPages = std::max(1, o.maxPages);

    auto fail = [&](int status, std::string text) {
        L.status = status;
        message = std::move(text);
        L.coverage.clear();
        L.glyphs.clear();
        return status;
    };
    if (int64_t(width) << L.shift > TX_MAX_SIDE) return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
    L.texW = width << L.shift;

    if (!packed && p.autoCell == 0 &&
        (p.cellWidth < 2 || p.cellWidth > 256 || p.cellHeight < 2 || p.cellHeight > 512))
        return fail(FONT_GEN_FIXED_CELL, kFontMsgFixedCell);

    // The wizard's font page turns sizes of 0 or less into 10 and unknown styles into regular.
    const int size = p.fontSize <= 0 ? 10 : p.fontSize;
    const int style = p.fontStyle >= 0 && p.fontStyle <= 3 ? p.fontStyle : 0;
    const int64_t pixel = (int64_t(size) * kFontDpiY / 72) << L.shift;
    if (pixel < 1 || pixel > kMaxPixelHeight)
        return fail(FONT_GEN_INVALID_CELL, kFontMsgInvalidCell);

    std::string why;
    if (!p.fontFile.empty()) {
        if (!fontFaceFromFile(p.fontFile, p.faceIndex, style, L.face, &why))
            return fail(FONT_GEN_NO_FONT, why);
    } else if (!fontFindFace(p.fontName, style, L.face, &why)) {
        return fail(FONT_GEN_NO_FONT, "No outline font for \"" + p.fontName + "\": " + why);
    }
    FontFace face;
    if (!face.open(L.face, int(pixel), &why))
        return fail(FONT_GEN_NO_FONT, "Font \"" + L.face.family + "\" cannot be used: " + why);
    L.pixelHeight = int(pixel);
    L.ascent = face.ascent();
    L.descent = face.descent();

    // A Unicode set leaves out what the face lacks; the preset's 8-bit codes keep their cells as
    // the wizard always laid them out, and only its characters beyond the code page are dropped.
    const bool unicodeSet = !o.codePoints.empty();
    const std::vector<uint32_t> wanted =
        unicodeSet ? o.codePoints
                   : fontSelectCodePoints(p.char8 != 0, p.filter, p.userChars, p.userCharsWide);
    std::vector<uint32_t> cps;
    std::vector<int> codes;
    cps.reserve(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        const uint32_t cp = wanted[i];
        const auto code = fontUnicodeToCp1252(cp);
        const bool control = cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
        if (!face.hasGlyph(cp)) {
            const bool keep = !unicodeSet && code;
            if (!control) (keep ? L.missingDrawn : L.missing).push_back(cp);
            if (!keep) continue;
        }
        cps.push_back(cp);
        // The preset's codes are the 8-bit ones selected (0x81 stands for itself, not U+0081).
        codes.push_back(code ? *code : -1);
    }
    if (!unicodeSet) {
        const std::vector<int> eight = fontSelectCharacters(p.char8 != 0, p.filter, p.userChars);
        for (size_t i = 0; i < eight.size() && i < codes.size(); ++i) codes[i] = eight[i];
    }
    if (cps.empty() && !wanted.empty() && !L.missing.empty())
        return fail(FONT_GEN_NO_GLYPHS, "None of the " + std::to_string(wanted.size()) +
                                            " characters has a glyph in " + L.face.family);
    const int n = int(cps.size());

    // Each character is measured as a line of its own: its advance and the face's line height.
    std::vector<int> advances(cps.size());
    int maxAdvance = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        advances[i] = std::max(0, face.advance(cps[i]));
        maxAdvance = std::max(maxAdvance, advances[i]);
    }
    const int lineHeight = L.ascent + L.descent;

    auto newGlyph = [&](size_t i) {
        FontGlyph g;
        g.code = codes[i];
        g.unicode = cps[i];
        g.advance = advances[i];
        g.xAdvance = divRound(g.advance, f);
        return g;
    };
    const int64_t pageH = o.height > 0 ? int64_t(o.height) << L.shift : 0;
    // The final height of the pages: fixed, or the used height (a power of two when asked).
    auto finalHeight = [&](int64_t used) {
        if (pageH > 0) return pageH;
        int64_t h = (used + f - 1) / f;
        if (o.powerOfTwo) {
            int64_t pot = 1;
            while (pot < h) pot <<= 1;
            h = pot;
        }
        return h << L.shift;
    };
    auto allocate = [&]() {
        if (!txSizeAllowed(L.texW, L.texH) ||
            int64_t(L.texW) * L.texH * 4 * L.pageCount > TX_MAX_PIXEL_BYTES)
            return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
        try {
            L.coverage.assign(size_t(L.texW) * size_t(L.texH) * size_t(L.pageCount), 0);
        } catch (const std::bad_alloc&) {
            return fail(FONT_GEN_NO_MEMORY, kFontMsgOutOfMemory);
        }
        return int(FONT_GEN_OK);
    };
    auto noRoom = [&](int left) {
        L.leftOver = left;
        return fail(FONT_GEN_NO_ROOM, std::to_string(left) + " of " + std::to_string(n) +
                                          " glyphs were left: " + std::to_string(maxPages) +
                                          (maxPages == 1 ? " page" : " pages") + " of " +
                                          std::to_string(width) + " x " +
                                          std::to_string(pageH >> L.shift) + " cannot hold them");
    };

    if (!packed) {
        // Margins are final pixels like the fixed cells; measured cells are rounded up to whole
        // final pixels so every cell of the final texture starts on a pixel of its own.
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
        // A distance field reaches past the outline on every side: the cell grows to hold it.
        cellW += 2 * sdf;
        cellH += 2 * sdf;
        // No character, or a cell that no row can hold, leaves nothing to lay out.
        if (cellW < 1 || cellH < 1 || n == 0 || cellW > L.texW || (pageH > 0 && cellH > pageH))
            return fail(FONT_GEN_INVALID_CELL, kFontMsgInvalidCell);
        L.cellW = int(cellW);
        L.cellH = int(cellH);
        // Fixed cells narrower or lower than the measured cell cut glyphs off on that side.
        bool shortW = false, shortH = false;
        if (p.autoCell == 0) {
            const int needW = roundUp(int(std::min<int64_t>(maxAdvance, 1 << 24)), f);
            const int needH = roundUp(int(std::min<int64_t>(lineHeight, 1 << 24)), f);
            L.neededCellW = needW >> L.shift;
            L.neededCellH = needH >> L.shift;
            shortW = L.cellW - 2 * sdf < needW;
            shortH = L.cellH - 2 * sdf < needH;
        }

        const int perRow = L.texW / L.cellW;
        const int rows = n / perRow + (perRow * (n / perRow) < n ? 1 : 0);
        const int64_t texH = finalHeight(int64_t(rows) * L.cellH);
        if (texH > TX_MAX_SIDE) return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
        L.texH = int(texH);

        // Placement first: the page count decides the size of the coverage.
        try {
            L.glyphs.reserve(cps.size());
        } catch (const std::bad_alloc&) {
            return fail(FONT_GEN_NO_MEMORY, kFontMsgOutOfMemory);
        }
        TxRect r{0, 0, L.cellW, L.cellH};
        int page = 0;
        for (size_t i = 0; i < cps.size(); ++i) {
            int w = L.cellW;
            if (variable)
                w = roundUp(int(std::min<int64_t>(advances[i] + marginX, L.texW)), f) + 2 * sdf;
            // Wrap before a cell that would reach past the right edge (with variable widths the
            // following character may be wider than the current one).
            if (r.left > 0 && r.left + w > L.texW) {
                r.left = 0;
                r.top += L.cellH;
            }
            if (pageH > 0 && r.top + L.cellH > pageH) {
                ++page;
                r.left = r.top = 0;
            }
            if (page >= maxPages) return noRoom(n - int(i));
            r.right = r.left + w;
            r.bottom = r.top + L.cellH;
            FontGlyph g = newGlyph(i);
            g.cell = r;
            g.page = page;
            L.glyphs.push_back(g);
            r.left = r.right;
        }
        L.pageCount = page + 1;
        if (const int st = allocate(); st != FONT_GEN_OK) return st;

        // The centred origins put the top of the line vOff below the cell's top.
        const int vOff = ((L.cellH - 2 * sdf) >> 1) - ((kFontDpiY * L.ascent / 72) >> 1);
        const bool draw = validOrigin(p.origin);
        const int h = p.origin & 3, v = (p.origin >> 2) & 3;
        for (FontGlyph& g : L.glyphs) {
            // The glyph is placed in the cell less the distance field's reach.
            const TxRect in{g.cell.left + sdf, g.cell.top + sdf, g.cell.right - sdf,
                            g.cell.bottom - sdf};
            const int mid = in.left + ((in.right - in.left) >> 1);
            const int refX = h == 0 ? in.left : h == 1 ? mid : in.right;
            const int refY = v == 0 ? in.top : v == 1 ? in.top + vOff : in.bottom;
            g.penX = h == 0 ? refX : h == 1 ? refX - g.advance / 2 : refX - g.advance;
            g.baseline = v == 2 ? refY - L.descent : refY + L.ascent;
            TxRect ink{};
            if (draw) {
                TxRect clip{std::max(0, g.cell.left), std::max(0, g.cell.top),
                            std::min(L.texW, g.cell.right), std::min(L.texH, g.cell.bottom)};
                FontGlyphImage img;
                if (!clip.empty() && face.render(g.unicode, img, sdf) && img.width > 0 &&
                    img.height > 0) {
                    uint8_t* surface =
                        L.coverage.data() + size_t(g.page) * size_t(L.texW) * size_t(L.texH);
                    fontBlitGlyph(img, g.penX, g.baseline, clip, surface, L.texW);
                    const int x0 = g.penX + img.left, y0 = g.baseline - img.top;
                    if ((shortW && (x0 < clip.left || x0 + img.width > clip.right)) ||
                        (shortH && (y0 < clip.top || y0 + img.height > clip.bottom)))
                        L.clipped.push_back(g.unicode);
                    ink = {std::max(clip.left, x0), std::max(clip.top, y0),
                           std::min(clip.right, x0 + img.width),
                           std::min(clip.bottom, y0 + img.height)};
                    if (ink.empty()) ink = {};
                }
            }
            // The descriptor's rectangle is the drawn ink, in whole final pixels.
            if (!ink.empty()) {
                g.box = {ink.left >> L.shift, ink.top >> L.shift, (ink.right + f - 1) >> L.shift,
                         (ink.bottom + f - 1) >> L.shift};
            } else {
                g.box = {g.cell.left >> L.shift, g.cell.top >> L.shift, g.cell.left >> L.shift,
                         g.cell.top >> L.shift};
            }
            g.xOffset = ink.empty() ? 0 : divRound((g.box.left << L.shift) - g.penX, f);
            g.yOffset =
                ink.empty() ? 0 : divRound((g.box.top << L.shift) - (g.baseline - L.ascent), f);
        }
    } else {
        // Every glyph is drawn once on its own; its ink box, in whole final pixels around a pen
        // on a final pixel, is what gets packed.
        struct Bitmap {
            int w = 0, h = 0, left = 0, top = 0;
            std::vector<uint8_t> px;
            TxRect box;  // final pixels relative to the pen on the baseline
        };
        if (n == 0) return fail(FONT_GEN_INVALID_CELL, kFontMsgInvalidCell);
        std::vector<Bitmap> bitmaps(cps.size());
        int64_t bytes = 0;
        std::vector<PositionItem> items;
        const int pad = L.padding;
        for (size_t i = 0; i < cps.size(); ++i) {
            FontGlyphImage img;
            Bitmap& b = bitmaps[i];
            if (!face.render(cps[i], img, sdf) || img.width <= 0 || img.height <= 0) continue;
            bytes += int64_t(img.width) * img.height;
            if (bytes > TX_MAX_PIXEL_BYTES) return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
            b.w = img.width;
            b.h = img.height;
            b.left = img.left;
            b.top = img.top;
            b.px.resize(size_t(b.w) * size_t(b.h));
            for (int y = 0; y < b.h; ++y)
                std::copy_n(img.rows + ptrdiff_t(y) * img.pitch, b.w,
                            b.px.data() + size_t(y) * size_t(b.w));
            b.box = {floorDiv(b.left, f), floorDiv(-b.top, f), ceilDiv(b.left + b.w, f),
                     ceilDiv(b.h - b.top, f)};
            items.emplace_back(TxRect{0, 0, b.box.width() + 2 * pad, b.box.height() + 2 * pad},
                               std::to_string(i));
        }
        // The pages are filled in turn, the largest glyphs first: each takes as many of the
        // remaining glyphs as MaxRects can place on it.
        std::stable_sort(items.begin(), items.end(),
                         [](const PositionItem& a, const PositionItem& b) {
                             return int64_t(a.rect.height()) * a.rect.width() >
                                    int64_t(b.rect.height()) * b.rect.width();
                         });
        std::vector<std::vector<PositionItem>> pages;
        int64_t usedH = 0;
        size_t done = 0;
        while (done < items.size()) {
            if (int(pages.size()) >= maxPages) return noRoom(int(items.size() - done));
            const std::vector<PositionItem> rest(items.begin() + ptrdiff_t(done), items.end());
            std::vector<PositionItem> placed;
            int64_t cw = 0, ch = 0;
            auto tryCount = [&](size_t k) {
                placed.clear();
                const std::vector<PositionItem> some(rest.begin(), rest.begin() + ptrdiff_t(k));
                return packMaxRects(some, width, int(pageH >> L.shift), L.spacing, placed, cw, ch);
            };
            size_t take = rest.size();
            if (!tryCount(take)) {
                if (pageH == 0) return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
                // The largest count that fits, by bisection; a glyph larger than the page fits
                // never.
                size_t lo = 0, hi = rest.size();
                while (hi - lo > 1) {
                    const size_t mid = lo + (hi - lo) / 2;
                    (tryCount(mid) ? lo : hi) = mid;
                }
                if (lo == 0) {
                    const PositionItem& big = rest.front();
                    const size_t gi = size_t(std::stoul(big.name));
                    return fail(FONT_GEN_NO_ROOM, "the glyph " + fontCodePointText(cps[gi]) + " (" +
                                                      std::to_string(big.rect.width()) + " x " +
                                                      std::to_string(big.rect.height()) +
                                                      " pixels) is larger than a page of " +
                                                      std::to_string(width) + " x " +
                                                      std::to_string(pageH >> L.shift));
                }
                take = lo;
                tryCount(take);
            }
            usedH = std::max(usedH, ch);
            pages.push_back(placed);
            done += take;
        }
        if (pages.empty()) pages.emplace_back();
        L.pageCount = int(pages.size());
        const int64_t texH = finalHeight(std::max<int64_t>(1, usedH) << L.shift);
        if (texH > TX_MAX_SIDE) return fail(FONT_GEN_TOO_LARGE, kFontMsgTooLarge);
        L.texH = int(texH);
        if (const int st = allocate(); st != FONT_GEN_OK) return st;

        L.glyphs.resize(cps.size());
        for (size_t i = 0; i < cps.size(); ++i) L.glyphs[i] = newGlyph(i);
        for (size_t pg = 0; pg < pages.size(); ++pg)
            for (const PositionItem& it : pages[pg]) {
                const size_t i = size_t(std::stoul(it.name));
                const Bitmap& b = bitmaps[i];
                FontGlyph& g = L.glyphs[i];
                g.page = int(pg);
                g.cell = {it.rect.left << L.shift, it.rect.top << L.shift, it.rect.right << L.shift,
                          it.rect.bottom << L.shift};
                g.box = it.rect;
                g.penX = (it.rect.left + pad - b.box.left) << L.shift;
                g.baseline = (it.rect.top + pad - b.box.top) << L.shift;
                g.xOffset = b.box.left - pad;
                g.yOffset = b.box.top - pad + divRound(L.ascent, f);
                FontGlyphImage img;
                img.width = b.w;
                img.height = b.h;
                img.left = b.left;
                img.top = b.top;
                img.rows = b.px.data();
                img.pitch = b.w;
                fontBlitGlyph(img, g.penX, g.baseline, g.cell,
                              L.coverage.data() + pg * size_t(L.texW) * size_t(L.texH), L.texW);
            }
        // Blanks have nothing to draw: an empty rectangle at the page's corner.
        for (FontGlyph& g : L.glyphs)
            if (bitmaps[size_t(&g - L.glyphs.data())].px.empty()) {
                g.cell = g.box = TxRect{};
                g.penX = g.baseline = 0;
            }
    }

    if (o.kerning) collectKerning(face, cps, L);
    L.status = FONT_GEN_OK;
    message.clear();
    return FONT_GEN_OK;
}

std::string fontSubstitutionText(const std::string& requested, const FontFaceMatch& face) {
    return "The font \"" + requested + "\" is not installed: " + face.family +
           (face.style.empty() ? "" : " " + face.style) + " is used instead";
}

std::string fontClipWarning(const FontLayout& L) {
    const int f = L.factor(), sdf = 2 * L.sdfSpread;
    const int w = (L.cellW - sdf) / f, h = (L.cellH - sdf) / f;
    if (L.layout != FONT_LAYOUT_CELLS || L.neededCellW == 0 ||
        (w >= L.neededCellW && h >= L.neededCellH))
        return {};
    std::string text = "Cells of " + std::to_string(w) + " x " + std::to_string(h) +
                       " cannot hold this font's " + std::to_string(L.neededCellW) + " x " +
                       std::to_string(L.neededCellH) +
                       " (its widest character and its line height)";
    const size_t n = L.clipped.size();
    if (n == 0)
        return text + "; none of these " + std::to_string(L.glyphs.size()) +
               " glyphs is clipped, others of the font may be.";
    std::string some;
    const size_t shown = std::min<size_t>(n, 8);
    for (size_t i = 0; i < shown; ++i) {
        const uint32_t cp = L.clipped[i];
        // Printable characters as themselves, the rest by number.
        some += (i ? " " : "") + (cp > 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0)
                                      ? fontUtf8(std::u32string(1, char32_t(cp)))
                                      : fontCodePointText(cp));
    }
    if (n > shown) some += " and " + std::to_string(n - shown) + " more";
    return text + ": " + std::to_string(n) + " of the " + std::to_string(L.glyphs.size()) +
           (n == 1 ? " glyphs is" : " glyphs are") + " clipped at the cell edges (" + some + ").";
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

PositionList fontPositionItems(const FontLayout& L, int page) {
    PositionList list;
    for (const FontGlyph& g : L.glyphs) {
        if (g.page != page) continue;
        const TxRect r{g.cell.left >> L.shift, g.cell.top >> L.shift, g.cell.right >> L.shift,
                       g.cell.bottom >> L.shift};
        list.append(r, g.code >= 0 ? std::string(1, char(g.code)) : fontCodePointText(g.unicode));
    }
    return list;
}

bool fontPagePixels(const FontLayout& L, int page, uint32_t textColor, uint32_t backColor,
                    TxMip& out) {
    if (page < 0 || page >= L.pageCount || L.coverage.empty()) return false;
    TxMip big;
    if (!txMipInit(big, L.texW, L.texH, 1, TX_FMT_ARGB8888)) return false;
    const size_t n = size_t(L.texW) * size_t(L.texH);
    fontCoverageToPixels(L.page(page), n, textColor, backColor,
                         reinterpret_cast<uint32_t*>(big.data[0]));
    if (L.shift == 0) {
        out = std::move(big);
        return true;
    }
    TxMip small;
    if (!txMipInit(small, L.finalWidth(), L.finalHeight(), 1, TX_FMT_ARGB8888)) return false;
    txImageResize(small, big);
    fontRecolour(reinterpret_cast<uint32_t*>(small.data[0]),
                 size_t(small.width) * size_t(small.height), textColor);
    out = std::move(small);
    return true;
}
