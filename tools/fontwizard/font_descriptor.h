// AngelCode BMFont descriptors of a rendered font texture: one neutral record of what the engines
// read (info, common, pages, chars, kernings) and its three file forms, text, XML and the
// version 3 binary layout, so that every form says the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/fontwizard/font_generator.h"

struct FontDescriptorChar {
    uint32_t id = 0;  // Unicode code point
    int x = 0, y = 0, width = 0, height = 0;
    int xoffset = 0, yoffset = 0, xadvance = 0;
    int page = 0;
    int chnl = 15;  // all four channels hold the glyph
};

struct FontDescriptor {
    // info
    std::string face;
    int size = 0;
    bool bold = false, italic = false;
    int aa = 1;
    int padding[4] = {0, 0, 0, 0};  // up, right, down, left
    int spacing[2] = {0, 0};        // horizontal, vertical
    // common
    int lineHeight = 0, base = 0, scaleW = 0, scaleH = 0;
    std::vector<std::string> pages;  // file names, by page id
    std::vector<FontDescriptorChar> chars;
    std::vector<FontKerningPair> kernings;
};

// The descriptor of a finished run; `pageFiles` names each page's image as the engine will find
// it (beside the descriptor).
FontDescriptor fontDescriptor(const FontLayout& layout, const FontPreset& preset,
                              const std::vector<std::string>& pageFiles);

// "info ...", "common ...", one "page" line per page, "chars count=N", one "char" line per
// character, "kernings count=N" and one "kerning" line per pair.
std::string fontDescriptorText(const FontDescriptor& d);
// The same as an XML document (<font> with <info>, <common>, <pages>, <chars>, <kernings>).
std::string fontDescriptorXml(const FontDescriptor& d);
// "BMF" version 3: blocks 1 (info), 2 (common), 3 (pages), 4 (chars) and 5 (kerning pairs, when
// there are any), little-endian. False with `error` when a value does not fit its field (more than
// 256 pages, a texture side over 65535, ...).
bool fontDescriptorBinary(const FontDescriptor& d, std::vector<uint8_t>& out, std::string& error);

// The text form for a single page.
std::string fontDescriptorText(const FontLayout& layout, const FontPreset& preset,
                               const std::string& pageFile);
