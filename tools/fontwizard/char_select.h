// Which characters a font preset renders: the character classes of the C locale for codes 0-255,
// the filter bits that enable them, the mapping of the 8-bit codes (Windows code page 1252) to
// Unicode for looking glyphs up, and Unicode sets given as ranges or as the characters of a text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Filter bits; a character is taken when any enabled test accepts it.
enum FontFilter : int {
    FONT_FILTER_ALPHA = 0x0001,   // letter (no check box; only from stored presets)
    FONT_FILTER_UPPER = 0x0002,   // "isupper"
    FONT_FILTER_LOWER = 0x0004,   // "islower"
    FONT_FILTER_DIGIT = 0x0008,   // "isdigit"
    FONT_FILTER_XDIGIT = 0x0010,  // "isxdigit"
    FONT_FILTER_ALNUM = 0x0020,   // "isalnum"
    FONT_FILTER_SPACE = 0x0040,   // "isspace"
    FONT_FILTER_PUNCT = 0x0080,   // "ispunct"
    FONT_FILTER_PRINT = 0x0100,   // "isprint": printable, blank included
    FONT_FILTER_GRAPH = 0x0200,   // "isgraph": printable, blank excluded
    FONT_FILTER_CNTRL = 0x0400,   // "iscntrl"
    FONT_FILTER_ASCII = 0x0800,   // code below 128 (no check box; only from stored presets)
    FONT_FILTER_LETTER = 0x1000,  // "isletter"
    FONT_FILTER_ONEOF = 0x2000,   // "one of:": the character occurs in the user characters
    FONT_FILTER_ALL = 0x4000,     // "all chars"
};

// Classes of the C locale; codes 128-255 belong to none, whatever the code page.
bool fontIsAlpha(int code);
bool fontIsUpper(int code);
bool fontIsLower(int code);
bool fontIsDigit(int code);
bool fontIsXDigit(int code);
bool fontIsSpace(int code);
bool fontIsPunct(int code);
bool fontIsPrint(int code);
bool fontIsGraph(int code);
bool fontIsCntrl(int code);

// True when some enabled test of `filter` accepts the code. `userChars` holds 8-bit codes; code 0
// never counts as one of them.
bool fontCharPasses(int code, int filter, std::string_view userChars);

// The codes 0-127 (0-255 with eightBit) that pass the filter, in ascending order.
std::vector<int> fontSelectCharacters(bool eightBit, int filter, std::string_view userChars);

// The character list of the wizard's character page: each code as the character and a blank when
// it is printable and not the blank itself, otherwise as two hexadecimal digits and a blank.
std::string fontCharacterListText(const std::vector<int>& codes);
// "Number of characters: %03d".
std::string fontCharacterCountText(int count);

// Unicode code point of an 8-bit code in Windows code page 1252. The five codes that page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same number.
uint32_t fontCp1252ToUnicode(int code);
// The 8-bit code of a code point, or nothing when code page 1252 has no such character.
std::optional<int> fontUnicodeToCp1252(uint32_t cp);

// Text conversions for settings and command lines, which hold UTF-8. Text that is not valid
// UTF-8 is taken as 8-bit codes already. A character outside the code page makes the conversion
// fail, with the offending code point in `bad`; with `skipUnmapped` it is left out instead.
bool fontUtf8ToCp1252(std::string_view utf8, std::string& out, uint32_t* bad = nullptr,
                      bool skipUnmapped = false);
std::string fontCp1252ToUtf8(std::string_view codes);
// Appends the UTF-8 bytes of one code point (0..0x10FFFF).
void fontAppendUtf8(std::string& out, uint32_t cp);
// Decodes one UTF-8 sequence at s[i] and moves i past it; false (i unchanged) when it is
// malformed, overlong forms, surrogates and values past U+10FFFF included.
bool fontDecodeUtf8(std::string_view s, size_t& i, uint32_t& cp);

// Filter bits by name for tarquil-cli: "upper" or "isupper", "lower", "digit", "xdigit", "alnum",
// "space", "punct", "print", "graph", "cntrl", "letter" or "isletter", "alpha", "ascii", "oneof",
// "all", or a number (decimal or 0x hexadecimal) of bits. Nothing for an unknown name.
std::optional<int> fontFilterFromName(std::string_view name);

// The characters of a preset as code points: the 8-bit selection in code order mapped through
// code page 1252, then, with the "one of:" test on, the user characters outside that code page
// (`wideChars`) in ascending order. The 7-/8-bit choice limits only the code page's codes.
std::vector<uint32_t> fontSelectCodePoints(bool eightBit, int filter, std::string_view userChars,
                                           std::u32string_view wideChars);

// A Unicode set: comma-separated code points or ranges FIRST-LAST, each a decimal number, 0x
// hexadecimal or U+ hexadecimal ("32-126,0x400-0x4FF,U+3040-U+309F"). Sorted, each once,
// surrogates left out. False with `error` saying why.
bool fontParseCharRanges(std::string_view text, std::vector<uint32_t>& out, std::string& error);
// Every character of a UTF-8 text (a byte order mark and the controls below U+0020 and U+007F,
// such as line ends, excepted), sorted, each once. False with `error` on malformed UTF-8.
bool fontCharsFromUtf8(std::string_view text, std::vector<uint32_t>& out, std::string& error);
// Splits UTF-8 text into the characters of code page 1252 (as 8-bit codes) and the others.
// Text that is not valid UTF-8 is taken as 8-bit codes, as fontUtf8ToCp1252 does.
void fontSplitUserChars(std::string_view utf8, std::string& codes, std::u32string& wide);
std::string fontUtf8(std::u32string_view cps);

// A position-list name for a character: the character itself when code page 1252 has it (one
// byte), otherwise "U+XXXX".
std::string fontGlyphName(uint32_t cp);
// "U+0416" (at least four hexadecimal digits).
std::string fontCodePointText(uint32_t cp);
