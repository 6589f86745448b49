// The position files that lie beside an image: "<file>_pos.txt" (text, written and read),
// "<file>.map" (binary, written) and "<file>_pos.tmp" in the temporary directory (binary, read;
// another program writes it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/position_list.h"
#include "texlib/stream.h"

struct PositionFileNames {
    std::string text;  // same folder, base name + extension + "_pos.txt"
    std::string map;   // same folder, base name + extension + ".map"
    std::string temp;  // temporary folder, base name + extension + "_pos.tmp"
};

// The user's temporary folder ($TMPDIR, else /tmp).
std::string positionTempDirectory();
// Names of the three files for an image path. False when the path has no base name (an untitled
// document has no position files). An empty tmpDir means positionTempDirectory().
bool positionFileNames(const std::string& imagePath, PositionFileNames& names,
                       const std::string& tmpDir = {});

// Results of the save operations: 0 on success or when there was nothing to write.
enum PositionFileResult : int {
    POS_FILE_OK = 0,
    POS_FILE_NO_NAME = 1,     // untitled: nothing written, nothing to report
    POS_FILE_WRITE_ERROR = 2  // the message names the file; the previous file is untouched
};

// The exact bytes of each file for a list.
std::string positionTextBytes(const PositionList& list);
std::vector<uint8_t> positionMapBytes(const PositionList& list);

// Writes the text (or map) file for imagePath through a temporary file and a rename. An empty
// list writes nothing and leaves an existing file as it is. On a write error `message` receives
// "Error saving position file <full path>\n" and `reason` the system's reason.
int savePositionText(const PositionList& list, const std::string& imagePath,
                     std::string* message = nullptr, std::string* reason = nullptr);
int savePositionMap(const PositionList& list, const std::string& imagePath,
                    std::string* message = nullptr, std::string* reason = nullptr);
// What the window's "Save" does: the text file, then (only when that worked) the map file, whose
// result does not change the outcome.
int savePositionFiles(const PositionList& list, const std::string& imagePath,
                      std::string* message = nullptr, std::string* reason = nullptr);

// One line of a position text file (without its line feed): four integers, each followed by one
// separator character of any kind, then the rest of the line as the name. False when the line
// does not hold four integers. The rectangle is returned as read (not normalised).
bool parsePositionLine(std::string_view line, TxRect& rect, std::string& name);
// Swaps edges so left <= right and top <= bottom, then clamps to the image; false when the result
// is empty.
bool clampPositionRect(TxRect& r, int imageWidth, int imageHeight);

// Readers over a file held in memory; each read rectangle is normalised and clamped, empty ones
// are skipped, the others appended. Return the number of items appended.
int readPositionText(TxStream& s, PositionList& list, int imageWidth, int imageHeight);
// `complete` is false when the file ended early or held a bad length byte; items read before that
// point stay in the list.
int readPositionTemp(TxStream& s, PositionList& list, int imageWidth, int imageHeight,
                     bool* complete = nullptr);

enum class PositionSource { None, Text, Temp };

struct PositionLoadResult {
    PositionSource source = PositionSource::None;
    std::string path;  // the file that was read
    int added = 0;
    bool fileError = false;  // the file could not be read or ended early (loading stopped there)
    std::string error;       // why, for callers that show it (the editor stays silent)
};

// Reads the position file for imagePath into an empty list: the text file when it exists,
// otherwise the temporary file. A list that already holds items is left alone. Image sizes below
// 1 count as 1 (a document without frames).
PositionLoadResult loadPositions(PositionList& list, const std::string& imagePath, int imageWidth,
                                 int imageHeight, const std::string& tmpDir = {});
