// Shared by `tarquil-cli poslist` and `tarquil-cli codegen`: an image's size and the position list
// read from the position file beside it, as the editor reads it when the image is opened.
#pragma once

#include <string>

#include "model/position_files.h"
#include "model/position_list.h"

struct CliImagePositions {
    int width = 0;  // frame size: multi-frame files count one frame
    int height = 0;
    PositionList list;
    PositionLoadResult load;
};

// Reads the image and its position list. Returns CLI_OK, or CLI_FILE_ERROR after printing a message
// that names the file (image unreadable, position file unreadable or cut short). A missing position
// file is not an error here: `load.source` is then PositionSource::None.
// The image and the position file read are reported to `call`.
class CliCall;
int cliLoadImagePositions(CliCall& call, const std::string& image, CliImagePositions& out);
