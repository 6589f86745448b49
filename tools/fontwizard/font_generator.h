// The font texture generator: lays the selected characters of a preset out in cells (or packs
// their ink boxes), renders them as a coverage mask (enlarged 2 or 4 times for antialiasing, or as
// distance fields), and provides the pieces the document command and tarquil-cli build on: the
// pixel conversion and the position items. The descriptors are in font_descriptor.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/position_list.h"
#include "texlib/mip.h"
#include "tools/fontwizard/font_face.h"
#include "tools/fontwizard/font_preset.h"

extern const char* const kFontMsgFixedCell;    // "invalid cell size!\nTry to use other settings"
extern const char* const kFontMsgInvalidCell;  // "Error, invalid cellsize. Try other options"
extern const char* const kFontMsgNewDocument;  // "Create NewDocument failed"
extern const char* const kFontMsgTooLarge;
extern const char* const kFontMsgOutOfMemory;

enum FontGenStatus : int {
    FONT_GEN_OK = 0,
    FONT_GEN_FIXED_CELL = 1,    // fixed cells outside 2..256 x 2..512
    FONT_GEN_INVALID_CELL = 2,  // no character, a cell below 1 pixel or wider than the texture
    FONT_GEN_TOO_LARGE = 3,     // the texture would exceed the image size limits
    FONT_GEN_NO_FONT = 4,       // no outline face, or it cannot be opened at the size
    FONT_GEN_NO_DOCUMENT = 5,   // the new document was not made, or not at the texture size
    FONT_GEN_NO_MEMORY = 6,
    FONT_GEN_NO_GLYPHS = 7,  // the face has none of the characters of a Unicode set
    FONT_GEN_NO_ROOM = 8,    // the glyphs need more pages (or larger ones) than allowed
};

// The vertical resolution the point sizes are converted with (a standard display).
constexpr int kFontDpiY = 96;

enum FontLayoutMethod : int {
    FONT_LAYOUT_CELLS = 0,     // fixed or variable cells in rows (the wizard's layout)
    FONT_LAYOUT_MAXRECTS = 1,  // each glyph's ink box, packed tightly by MaxRects
};

// What tarquil-cli adds to a preset. The defaults give the wizard's texture exactly.
struct FontTextureOptions {
    std::vector<uint32_t> codePoints;  // a Unicode set; empty: the preset's characters
    int layout = FONT_LAYOUT_CELLS;
    int width = 0;            // texture width in final pixels; 0: the preset's 256 or 512
    int height = 0;           // page height in final pixels; 0: one page as high as needed
    bool powerOfTwo = false;  // the height is rounded up to a power of two (the width must be one)
    int maxPages = 1;
    int padding = 0;    // maxrects: pixels kept clear around each glyph inside its rectangle
    int spacing = 0;    // maxrects: pixels between the rectangles
    int sdfSpread = 0;  // > 0: signed distance fields reaching this many pixels (no enlargement)
    bool kerning = false;
};

// One rendered character; coordinates in pixels of the enlarged drawing unless said otherwise.
struct FontGlyph {
    int code = 0;          // 8-bit code, or -1 for a character outside code page 1252
    uint32_t unicode = 0;  // the character (for 8-bit codes the one they stand for in 1252)
    int page = 0;
    TxRect cell;   // its cell, or its packed rectangle (padding included) with maxrects
    int penX = 0;  // where the glyph's pen stood on the baseline
    int baseline = 0;
    int advance = 0;
    // The descriptor's view in final pixels: the drawn ink (with the padding around it), its
    // offset from the pen position at the top of the line, and the advance.
    TxRect box;
    int xOffset = 0, yOffset = 0, xAdvance = 0;
};

struct FontKerningPair {
    uint32_t first = 0, second = 0;  // Unicode code points
    int amount = 0;                  // final pixels
};

// What a run produced. Sizes are in enlarged pixels unless said otherwise.
struct FontLayout {
    int status = FONT_GEN_OK;
    int shift = 0;           // 0, 1 or 2: the enlargement is 1 << shift
    int texW = 0, texH = 0;  // one page
    int pageCount = 1;
    int cellW = 0, cellH = 0;  // 0 with maxrects
    int pixelHeight = 0;       // em height of the enlarged font
    int ascent = 0, descent = 0;
    int layout = FONT_LAYOUT_CELLS;
    int padding = 0, spacing = 0, sdfSpread = 0;  // final pixels
    FontFaceMatch face;
    std::vector<FontGlyph> glyphs;  // in character order
    // texW x texH for each page, the pages one below the other; 0 = nothing, 255 = covered.
    std::vector<uint8_t> coverage;
    std::vector<FontKerningPair> kerning;
    // Characters without a glyph in the face: left out, or (the preset's 8-bit codes, which the
    // layout keeps) drawn as the face's missing-glyph box. Control characters are not counted.
    std::vector<uint32_t> missing, missingDrawn;
    int leftOver = 0;  // FONT_GEN_NO_ROOM: the glyphs that found no page
    // Fixed cells: the cell the font would need (what "automatic" measures, final pixels), and
    // the characters whose drawing was cut at their cell's edge because the cell is smaller.
    int neededCellW = 0, neededCellH = 0;
    std::vector<uint32_t> clipped;

    int factor() const { return 1 << shift; }
    int finalWidth() const { return texW >> shift; }
    int finalHeight() const { return texH >> shift; }
    const uint8_t* page(int k) const {
        return coverage.data() + size_t(k) * size_t(texW) * size_t(texH);
    }
};

// Lays out and renders the preset's characters (the preset itself is not changed). On failure
// returns the status and sets `message` to the text to show; nothing is rendered then.
// `withKerning` also collects the face's kerning pairs between the selected characters.
int fontRender(const FontPreset& preset, FontLayout& layout, std::string& message,
               bool withKerning = false);
// The same with tarquil-cli's options: a Unicode set, packing, page sizes, distance fields.
int fontRender(const FontPreset& preset, const FontTextureOptions& options, FontLayout& layout,
               std::string& message);

// "The font "NoSuchFont" is not installed: DejaVu Sans Book is used instead", for a face name
// that fontconfig replaced by `face`.
std::string fontSubstitutionText(const std::string& requested, const FontFaceMatch& face);

// The warning of a run whose fixed cells cut glyphs off (empty when none was cut), the same for
// the wizard and tarquil-cli: the cell, the cell the font needs, how many glyphs lost pixels.
std::string fontClipWarning(const FontLayout& layout);

// Coverage to frame pixels: 0 is the background colour with alpha 0, anything else the text
// colour with the coverage as alpha. Colours are 0x00BBGGRR, pixels 0xAARRGGBB.
void fontCoverageToPixels(const uint8_t* coverage, size_t n, uint32_t textColor, uint32_t backColor,
                          uint32_t* pixels);
// After the downscale: every pixel with some alpha takes the text colour, keeping its alpha.
void fontRecolour(uint32_t* pixels, size_t n, uint32_t textColor);

// The final pixels of one page, as the document command makes them: the coverage in the preset's
// colours, scaled down by the enlargement and recoloured. False when memory runs out.
bool fontPagePixels(const FontLayout& layout, int page, uint32_t textColor, uint32_t backColor,
                    TxMip& out);

// One item per character of a page, named by the character (its 8-bit code, "U+XXXX" outside
// code page 1252), with its cell (its packed rectangle with maxrects) in final pixels.
PositionList fontPositionItems(const FontLayout& layout, int page = 0);
