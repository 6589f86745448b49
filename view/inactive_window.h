// What an inactive document window shows and how document windows are titled: the greyed
// snapshot of "Gray inactive view" (the window's picture averaged with the application's light
// background tile) and the ":1", ":2" numbering of several windows on one document.
#pragma once

#include <cstdint>
#include <string>

#include "model/image_buffer.h"

// The background tile: 256 x 256 light grey texels, grey levels 204 to 213.
constexpr int kBackgroundTileSize = 256;
uint8_t backgroundTileGrey(int x, int y);

// Fills `out` with the tile repeated from its top-left corner (opaque grey words).
void paintBackgroundTile(ImageBuffer& out);

// The greyed snapshot: every pixel averaged with the tile under it, so the window keeps its
// shapes but fades towards light grey ((60, 60, 70) becomes about (132, 132, 137)).
void greySnapshot(ImageBuffer& snapshot);

// The caption of window `number` (1-based) of `count` windows on a document with this title:
// with more than one window the number follows the document's name, before its frame position
// ("walk.tga:2               Frame 3:12"); a modified document ends in " *".
std::string childWindowTitle(const std::string& documentTitle, int number, int count,
                             bool modified);
