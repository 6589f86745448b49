// Installed outline fonts through fontconfig and FreeType: finding a face by name and style the
// way fontconfig matches it, listing the usable face names, and one face at one pixel size with
// the metrics and glyph drawing the font texture generator needs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "texlib/mip.h"

// The face fontconfig chose for a request.
struct FontFaceMatch {
    std::string file;
    int index = 0;             // face index within the file
    std::string family;        // the face's own family name
    std::string style;         // and style name ("Bold", "Oblique", ...)
    bool exact = false;        // one of the face's family names is the requested name
    bool synthBold = false;    // bold requested, the face is lighter: embolden the outlines
    bool synthItalic = false;  // italic requested, the face is upright: slant the outlines
};

// Finds the outline face for a face name and style (0 regular, 1 bold, 2 italic, 3 bold italic).
// A name that is not installed falls back the way fontconfig substitutes it (a metric-compatible
// face when one is known). False when no outline face exists at all.
bool fontFindFace(const std::string& name, int style, FontFaceMatch& out, std::string* error);

// Face `index` of a font file (TrueType, OpenType or a collection), described the way
// fontFindFace describes an installed face: nothing is substituted, so `exact` is true. A bold or
// italic style the face lacks is synthesised as for installed faces. False with `error` saying
// what is wrong with the file (missing, not a font, no such face in it, not an outline font).
bool fontFaceFromFile(const std::string& path, int index, int style, FontFaceMatch& out,
                      std::string* error);

// The number of faces in a font file (more than one in a collection), or 0 when it is no font.
int fontFileFaceCount(const std::string& path);

// Family names of every installed outline font, sorted ignoring case, each once.
std::vector<std::string> fontListFaces();

// A glyph's image: 8-bit coverage rows, top row first, placed relative to the pen position on the
// baseline (left: pixels right of the pen; top: pixels above the baseline).
struct FontGlyphImage {
    int width = 0, height = 0, left = 0, top = 0;
    const uint8_t* rows = nullptr;
    int pitch = 0;
};

class FontFace {
public:
    FontFace();
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Opens the face with its em height set to pixelHeight pixels.
    bool open(const FontFaceMatch& match, int pixelHeight, std::string* error);

    int pixelHeight() const { return pixelHeight_; }
    // Ascent and descent of the face's line in pixels (descent positive); their sum is the line
    // height.
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int unitsPerEm() const;

    // Advance width of a character (Unicode code point) in whole pixels.
    int advance(uint32_t cp);
    // True when the face has a glyph of its own for the character.
    bool hasGlyph(uint32_t cp) const;
    // Renders a character with antialiasing; the image stays valid until the next call. With
    // sdfSpread > 0 the image is FreeType's signed distance field instead (128 on the outline,
    // higher inside, reaching 0 and 255 sdfSpread pixels away), sdfSpread pixels larger on every
    // side than the outline.
    bool render(uint32_t cp, FontGlyphImage& image, int sdfSpread = 0);
    // Kerning between two characters in font units (0 when the face has no kerning table).
    bool hasKerning() const;
    int kerningUnits(uint32_t left, uint32_t right);
    // The pairs of `cps` (as indices into it, first index then second ascending) that the face's
    // kerning table lists. False when the table is in a form not read here; the caller then asks
    // kerningUnits for every pair.
    bool kerningPairs(const std::vector<uint32_t>& cps,
                      std::vector<std::pair<uint32_t, uint32_t>>& pairs);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int pixelHeight_ = 0, ascent_ = 0, descent_ = 0;
};

// Copies a glyph image into an 8-bit surface with the pen at (penX, baseline), clipped to `clip`
// (which must lie inside the surface); coverage already there is kept where it is higher.
void fontBlitGlyph(const FontGlyphImage& image, int penX, int baseline, const TxRect& clip,
                   uint8_t* surface, int stride);
