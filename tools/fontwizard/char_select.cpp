#include "tools/fontwizard/char_select.h"

#include <algorithm>
#include <cstdio>

namespace {

// Code points of 0x80-0x9F in code page 1252; 0 marks the undefined codes.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool ascii(int code) { return code >= 0 && code < 128; }

bool isSurrogate(uint32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

void sortUnique(std::vector<uint32_t>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Decimal (base 10) or hexadecimal (base 16) digits as a number no larger than `max`; nothing
// for another character or a larger number.
std::optional<uint32_t> parseDigits(std::string_view digits, int base, uint32_t max) {
    uint32_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * uint32_t(base) + uint32_t(d);
        if (v > max) return std::nullopt;
    }
    return v;
}

// One code point of a range list: decimal, 0x hexadecimal or U+ hexadecimal.
bool parseCodePoint(std::string_view t, uint32_t& cp) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    int base = 10;
    if (t.size() > 2 && (t.substr(0, 2) == "0x" || t.substr(0, 2) == "0X" ||
                         t.substr(0, 2) == "U+" || t.substr(0, 2) == "u+")) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty() || t.size() > 8) return false;
    const std::optional<uint32_t> v = parseDigits(t, base, 0x10FFFF);
    if (!v) return false;
    cp = *v;
    return true;
}

}  // namespace

bool fontDecodeUtf8(std::string_view s, size_t& i, uint32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len;
    uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + size_t(len) > s.size()) return false;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + size_t(k)]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += size_t(len);
    return true;
}

void fontAppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool fontIsUpper(int code) { return code >= 'A' && code <= 'Z'; }
bool fontIsLower(int code) { return code >= 'a' && code <= 'z'; }
bool fontIsAlpha(int code) { return fontIsUpper(code) || fontIsLower(code); }
bool fontIsDigit(int code) { return code >= '0' && code <= '9'; }
bool fontIsXDigit(int code) {
    return fontIsDigit(code) || (code >= 'a' && code <= 'f') || (code >= 'A' && code <= 'F');
}
bool fontIsSpace(int code) { return code == ' ' || (code >= 9 && code <= 13); }
bool fontIsPrint(int code) { return code >= 32 && code <= 126; }
bool fontIsGraph(int code) { return code >= 33 && code <= 126; }
bool fontIsPunct(int code) { return fontIsGraph(code) && !fontIsAlpha(code) && !fontIsDigit(code); }
bool fontIsCntrl(int code) { return (code >= 0 && code < 32) || code == 127; }

bool fontCharPasses(int code, int filter, std::string_view userChars) {
    if ((filter & FONT_FILTER_ALPHA) && fontIsAlpha(code)) return true;
    if ((filter & FONT_FILTER_UPPER) && fontIsUpper(code)) return true;
    if ((filter & FONT_FILTER_LOWER) && fontIsLower(code)) return true;
    if ((filter & FONT_FILTER_DIGIT) && fontIsDigit(code)) return true;
    if ((filter & FONT_FILTER_XDIGIT) && fontIsXDigit(code)) return true;
    if ((filter & FONT_FILTER_ALNUM) && (fontIsAlpha(code) || fontIsDigit(code))) return true;
    if ((filter & FONT_FILTER_SPACE) && fontIsSpace(code)) return true;
    if ((filter & FONT_FILTER_PUNCT) && fontIsPunct(code)) return true;
    if ((filter & FONT_FILTER_PRINT) && fontIsPrint(code)) return true;
    if ((filter & FONT_FILTER_GRAPH) && fontIsGraph(code)) return true;
    if ((filter & FONT_FILTER_CNTRL) && fontIsCntrl(code)) return true;
    if ((filter & FONT_FILTER_ASCII) && ascii(code)) return true;
    if ((filter & FONT_FILTER_LETTER) && fontIsAlpha(code)) return true;
    // The user characters are a text: its terminator is no character of it.
    if ((filter & FONT_FILTER_ONEOF) && code > 0 && code < 256 &&
        userChars.find(char(code)) != std::string_view::npos)
        return true;
    return (filter & FONT_FILTER_ALL) != 0;
}

std::vector<int> fontSelectCharacters(bool eightBit, int filter, std::string_view userChars) {
    std::vector<int> codes;
    const int last = eightBit ? 255 : 127;
    for (int c = 0; c <= last; ++c)
        if (fontCharPasses(c, filter, userChars)) codes.push_back(c);
    return codes;
}

std::string fontCharacterListText(const std::vector<int>& codes) {
    std::string out;
    for (int c : codes) {
        if (fontIsGraph(c)) {
            out += char(c);
            out += ' ';
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%2.2x ", unsigned(c) & 0xFFu);
            out += buf;
        }
    }
    return out;
}

std::string fontCharacterCountText(int count) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "Number of characters: %03d", count);
    return buf;
}

uint32_t fontCp1252ToUnicode(int code) {
    code &= 0xFF;
    if (code >= 0x80 && code < 0xA0 && kCp1252High[code - 0x80] != 0)
        return kCp1252High[code - 0x80];
    return uint32_t(code);
}

std::optional<int> fontUnicodeToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    // The undefined codes stand for themselves, so they survive a round trip.
    if (cp >= 0x80 && cp < 0xA0 && kCp1252High[cp - 0x80] == 0) return int(cp);
    for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == cp) return 0x80 + k;
    return std::nullopt;
}

bool fontUtf8ToCp1252(std::string_view utf8, std::string& out, uint32_t* bad, bool skipUnmapped) {
    // Text that does not decode was written as 8-bit codes (an old settings file): keep it.
    std::vector<uint32_t> cps;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp;
        if (!fontDecodeUtf8(utf8, i, cp)) {
            out.assign(utf8.begin(), utf8.end());
            return true;
        }
        cps.push_back(cp);
    }
    std::string result;
    for (uint32_t cp : cps) {
        const auto code = fontUnicodeToCp1252(cp);
        if (!code) {
            if (skipUnmapped) continue;
            if (bad) *bad = cp;
            return false;
        }
        result += char(*code);
    }
    out = std::move(result);
    return true;
}

std::string fontCp1252ToUtf8(std::string_view codes) {
    std::string out;
    for (char c : codes) fontAppendUtf8(out, fontCp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::optional<int> fontFilterFromName(std::string_view name) {
    static const struct {
        const char* name;
        int bit;
    } kNames[] = {
        {"alpha", FONT_FILTER_ALPHA},   {"upper", FONT_FILTER_UPPER},
        {"lower", FONT_FILTER_LOWER},   {"digit", FONT_FILTER_DIGIT},
        {"xdigit", FONT_FILTER_XDIGIT}, {"alnum", FONT_FILTER_ALNUM},
        {"space", FONT_FILTER_SPACE},   {"punct", FONT_FILTER_PUNCT},
        {"print", FONT_FILTER_PRINT},   {"graph", FONT_FILTER_GRAPH},
        {"cntrl", FONT_FILTER_CNTRL},   {"ascii", FONT_FILTER_ASCII},
        {"letter", FONT_FILTER_LETTER}, {"oneof", FONT_FILTER_ONEOF},
        {"all", FONT_FILTER_ALL},
    };
    std::string_view n = name;
    if (n.size() > 2 && n.substr(0, 2) == "is") n.remove_prefix(2);
    for (const auto& e : kNames)
        if (n == e.name) return e.bit;
    // A number of bits, as stored in the settings.
    if (name.empty()) return std::nullopt;
    int base = 10;
    std::string_view digits = name;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    const std::optional<uint32_t> v = parseDigits(digits, base, 0x7FFF);
    if (!v) return std::nullopt;
    return int(*v);
}

std::vector<uint32_t> fontSelectCodePoints(bool eightBit, int filter, std::string_view userChars,
                                           std::u32string_view wideChars) {
    std::vector<uint32_t> out;
    for (int c : fontSelectCharacters(eightBit, filter, userChars))
        out.push_back(fontCp1252ToUnicode(c));
    if (filter & FONT_FILTER_ONEOF) {
        std::vector<uint32_t> wide;
        for (char32_t c : wideChars)
            if (c != 0 && !fontUnicodeToCp1252(uint32_t(c)) && uint32_t(c) <= 0x10FFFF &&
                !isSurrogate(uint32_t(c)))
                wide.push_back(uint32_t(c));
        sortUnique(wide);
        out.insert(out.end(), wide.begin(), wide.end());
    }
    return out;
}

bool fontParseCharRanges(std::string_view text, std::vector<uint32_t>& out, std::string& error) {
    out.clear();
    if (text.find_first_not_of(' ') == std::string_view::npos) {
        error = "the character set is empty";
        return false;
    }
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view part =
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        // The dash of a range; a leading one would be a sign, which no code point has.
        const size_t dash = part.find('-', 1);
        uint32_t first = 0, last = 0;
        const bool ok = dash == std::string_view::npos
                            ? parseCodePoint(part, first) && (last = first, true)
                            : parseCodePoint(part.substr(0, dash), first) &&
                                  parseCodePoint(part.substr(dash + 1), last);
        if (!ok) {
            error = "'" + std::string(part) +
                    "' is neither a code point nor a range FIRST-LAST (decimal, 0x or U+ "
                    "hexadecimal, at most U+10FFFF)";
            return false;
        }
        if (last < first) {
            error = "the range '" + std::string(part) + "' ends before it begins";
            return false;
        }
        for (uint32_t cp = first;; ++cp) {
            if (!isSurrogate(cp)) out.push_back(cp);
            if (cp == last) break;
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    sortUnique(out);
    if (out.empty()) {
        error = "the character set holds only surrogate code points, which are no characters";
        return false;
    }
    return true;
}

bool fontCharsFromUtf8(std::string_view text, std::vector<uint32_t>& out, std::string& error) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        uint32_t cp;
        if (!fontDecodeUtf8(text, i, cp)) {
            error = "malformed UTF-8 at byte " + std::to_string(at);
            return false;
        }
        if (cp < 0x20 || cp == 0x7F || cp == 0xFEFF) continue;
        out.push_back(cp);
    }
    sortUnique(out);
    if (out.empty()) {
        error = "the text holds no character";
        return false;
    }
    return true;
}

void fontSplitUserChars(std::string_view utf8, std::string& codes, std::u32string& wide) {
    codes.clear();
    wide.clear();
    std::vector<uint32_t> cps;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp;
        if (!fontDecodeUtf8(utf8, i, cp)) {
            codes.assign(utf8.begin(), utf8.end());
            return;
        }
        cps.push_back(cp);
    }
    for (uint32_t cp : cps) {
        if (const auto code = fontUnicodeToCp1252(cp))
            codes += char(*code);
        else
            wide += char32_t(cp);
    }
}

std::string fontUtf8(std::u32string_view cps) {
    std::string out;
    for (char32_t c : cps) fontAppendUtf8(out, uint32_t(c));
    return out;
}

std::string fontCodePointText(uint32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", unsigned(cp));
    return buf;
}

std::string fontGlyphName(uint32_t cp) {
    if (const auto code = fontUnicodeToCp1252(cp)) return std::string(1, char(*code));
    return fontCodePointText(cp);
}
