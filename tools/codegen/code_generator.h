// Code generation: a position list turned into source text through a parsed format string, with
// optional sorting, comment header and block braces; and the preview on three sample items.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "model/position_list.h"
#include "tools/codegen/format_string.h"

// Title named in the generated comment header.
extern const char* const kCodegenTitle;

enum PosSortMode : int { POS_SORT_NONE = 0, POS_SORT_NAME = 1, POS_SORT_X1Y1 = 2 };

struct CodegenOptions {
    int sort = POS_SORT_NONE;
    bool comment = true;   // "enable comments"
    bool date = true;      // "Date/Time"
    bool cppStyle = true;  // "C++ Style"
    bool file = true;      // "Filename"
    bool block = true;     // "Block"
};

// Item indices in generation order. Mode 1 sorts by name (bytes compared as unsigned, a prefix
// first), mode 2 by x1 + 10000 * y1; equal keys keep their list order. Other modes keep the list
// order. The list itself is not reordered.
std::vector<int> generationOrder(const PositionList& list, int sortMode);

// "05. March 2024 - 09:07": two-digit day, English month name, year, 24-hour time.
std::string codegenDateText(const std::tm& when);
// The comment header (empty when comments are off). `path` is the document's full path, or its
// title when it has none; backslashes become forward slashes.
std::string codegenHeader(const CodegenOptions& options, const std::string& path,
                          const std::tm& when);

enum CodegenResult : int {
    CODEGEN_OK = 0,
    CODEGEN_EMPTY = 1,        // no items: nothing generated
    CODEGEN_NOT_PARSED = 2,   // "Parse failed - abort"
    CODEGEN_ITEM_FAILED = 3,  // "Exception raised - abort" (an item's text is too long)
};

// Generates the final text (header, braces, one formatted item each, then unescaped) into `out`.
// On failure `out` is left unchanged and `failedItem` (when given) names the item's list index.
int generateCode(const ParsedFormat& format, const PositionList& list, int imageWidth,
                 int imageHeight, const CodegenOptions& options, const std::string& path,
                 const std::tm& when, std::string& out, int* failedItem = nullptr);

// The dialog's preview for an edit-form format: three sample items on a 256 x 256 image in the
// order of the sort mode, unescaped; or the parse error text. `parseOk` tells which.
std::string codegenPreview(const std::string& editText, int sortMode, bool* parseOk = nullptr);
