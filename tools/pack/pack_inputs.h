// The sprites of a pack run from what the user names: image files, folders (searched through,
// in sorted path order), multi-frame files (one sprite per frame) and numbered series (one
// sprite per member file).
#pragma once

#include <string>
#include <vector>

#include "tools/pack/pack.h"

struct PackInputs {
    std::vector<PackSprite> sprites;
    std::vector<std::string> filesRead;  // every file read, once, in reading order
    // Every folder searched, so that a build reruns the pack when a sprite is added to one.
    std::vector<std::string> foldersRead;
    std::string error;  // "FILE: reason" when collecting failed
};

// True for the extensions a folder search takes (the editor's document types, and .jpeg).
bool packImageExtension(const std::string& path);

// Reads every sprite. Names: inside a folder the path relative to it without the extension
// ("hero/walk_000"); a file named directly gives its name without folder and extension; the
// frames of a multi-frame file add "_000", "_001", ... to it. A numbered file named directly
// (walk_000.png) brings its whole series up to the first missing number; a file reached twice is
// read once. False (with `error`) as soon as a file cannot be read. `palette` is the palette of
// readers that need one; `progress` counts the files once they are known.
bool collectPackInputs(const std::vector<std::string>& inputs, PackInputs& out,
                       const uint32_t* palette = nullptr, Progress* progress = nullptr);
