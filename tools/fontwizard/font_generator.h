// The font texture generator: lays the selected characters of a preset out in cells, renders them
// as a coverage mask (enlarged 2 or 4 times for antialiasing), and provides the pieces the
// document command and tarquil-cli build on: the pixel conversion, the position items and an
// AngelCode text descriptor.
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
};

// The vertical resolution the point sizes are converted with (a standard display).
constexpr int kFontDpiY = 96;

// One rendered character; coordinates in pixels of the enlarged drawing.
struct FontGlyph {
    int code = 0;          // 8-bit code
    uint32_t unicode = 0;  // the character it stands for in code page 1252
    TxRect cell;           // its cell
    int penX = 0;          // where the glyph's pen stood on the baseline
    int baseline = 0;
    int advance = 0;
};

struct FontKerningPair {
    uint32_t first = 0, second = 0;  // Unicode code points
    int amount = 0;                  // final pixels
};

// What a run produced. Sizes are in enlarged pixels unless said otherwise.
struct FontLayout {
    int status = FONT_GEN_OK;
    int shift = 0;  // 0, 1 or 2: the enlargement is 1 << shift
    int texW = 0, texH = 0;
    int cellW = 0, cellH = 0;
    int pixelHeight = 0;  // em height of the enlarged font
    int ascent = 0, descent = 0;
    FontFaceMatch face;
    std::vector<FontGlyph> glyphs;  // in character order
    std::vector<uint8_t> coverage;  // texW x texH, 0 = nothing, 255 = fully covered
    std::vector<FontKerningPair> kerning;

    int factor() const { return 1 << shift; }
    int finalWidth() const { return texW >> shift; }
    int finalHeight() const { return texH >> shift; }
};

// Lays out and renders the preset's characters (the preset itself is not changed). On failure
// returns the status and sets `message` to the text to show; nothing is rendered then.
// `withKerning` also collects the face's kerning pairs between the selected characters.
int fontRender(const FontPreset& preset, FontLayout& layout, std::string& message,
               bool withKerning = false);

// Coverage to frame pixels: 0 is the background colour with alpha 0, anything else the text
// colour with the coverage as alpha. Colours are 0x00BBGGRR, pixels 0xAARRGGBB.
void fontCoverageToPixels(const uint8_t* coverage, size_t n, uint32_t textColor, uint32_t backColor,
                          uint32_t* pixels);
// After the downscale: every pixel with some alpha takes the text colour, keeping its alpha.
void fontRecolour(uint32_t* pixels, size_t n, uint32_t textColor);

// One item per character, named by the character (its 8-bit code), with its cell in final pixels.
PositionList fontPositionItems(const FontLayout& layout);

// An AngelCode BMFont text descriptor of the final texture: info, common, one page (`pageFile`),
// one char line per character (ids are Unicode code points) and the kerning pairs.
std::string fontDescriptorText(const FontLayout& layout, const FontPreset& preset,
                               const std::string& pageFile);
