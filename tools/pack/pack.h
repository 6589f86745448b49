// Sprite packing: many sprites (files, frames) into one or more atlas pages, with trimming,
// extrusion, padding, a sheet border, optional 90-degree rotation, size rules (power of two,
// square), and pixel-identical sprites sharing one rectangle. The placement is MaxRects, tried
// with several rules, orders and sheet shapes; the smallest result wins. Everything depends only
// on the sprites (sorted by name first) and the options, never on the order they came in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/frame_sequence.h"
#include "model/ports.h"
#include "model/position_list.h"

enum class PackTrim : int { None = 0, Trim = 1, Crop = 2 };
enum class PackSize : int { Any = 0, Pot = 1, Square = 2, PotSquare = 3 };
// Which way a rotated sprite is turned on the page: the data formats disagree (TexturePacker's
// JSON, Starling and cocos2d turn clockwise, libGDX counter-clockwise).
enum class PackTurn : int { Clockwise = 0, CounterClockwise = 1 };

// The settings section of the pack options (the editor's dialog and the command's defaults).
extern const char* const kPackSection;

struct PackOptions {
    PackTrim trim = PackTrim::None;
    int alphaThreshold = 0;  // a pixel counts as transparent when its alpha is at most this
    int extrude = 0;         // edge pixels repeated outwards around each sprite
    int border = 0;          // empty pixels along the sheet's edges
    int padding = 0;         // empty pixels between sprites (beyond their extrusion)
    bool rotate = false;     // sprites may be turned by 90 degrees where that packs better
    PackTurn turn = PackTurn::Clockwise;
    PackSize size = PackSize::Any;
    int maxWidth = 4096, maxHeight = 4096;
    bool aliasDuplicates = false;

    void load(const SettingsStore& store);
    void store(SettingsStore& store) const;
    // False with a message when a value is out of range.
    bool valid(std::string* why = nullptr) const;
};

// One sprite to pack: its name and pixels (0xAARRGGBB, rows top first).
struct PackSprite {
    std::string name;
    std::string file;  // where it came from, for messages
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// Where one sprite went.
struct PackedSprite {
    std::string name;
    int page = 0;
    // The area its pixels take on the page (for a rotated sprite `width` and `height` swapped).
    TxRect rect;
    bool rotated = false;
    int width = 0, height = 0;              // the packed (trimmed) pixels before rotation
    int sourceWidth = 0, sourceHeight = 0;  // the size before trimming
    int offsetX = 0, offsetY = 0;           // where the packed pixels sat in the source
    bool trimmed = false;                   // the packed pixels are smaller than the source
    int aliasOf = -1;  // index of the sprite whose rectangle this one shares, or -1
    int input = 0;     // index into the sprite list given to packSprites
};

struct PackPage {
    int width = 0, height = 0;
    std::vector<int> sprites;  // indices into PackResult::sprites, by name (aliases included)
    int64_t usedArea = 0;      // the area of the distinct rectangles (without extrusion)
};

enum PackStatus : int {
    PACK_OK = 0,
    PACK_EMPTY = 1,        // no sprites
    PACK_TOO_LARGE = 2,    // a sprite does not fit inside the largest page
    PACK_BAD_OPTIONS = 3,  // an option is out of range
    PACK_SAME_NAME = 4,    // two sprites have the same name
    PACK_BAD_SPRITE = 5,   // a sprite's pixels do not match its size
};

struct PackResult {
    int status = PACK_EMPTY;
    std::string error;                  // the message for a status other than PACK_OK
    std::vector<PackedSprite> sprites;  // sorted by name
    std::vector<PackPage> pages;
    int aliases = 0;  // sprites that share another's rectangle
    // Used area over the sheets' area, all pages together.
    double occupancy() const;
};

// Trims, finds the duplicates and places the sprites on as few pages as hold them, each page as
// small as its size rule allows. Pixels are read only for trimming and duplicates, so bare
// rectangles (empty `pixels`) pack too when both are off.
PackResult packSprites(const std::vector<PackSprite>& sprites, const PackOptions& options);

// Draws one page: every sprite's (trimmed, turned) pixels at its rectangle and the extruded ring
// around it; everything else transparent black. False when the frame cannot be made.
bool renderPackPage(const PackResult& result, int page, const std::vector<PackSprite>& sprites,
                    const PackOptions& options, Frame& out);

// The page's position list: every sprite on it (aliases included) by name, at its rectangle,
// with the rectangle it had in its source image as the source rectangle.
PositionList packPagePositions(const PackResult& result, int page);

// A sprite's trimmed rectangle: the smallest one holding every pixel with alpha above the
// threshold; a sprite without one keeps its top-left pixel.
TxRect packTrimRect(const PackSprite& sprite, int alphaThreshold);

// The name of page `page` of `count` for a path pattern: "{n}" becomes the page number (from 0).
std::string packPagePath(const std::string& pattern, int page);
