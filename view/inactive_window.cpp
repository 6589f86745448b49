#include "view/inactive_window.h"

#include <algorithm>

uint8_t backgroundTileGrey(int x, int y) {
    // A fine, even grain: a hash of the texel, ten levels wide.
    const uint32_t ux = uint32_t(x) & (kBackgroundTileSize - 1);
    const uint32_t uy = uint32_t(y) & (kBackgroundTileSize - 1);
    uint32_t h = ux * 0x9E3779B1u ^ uy * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return uint8_t(204 + h % 10);
}

void paintBackgroundTile(ImageBuffer& out) {
    if (out.empty()) return;
    // One tile row at a time, repeated across the buffer.
    uint32_t row[kBackgroundTileSize];
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < kBackgroundTileSize; ++x) {
            const uint32_t g = backgroundTileGrey(x, y);
            row[x] = 0xFF000000u | g << 16 | g << 8 | g;
        }
        uint32_t* o = &out.at(0, y);
        for (int x = 0; x < out.width(); x += kBackgroundTileSize)
            std::copy(row, row + std::min(kBackgroundTileSize, out.width() - x), o + x);
    }
}

void greySnapshot(ImageBuffer& snapshot) {
    if (snapshot.empty()) return;
    ImageBuffer tile;
    if (!tile.create(snapshot.width(), snapshot.height())) return;
    paintBackgroundTile(tile);
    snapshot.averageWith(tile);
}

std::string childWindowTitle(const std::string& title, int number, int count, bool modified) {
    std::string t = title;
    if (count > 1) {
        const std::string mark = ":" + std::to_string(number);
        // A title with its frame position has the name padded to 24 characters before
        // " Frame": the number goes after the name and the position stays where it was.
        constexpr size_t kName = 24;
        if (t.size() > kName && t.compare(kName, 7, " Frame ") == 0) {
            std::string name = t.substr(0, kName);
            name.erase(name.find_last_not_of(' ') + 1);
            name += mark;
            if (name.size() < kName) name.resize(kName, ' ');
            t = name + t.substr(kName);
        } else {
            t += mark;
        }
    }
    if (modified) t += " *";
    return t;
}
