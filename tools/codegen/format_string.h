// Format strings: a printf-style template in double quotes followed by a comma-separated list of
// argument names, e.g.  "{%d,%d,%d,%d},\t//%s\r\n" ,x1, y1, x2, y2, name
// They exist in two forms: the stored ("internal") form holds real tabs and line breaks inside the
// template; the edit form, which the parser reads, writes them as \t, \n and \r.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "texlib/mip.h"

// The built-in preset, and the format a new preset starts with (internal form).
extern const char* const kStandardFormat;
extern const char* const kNewPresetFormat;

// At most this many arguments per format, and this many characters of text per item.
constexpr int kMaxFormatArgs = 12;
constexpr size_t kMaxItemText = 1023;

// Why a format string was refused. Values 1 to 7 are the classic ones; the last two come from the
// checks that keep a user's template from reaching printf with arguments it does not fit.
enum ParseErrorCode : int {
    PE_EXCEPTION = 0,      // anything unexpected: "Exception raised"
    PE_LENGTH = 1,         // "invalid lenght"
    PE_DELIMITER = 2,      // "invalid delimiter in formatstring"
    PE_COMMA = 3,          // "missing comma in argumentlist"
    PE_CHAR = 4,           // rest of the list + "\tinvalid char"
    PE_NO_TYPES = 5,       // "no %%types found in formatstring"
    PE_UNKNOWN_ARG = 6,    // name + "\tunknown arg"
    PE_COUNT = 7,          // "%d formattypes do not match %d args"
    PE_TOO_MANY_ARGS = 8,  // more than 12 arguments
    PE_CONVERSION = 9,     // a conversion that is not allowed or does not fit its argument
};

// Thrown by parseFormat and caught by its callers (preview, generation, tarquil-cli).
class parse_error : public std::exception {
public:
    parse_error(ParseErrorCode value, std::string detail)
        : value_(value), detail_(std::move(detail)) {}
    ParseErrorCode value() const { return value_; }
    const std::string& detail() const { return detail_; }
    const char* what() const noexcept override { return detail_.c_str(); }

private:
    ParseErrorCode value_;
    std::string detail_;
};

// The preview's text for a refused format: "Error parsing formatstring\r\nError near : <detail>".
std::string parseErrorText(const std::string& detail);

// Internal form to edit form, and edit form (or generated text) to final text.
std::string escapeFormat(const std::string& internal);
std::string unescapeFormat(const std::string& text);

// One piece of a compiled template: literal text, or one conversion applied to one argument.
struct FormatPiece {
    enum Kind : unsigned char { Literal, Integer, Text, Real } kind = Literal;
    char code = 0;       // argument code (a, b, c, d, i, n, w, h, s, t, u, v)
    char conv = 0;       // conversion letter as written (d, x, s, f, ...)
    bool plain = false;  // "%d", "%s" or "%f" without flags, width or precision
    std::string text;    // the literal, or the checked conversion ("%-08.3x") for the C library
};

// The result of a successful parse, used for every item.
struct ParsedFormat {
    std::string templ;  // between the outer quotes, every "%f" changed to "%s"
    std::string codes;  // one code letter per argument, in order
    bool ok = false;
    std::vector<FormatPiece> pieces;
};

// Parses an edit-form format string; throws parse_error.
ParsedFormat parseFormat(const std::string& editText);

// Appends one item's text. W and H are the image size (values below 1 count as 1). False, with
// nothing appended, when the format is not parsed or the item's text would exceed 1023 characters.
bool formatItem(const ParsedFormat& format, const TxRect& rect, const std::string& name, int index,
                int imageWidth, int imageHeight, std::string& out);

// Argument name for a code letter ("x1" for 'a', ...), or "" for an unknown code.
const char* formatArgName(char code);
