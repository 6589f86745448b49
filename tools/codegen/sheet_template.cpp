#include "tools/codegen/sheet_template.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/codegen/code_generator.h"
#include "tools/fontwizard/char_select.h"

namespace {

// A template file larger than this is certainly not one.
constexpr size_t kMaxTemplateFile = size_t(4) << 20;
// Widths and precisions above this are refused, as in the classic format strings.
constexpr long kMaxWidth = 1023;

enum ArgId : int {
    A_X1,
    A_Y1,
    A_X2,
    A_Y2,
    A_W,
    A_H,
    A_INDEX,
    A_NAME,
    A_S,
    A_T,
    A_U,
    A_V,
    A_RW,
    A_RH,
    A_SRCW,
    A_SRCH,
    A_TRIMX,
    A_TRIMY,
    A_TRIMR,
    A_TRIMB,
    A_ROTATED,
    A_TRIMMED,
    A_DURATION,
    A_CHAR,
    A_XOFFSET,
    A_YOFFSET,
    A_XADVANCE,
    A_OFFX,
    A_OFFY,
    A_PAGE,
    A_FILE,
    A_SHEETW,
    A_SHEETH,
    A_PCOUNT,
    A_COUNT,
    A_PAGES,
    A_SCALE,
    A_FORMAT,
    A_APP,
    A_FACE,
    A_SIZE,
    A_BOLD,
    A_ITALIC,
    A_LINEH,
    A_BASE,
    A_PADT,
    A_PADR,
    A_PADB,
    A_PADL,
    A_SPACEX,
    A_SPACEY,
    A_KCOUNT,
    A_FIRST,
    A_SECOND,
    A_AMOUNT,
};

// Where an argument has a value: the sheet (everywhere), an item, a kerning pair.
enum Scope : unsigned char { S_SHEET = 1, S_ITEM = 2, S_KERN = 4, S_ITEM_KERN = 6 };

struct ArgInfo {
    const char* name;
    ArgId id;
    TemplatePiece::Kind kind;
    Scope scope;
};

using K = TemplatePiece;
constexpr ArgInfo kArgs[] = {
    {"x1", A_X1, K::Integer, S_ITEM},
    {"y1", A_Y1, K::Integer, S_ITEM},
    {"x2", A_X2, K::Integer, S_ITEM},
    {"y2", A_Y2, K::Integer, S_ITEM},
    {"w", A_W, K::Integer, S_ITEM},
    {"h", A_H, K::Integer, S_ITEM},
    {"index", A_INDEX, K::Integer, S_ITEM_KERN},
    {"name", A_NAME, K::Text, S_ITEM},
    {"s", A_S, K::Real, S_ITEM},
    {"t", A_T, K::Real, S_ITEM},
    {"u", A_U, K::Real, S_ITEM},
    {"v", A_V, K::Real, S_ITEM},
    {"rw", A_RW, K::Integer, S_ITEM},
    {"rh", A_RH, K::Integer, S_ITEM},
    {"srcw", A_SRCW, K::Integer, S_ITEM},
    {"srch", A_SRCH, K::Integer, S_ITEM},
    {"trimx", A_TRIMX, K::Integer, S_ITEM},
    {"trimy", A_TRIMY, K::Integer, S_ITEM},
    {"trimr", A_TRIMR, K::Integer, S_ITEM},
    {"trimb", A_TRIMB, K::Integer, S_ITEM},
    {"rotated", A_ROTATED, K::Flag, S_ITEM},
    {"trimmed", A_TRIMMED, K::Flag, S_ITEM},
    {"duration", A_DURATION, K::Integer, S_ITEM},
    {"char", A_CHAR, K::Integer, S_ITEM},
    {"xoffset", A_XOFFSET, K::Integer, S_ITEM},
    {"yoffset", A_YOFFSET, K::Integer, S_ITEM},
    {"xadvance", A_XADVANCE, K::Integer, S_ITEM},
    {"offx", A_OFFX, K::Real, S_ITEM},
    {"offy", A_OFFY, K::Real, S_ITEM},
    {"page", A_PAGE, K::Integer, S_SHEET},
    {"file", A_FILE, K::Text, S_SHEET},
    {"sheetw", A_SHEETW, K::Integer, S_SHEET},
    {"sheeth", A_SHEETH, K::Integer, S_SHEET},
    {"pcount", A_PCOUNT, K::Integer, S_SHEET},
    {"count", A_COUNT, K::Integer, S_SHEET},
    {"pages", A_PAGES, K::Integer, S_SHEET},
    {"scale", A_SCALE, K::Real, S_SHEET},
    {"format", A_FORMAT, K::Text, S_SHEET},
    {"app", A_APP, K::Text, S_SHEET},
    {"face", A_FACE, K::Text, S_SHEET},
    {"size", A_SIZE, K::Integer, S_SHEET},
    {"bold", A_BOLD, K::Flag, S_SHEET},
    {"italic", A_ITALIC, K::Flag, S_SHEET},
    {"lineh", A_LINEH, K::Integer, S_SHEET},
    {"base", A_BASE, K::Integer, S_SHEET},
    {"padt", A_PADT, K::Integer, S_SHEET},
    {"padr", A_PADR, K::Integer, S_SHEET},
    {"padb", A_PADB, K::Integer, S_SHEET},
    {"padl", A_PADL, K::Integer, S_SHEET},
    {"spacex", A_SPACEX, K::Integer, S_SHEET},
    {"spacey", A_SPACEY, K::Integer, S_SHEET},
    {"kcount", A_KCOUNT, K::Integer, S_SHEET},
    {"first", A_FIRST, K::Integer, S_KERN},
    {"second", A_SECOND, K::Integer, S_KERN},
    {"amount", A_AMOUNT, K::Integer, S_KERN},
};

const ArgInfo* findArg(const std::string& name) {
    for (const ArgInfo& a : kArgs)
        if (name == a.name) return &a;
    return nullptr;
}

struct BlockName {
    const char* name;
    TemplateBlock::Kind kind;
};
constexpr BlockName kBlockNames[] = {
    {"header", TemplateBlock::Header},
    {"text", TemplateBlock::Text},
    {"page", TemplateBlock::Page},
    {"item", TemplateBlock::Item},
    {"separator", TemplateBlock::Separator},
    {"kerning", TemplateBlock::Kerning},
    {"kerning-separator", TemplateBlock::KerningSeparator},
    {"page-footer", TemplateBlock::PageFooter},
    {"page-separator", TemplateBlock::PageSeparator},
    {"footer", TemplateBlock::Footer},
};

const char* blockName(TemplateBlock::Kind k) {
    for (const BlockName& b : kBlockNames)
        if (b.kind == k) return b.name;
    return "";
}

unsigned scopesOf(TemplateBlock::Kind k) {
    switch (k) {
    case TemplateBlock::Item: return S_SHEET | S_ITEM;
    case TemplateBlock::Kerning: return S_SHEET | S_KERN;
    default: return S_SHEET;
    }
}

// Decodes one UTF-8 sequence at s[i] and advances; a malformed byte gives U+FFFD and advances
// by one, so that text from anywhere comes out as valid UTF-8.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
    uint32_t cp = 0;
    if (fontDecodeUtf8(s, i, cp)) return cp;
    ++i;
    return 0xFFFD;
}

void putHex(std::string& out, const char* fmt, uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, fmt, unsigned(v));
    out += buf;
}

// The backslash escapes JSON and C strings share; false for a character they leave alone.
bool putBackslashEscape(std::string& out, uint32_t c) {
    switch (c) {
    case '"': out += "\\\""; return true;
    case '\\': out += "\\\\"; return true;
    case '\n': out += "\\n"; return true;
    case '\r': out += "\\r"; return true;
    case '\t': out += "\\t"; return true;
    default: return false;
    }
}

// Text as it goes into the file: valid UTF-8, escaped for the syntax it lands in.
std::string escapeText(const std::string& s, TemplatePiece::Escape e) {
    std::string out;
    out.reserve(s.size() + 8);
    size_t i = 0;
    bool first = true;
    uint32_t prev = 0;
    while (i < s.size()) {
        const uint32_t c = nextCodePoint(s, i);
        switch (e) {
        case TemplatePiece::None: fontAppendUtf8(out, c); break;
        case TemplatePiece::Json:
            if (putBackslashEscape(out, c)) break;
            if (c < 0x20 || c == 0x2028 || c == 0x2029)
                putHex(out, "\\u%04x", c);
            else
                fontAppendUtf8(out, c);
            break;
        case TemplatePiece::Xml:
            if (c == '&')
                out += "&amp;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '"')
                out += "&quot;";
            else if (c == '\'')
                out += "&apos;";
            else if (c == '\t' || c == '\n' || c == '\r')
                putHex(out, "&#%u;", c);  // kept through attribute normalisation
            else if (c < 0x20 || c == 0xFFFE || c == 0xFFFF)
                fontAppendUtf8(out, 0xFFFD);  // XML 1.0 has no way to write these
            else
                fontAppendUtf8(out, c);
            break;
        case TemplatePiece::C:
            if (putBackslashEscape(out, c)) break;
            if (c == '?' && prev == '?')
                out += "\\?";  // no trigraphs
            else if (c < 0x20 || c == 0x7F)
                putHex(out, "\\%03o", c);
            else
                fontAppendUtf8(out, c);
            break;
        case TemplatePiece::Css:
            // CSS.escape: an identifier (and valid inside a quoted string too).
            if (c == 0)
                fontAppendUtf8(out, 0xFFFD);
            else if ((c >= 1 && c <= 0x1F) || c == 0x7F ||
                     (c >= '0' && c <= '9' && (first || (prev == '-' && out.size() == 1))))
                putHex(out, "\\%x ", c);
            else if (c == '-' && first && i >= s.size())
                out += "\\-";
            else if (c >= 0x80 || c == '-' || c == '_' || (c >= '0' && c <= '9') ||
                     (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                fontAppendUtf8(out, c);
            else {
                out += '\\';
                fontAppendUtf8(out, c);
            }
            break;
        case TemplatePiece::CssString:
            // Inside a quoted CSS string (url("...")): only quotes, backslashes and controls.
            if (c == 0)
                fontAppendUtf8(out, 0xFFFD);
            else if (c == '"' || c == '\'' || c == '\\') {
                out += '\\';
                out += char(c);
            } else if (c < 0x20 || c == 0x7F)
                putHex(out, "\\%x ", c);
            else
                fontAppendUtf8(out, c);
            break;
        }
        first = false;
        prev = c;
    }
    return out;
}

// ---------------------------------------------------------------- parsing

struct ParseFail {
    int line, column;
    std::string message;
};

struct PendingArg {
    std::string name;
    std::string modifier;
    int line, column;
};

struct PendingString {
    std::string text;
    std::vector<int> columns;  // column of each character of `text`
    int line = 0;
    int column = 0;  // of the opening quote
    std::vector<PendingArg> args;
};

// The columns count characters, not bytes, so that they match what an editor shows.
int columnAt(const std::string& line, size_t byte) {
    int col = 1;
    for (size_t i = 0; i < byte && i < line.size(); ++i)
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
    return col;
}

TemplatePiece::Escape escapeByName(const std::string& m, bool& ok) {
    ok = true;
    if (m == "json") return TemplatePiece::Json;
    if (m == "xml") return TemplatePiece::Xml;
    if (m == "c") return TemplatePiece::C;
    if (m == "css") return TemplatePiece::Css;
    if (m == "cssstr") return TemplatePiece::CssString;
    ok = false;
    return TemplatePiece::None;
}

bool fitsKind(TemplatePiece::Kind kind, char conv) {
    switch (kind) {
    case TemplatePiece::Integer: return conv != 0 && std::strchr("diouxX", conv) != nullptr;
    case TemplatePiece::Text: return conv == 's';
    case TemplatePiece::Real: return conv != 0 && std::strchr("fFeEgGs", conv) != nullptr;
    case TemplatePiece::Flag: return conv != 0 && std::strchr("dis", conv) != nullptr;
    default: return false;
    }
}

const char* kindName(TemplatePiece::Kind kind) {
    switch (kind) {
    case TemplatePiece::Integer: return "a number (%d, %x, ...)";
    case TemplatePiece::Text: return "a text (%s)";
    case TemplatePiece::Real: return "a real (%f, %g, %e or %s)";
    case TemplatePiece::Flag: return "a flag (%s for true/false, %d for 1/0)";
    default: return "";
    }
}

void appendLiteral(std::vector<TemplatePiece>& pieces, const std::string& text) {
    if (text.empty()) return;
    if (pieces.empty() || pieces.back().kind != TemplatePiece::Literal) pieces.emplace_back();
    pieces.back().text += text;
}

void compileString(const PendingString& str, TemplateBlock::Kind block,
                   std::vector<TemplatePiece>& pieces) {
    const std::string& t = str.text;
    auto colOf = [&](size_t i) {
        return i < str.columns.size() ? str.columns[i]
               : str.columns.empty()  ? 1
                                      : str.columns.back();
    };
    // The conversions first, so that a count mismatch is reported before any single argument.
    struct Conv {
        size_t start, end;
    };
    std::vector<Conv> convs;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '%') continue;
        if (i + 1 < t.size() && t[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t p = i + 1;
        while (p < t.size() && std::strchr("-+ #0", t[p]) != nullptr && t[p] != 0) ++p;
        while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p;
        if (p < t.size() && t[p] == '.') {
            ++p;
            while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p;
        }
        if (p >= t.size() || std::strchr("diouxXfFeEgGs", t[p]) == nullptr || t[p] == 0)
            throw ParseFail{
                str.line, colOf(i),
                "'" + t.substr(i, std::min(p + 1, t.size()) - i) +
                    "' is no conversion (use %d, %s, %f, ... or %% for a percent sign)"};
        convs.push_back({i, p + 1});
        i = p;
    }
    if (convs.size() != str.args.size()) {
        const std::string c = std::to_string(convs.size()), a = std::to_string(str.args.size());
        throw ParseFail{str.line, str.column,
                        c + (convs.size() == 1 ? " conversion" : " conversions") + " but " + a +
                            (str.args.size() == 1 ? " argument" : " arguments")};
    }
    size_t lit = 0;
    std::string literal;
    auto flushLiteral = [&](size_t upTo) {
        for (size_t k = lit; k < upTo; ++k) {
            literal += t[k];
            if (t[k] == '%') ++k;  // "%%"
        }
        appendLiteral(pieces, literal);
        literal.clear();
    };
    for (size_t k = 0; k < convs.size(); ++k) {
        flushLiteral(convs[k].start);
        const PendingArg& a = str.args[k];
        const ArgInfo* info = findArg(a.name);
        if (!info) throw ParseFail{a.line, a.column, "unknown argument '" + a.name + "'"};
        if ((info->scope & scopesOf(block)) == 0)
            throw ParseFail{a.line, a.column,
                            "'" + a.name + "' has no value in a @" + blockName(block) +
                                " block (it belongs to " +
                                (info->scope == S_KERN ? "@kerning" : "@item") + ")"};
        const std::string spec = t.substr(convs[k].start, convs[k].end - convs[k].start);
        TemplatePiece piece;
        piece.kind = info->kind;
        piece.arg = info->id;
        piece.conv = spec.back();
        if (!fitsKind(info->kind, piece.conv))
            throw ParseFail{str.line, colOf(convs[k].start),
                            "'" + spec + "' does not fit '" + a.name + "', " +
                                kindName(info->kind)};
        // Width and precision stay small, so that no item can ask for megabytes of blanks.
        long number = 0;
        for (size_t q = 1; q < spec.size(); ++q) {
            if (spec[q] >= '0' && spec[q] <= '9') {
                if (number <= kMaxWidth) number = number * 10 + (spec[q] - '0');
            } else {
                if (number > kMaxWidth) break;
                number = 0;
            }
        }
        if (number > kMaxWidth)
            throw ParseFail{str.line, colOf(convs[k].start),
                            "'" + spec + "': width or precision above 1023"};
        if (!a.modifier.empty()) {
            bool ok = false;
            piece.escape = escapeByName(a.modifier, ok);
            if (!ok)
                throw ParseFail{a.line, a.column,
                                "unknown escape ':" + a.modifier +
                                    "' (json, xml, c, css or cssstr)"};
            if (info->kind != TemplatePiece::Text && info->kind != TemplatePiece::Flag)
                throw ParseFail{a.line, a.column,
                                "':" + a.modifier + "' escapes texts; '" + a.name + "' is not one"};
        }
        const char plainConv = info->kind == TemplatePiece::Integer ? 'd'
                               : info->kind == TemplatePiece::Real  ? 'f'
                                                                    : 's';
        piece.plain = spec.size() == 2 && spec[1] == plainConv;
        piece.text = spec;
        pieces.push_back(std::move(piece));
        lit = convs[k].end;
    }
    flushLiteral(t.size());
}

class TemplateParser {
public:
    explicit TemplateParser(SheetTemplate& out) : out_(out) {}

    void parse(const std::string& text) {
        size_t pos = 0;
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
        int lineNo = 0;
        while (pos <= text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ++lineNo;
            parseLine(line, lineNo);
            if (end == text.size()) break;
            pos = end + 1;
        }
        finishBlock();
        check();
        if (out_.crlf)
            for (TemplateBlock& b : out_.blocks)
                for (TemplatePiece& p : b.pieces)
                    if (p.kind == TemplatePiece::Literal) p.text = toCrlf(p.text);
    }

private:
    static std::string toCrlf(const std::string& s) {
        std::string out;
        out.reserve(s.size() + 8);
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
            out += s[i];
        }
        return out;
    }

    static bool isBlank(char c) { return c == ' ' || c == '\t'; }

    void parseLine(const std::string& line, int lineNo) {
        size_t i = 0;
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') return;
        if (line[i] == '@') {
            directive(line, i, lineNo);
            return;
        }
        if (!inBlock_)
            throw ParseFail{lineNo, columnAt(line, i),
                            "text outside a block: start one with @header, @item, @footer, ..."};
        while (i < line.size()) {
            const char c = line[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == '#') {
                return;
            } else if (c == '"' || c == '\'') {
                i = readString(line, i, lineNo);
            } else if (c == ',') {
                i = readArg(line, i + 1, lineNo);
            } else {
                throw ParseFail{lineNo, columnAt(line, i),
                                std::string("unexpected '") + c +
                                    "': expected a text in quotes or a comma and an "
                                    "argument name"};
            }
        }
    }

    void directive(const std::string& line, size_t i, int lineNo) {
        const int col = columnAt(line, i);
        size_t e = i + 1;
        while (e < line.size() &&
               (std::isalnum(static_cast<unsigned char>(line[e])) || line[e] == '-'))
            ++e;
        const std::string word = line.substr(i + 1, e - i - 1);
        std::string rest;
        {
            size_t r = e;
            while (r < line.size() && isBlank(line[r])) ++r;
            size_t re = r;
            while (re < line.size() && line[re] != '#') ++re;
            rest = line.substr(r, re - r);
            while (!rest.empty() && isBlank(rest.back())) rest.pop_back();
        }
        if (word == "newline") {
            if (rest == "crlf")
                out_.crlf = true;
            else if (rest == "lf")
                out_.crlf = false;
            else
                throw ParseFail{lineNo, col, "@newline takes lf or crlf"};
            return;
        }
        for (const BlockName& b : kBlockNames) {
            if (word != b.name) continue;
            if (!rest.empty())
                throw ParseFail{lineNo, columnAt(line, e),
                                "nothing may follow @" + word + " on its line"};
            finishBlock();
            current_ = TemplateBlock{};
            current_.kind = b.kind;
            current_.line = lineNo;
            inBlock_ = true;
            return;
        }
        std::string names;
        for (const BlockName& b : kBlockNames)
            names += std::string(names.empty() ? "@" : ", @") + b.name;
        throw ParseFail{lineNo, col,
                        "unknown block '@" + word + "' (blocks: " + names + "; also @newline)"};
    }

    size_t readString(const std::string& line, size_t i, int lineNo) {
        PendingString s;
        s.line = lineNo;
        const size_t open = i++;
        s.column = columnAt(line, open);
        const char quote = line[open];
        while (true) {
            if (i >= line.size())
                throw ParseFail{lineNo, columnAt(line, open),
                                std::string("the text in ") + (quote == '"' ? "double" : "single") +
                                    " quotes is not closed on its line"};
            const char c = line[i];
            if (c == quote) {
                ++i;
                break;
            }
            const int col = columnAt(line, i);
            if (c == '\\') {
                if (i + 1 >= line.size()) throw ParseFail{lineNo, col, "a backslash ends the line"};
                char r;
                switch (line[i + 1]) {
                case 'n': r = '\n'; break;
                case 't': r = '\t'; break;
                case 'r': r = '\r'; break;
                case '"': r = '"'; break;
                case '\'': r = '\''; break;
                case '\\': r = '\\'; break;
                default:
                    throw ParseFail{lineNo, col,
                                    std::string("unknown escape '\\") + line[i + 1] +
                                        "' (use \\n, \\t, \\r, \\\", \\' or \\\\)"};
                }
                s.text += r;
                s.columns.push_back(col);
                i += 2;
                continue;
            }
            s.text += c;
            s.columns.push_back(col);
            ++i;
        }
        strings_.push_back(std::move(s));
        return i;
    }

    size_t readArg(const std::string& line, size_t i, int lineNo) {
        while (i < line.size() && isBlank(line[i])) ++i;
        // Empty names (",," or a trailing comma) are skipped, as in format strings.
        if (i >= line.size() || line[i] == ',' || line[i] == '#') return i;
        const size_t start = i;
        PendingArg a;
        a.line = lineNo;
        a.column = columnAt(line, start);
        while (i < line.size() &&
               (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
            a.name += char(std::tolower(static_cast<unsigned char>(line[i++])));
        if (a.name.empty())
            throw ParseFail{lineNo, a.column,
                            std::string("unexpected '") + line[i] + "': expected an argument name"};
        if (i < line.size() && line[i] == ':') {
            ++i;
            while (i < line.size() && std::isalnum(static_cast<unsigned char>(line[i])))
                a.modifier += char(std::tolower(static_cast<unsigned char>(line[i++])));
            if (a.modifier.empty())
                throw ParseFail{lineNo, columnAt(line, i), "an escape name must follow ':'"};
        }
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i < line.size() && line[i] != ',' && line[i] != '#' && line[i] != '"' &&
            line[i] != '\'')
            throw ParseFail{lineNo, columnAt(line, i),
                            std::string("unexpected '") + line[i] + "' after argument " + a.name};
        if (strings_.empty())
            throw ParseFail{lineNo, a.column, "an argument before any text in quotes"};
        if (!findArg(a.name))
            throw ParseFail{lineNo, a.column, "unknown argument '" + a.name + "'"};
        strings_.back().args.push_back(std::move(a));
        return i;
    }

    void finishBlock() {
        if (!inBlock_) return;
        for (const PendingString& s : strings_) compileString(s, current_.kind, current_.pieces);
        strings_.clear();
        out_.blocks.push_back(std::move(current_));
        inBlock_ = false;
    }

    // The blocks' order: separators follow their loop, a page footer its page.
    void check() {
        bool item = false, page = false, pageOpen = false, kerning = false;
        for (const TemplateBlock& b : out_.blocks) {
            auto fail = [&](const std::string& m) { throw ParseFail{b.line, 1, m}; };
            switch (b.kind) {
            case TemplateBlock::Item: item = true; break;
            case TemplateBlock::Separator:
                if (!item) fail("@separator must follow an @item block");
                break;
            case TemplateBlock::Page:
                if (pageOpen) fail("@page inside a @page block: close it with @page-footer first");
                if (page) fail("a template has one @page block");
                page = pageOpen = true;
                break;
            case TemplateBlock::PageFooter:
                if (!pageOpen) fail("@page-footer without a @page block before it");
                pageOpen = false;
                break;
            case TemplateBlock::PageSeparator:
                if (!page) fail("@page-separator must follow a @page block");
                break;
            case TemplateBlock::Kerning: kerning = true; break;
            case TemplateBlock::KerningSeparator:
                if (!kerning) fail("@kerning-separator must follow a @kerning block");
                break;
            default: break;
            }
        }
        if (out_.blocks.empty()) throw ParseFail{1, 1, "the template has no blocks"};
    }

    SheetTemplate& out_;
    TemplateBlock current_;
    bool inBlock_ = false;
    std::vector<PendingString> strings_;
};

// ---------------------------------------------------------------- rendering

struct Context {
    const TemplateSheet* sheet = nullptr;
    const TemplatePage* page = nullptr;
    int pageItems = 0;
    const TemplateItem* item = nullptr;
    int itemIndex = 0;
    const TemplateKerning* kerning = nullptr;
    int kerningIndex = 0;
};

struct Value {
    long long i = 0;
    double r = 0;
    std::string s;
};

Value valueOf(const Context& c, int arg) {
    static const TemplatePage kNoPage{};
    static const TemplateItem kNoItem{};
    static const TemplateKerning kNoKerning{};
    const TemplateSheet& sh = *c.sheet;
    const TemplatePage& p = c.page ? *c.page : kNoPage;
    const TemplateItem& it = c.item ? *c.item : kNoItem;
    const TemplateKerning& k = c.kerning ? *c.kerning : kNoKerning;
    const long long rw = it.rotated ? it.h : it.w, rh = it.rotated ? it.w : it.h;
    const long long srcw = it.sourceW > 0 ? it.sourceW : rw;
    const long long srch = it.sourceH > 0 ? it.sourceH : rh;
    const double pw = p.width < 1 ? 1.0 : 1.0 / p.width, ph = p.height < 1 ? 1.0 : 1.0 / p.height;
    Value v;
    auto flag = [&v](bool b) {
        v.i = b;
        v.s = b ? "true" : "false";
    };
    switch (arg) {
    case A_X1: v.i = it.x; break;
    case A_Y1: v.i = it.y; break;
    case A_X2: v.i = (long long)it.x + it.w; break;
    case A_Y2: v.i = (long long)it.y + it.h; break;
    case A_W: v.i = it.w; break;
    case A_H: v.i = it.h; break;
    case A_INDEX: v.i = c.kerning ? c.kerningIndex : c.itemIndex; break;
    case A_NAME: v.s = it.name; break;
    case A_S: v.r = pw * it.x; break;
    case A_T: v.r = ph * it.y; break;
    case A_U: v.r = pw * ((long long)it.x + it.w); break;
    case A_V: v.r = ph * ((long long)it.y + it.h); break;
    case A_RW: v.i = rw; break;
    case A_RH: v.i = rh; break;
    case A_SRCW: v.i = srcw; break;
    case A_SRCH: v.i = srch; break;
    case A_TRIMX: v.i = it.trimX; break;
    case A_TRIMY: v.i = it.trimY; break;
    case A_TRIMR: v.i = srcw - it.trimX - rw; break;
    case A_TRIMB: v.i = srch - it.trimY - rh; break;
    case A_ROTATED: flag(it.rotated); break;
    case A_TRIMMED: flag(srcw != rw || srch != rh || it.trimX != 0 || it.trimY != 0); break;
    case A_DURATION: v.i = it.duration; break;
    case A_CHAR: v.i = it.codePoint; break;
    case A_XOFFSET: v.i = it.xoffset; break;
    case A_YOFFSET: v.i = it.yoffset; break;
    case A_XADVANCE: v.i = it.xadvance; break;
    // cocos2d's spriteOffset: the trimmed centre from the untrimmed centre, y upwards.
    case A_OFFX: v.r = double(it.trimX) + double(rw - srcw) / 2.0; break;
    case A_OFFY: v.r = double(srch - rh) / 2.0 - double(it.trimY); break;
    case A_PAGE: v.i = c.item ? it.page : p.index; break;
    case A_FILE: v.s = p.file; break;
    case A_SHEETW: v.i = p.width; break;
    case A_SHEETH: v.i = p.height; break;
    case A_PCOUNT: v.i = c.pageItems; break;
    case A_COUNT: v.i = (long long)sh.items.size(); break;
    case A_PAGES: v.i = (long long)sh.pages.size(); break;
    case A_SCALE: v.r = sh.scale; break;
    case A_FORMAT: v.s = sh.format; break;
    case A_APP: v.s = kCodegenTitle; break;
    case A_FACE: v.s = sh.font.face; break;
    case A_SIZE: v.i = sh.font.size; break;
    case A_BOLD: flag(sh.font.bold); break;
    case A_ITALIC: flag(sh.font.italic); break;
    case A_LINEH: v.i = sh.font.lineHeight; break;
    case A_BASE: v.i = sh.font.base; break;
    case A_PADT: v.i = sh.font.padding[0]; break;
    case A_PADR: v.i = sh.font.padding[1]; break;
    case A_PADB: v.i = sh.font.padding[2]; break;
    case A_PADL: v.i = sh.font.padding[3]; break;
    case A_SPACEX: v.i = sh.font.spacing[0]; break;
    case A_SPACEY: v.i = sh.font.spacing[1]; break;
    case A_KCOUNT: v.i = (long long)sh.kernings.size(); break;
    case A_FIRST: v.i = k.first; break;
    case A_SECOND: v.i = k.second; break;
    case A_AMOUNT: v.i = k.amount; break;
    default: break;
    }
    return v;
}

template <typename T> void appendPrintf(std::string& out, const std::string& spec, T value) {
    char small[64];
    const int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return;
    }
    std::string big(size_t(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    out.append(big.data(), size_t(n));
}

void renderBlock(const TemplateBlock& b, const Context& c, std::string& out) {
    for (const TemplatePiece& p : b.pieces) {
        if (p.kind == TemplatePiece::Literal) {
            out += p.text;
            continue;
        }
        const Value v = valueOf(c, p.arg);
        switch (p.kind) {
        case TemplatePiece::Integer:
        case TemplatePiece::Flag:
            if (p.conv == 's') {
                const std::string text = escapeText(v.s, p.escape);
                if (p.plain)
                    out += text;
                else
                    appendPrintf(out, p.text, text.c_str());
            } else if (p.plain) {
                char buf[24];
                const auto r = std::to_chars(buf, buf + sizeof buf, v.i);
                out.append(buf, size_t(r.ptr - buf));
            } else if (p.conv == 'd' || p.conv == 'i') {
                std::string spec = p.text;
                spec.insert(spec.size() - 1, "ll");
                appendPrintf(out, spec, v.i);
            } else {
                std::string spec = p.text;
                spec.insert(spec.size() - 1, "ll");
                appendPrintf(out, spec, static_cast<unsigned long long>(v.i));
            }
            break;
        case TemplatePiece::Text: {
            const std::string text = escapeText(v.s, p.escape);
            if (p.plain)
                out += text;
            else
                appendPrintf(out, p.text, text.c_str());
            break;
        }
        case TemplatePiece::Real:
            if (p.conv == 's') {
                std::string text;
                appendPrintf(text, std::string("%f"), v.r);
                appendPrintf(out, p.text, text.c_str());
            } else {
                appendPrintf(out, p.text, v.r);
            }
            break;
        default: break;
        }
    }
}

}  // namespace

std::string TemplateError::text() const {
    if (line <= 0) return message;
    return std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

bool parseSheetTemplate(const std::string& text, SheetTemplate& out, TemplateError& error) {
    SheetTemplate t;
    t.name = out.name;
    try {
        TemplateParser(t).parse(text);
    } catch (const ParseFail& f) {
        error = TemplateError{f.line, f.column, f.message};
        return false;
    } catch (const std::exception&) {
        error = TemplateError{0, 0, "the template could not be read"};
        return false;
    }
    out = std::move(t);
    return true;
}

std::string renderSheetTemplate(const SheetTemplate& tmpl, const TemplateSheet& in) {
    const TemplateSheet* sheet = &in;
    TemplateSheet numbered;
    if (!in.keepIndex) {
        numbered = in;
        for (size_t k = 0; k < numbered.items.size(); ++k) numbered.items[k].index = int(k);
        sheet = &numbered;
    }
    static const TemplatePage kNoPage{};
    const TemplatePage* firstPage = sheet->pages.empty() ? &kNoPage : &sheet->pages.front();
    auto pageOf = [&](const TemplateItem& it) -> const TemplatePage* {
        for (const TemplatePage& p : sheet->pages)
            if (p.index == it.page) return &p;
        return firstPage;
    };
    // Items per page counted once, so that long lists stay linear.
    std::map<int, int> perPage;
    for (const TemplateItem& it : sheet->items) ++perPage[it.page];
    auto itemsOn = [&](const TemplatePage& p) {
        const auto f = perPage.find(p.index);
        return f == perPage.end() ? 0 : f->second;
    };
    const std::vector<TemplateBlock>& blocks = tmpl.blocks;
    auto findAfter = [&](size_t from, TemplateBlock::Kind k) -> const TemplateBlock* {
        for (size_t j = from + 1; j < blocks.size(); ++j) {
            if (blocks[j].kind == k) return &blocks[j];
            if (k == TemplateBlock::Separator && blocks[j].kind == TemplateBlock::Item) break;
            if (k == TemplateBlock::KerningSeparator && blocks[j].kind == TemplateBlock::Kerning)
                break;
        }
        return nullptr;
    };

    std::string out;
    Context base;
    base.sheet = sheet;
    base.page = firstPage;
    base.pageItems = sheet->pages.empty() ? int(sheet->items.size()) : itemsOn(*firstPage);

    // One item loop: every item, or those of one page.
    auto itemLoop = [&](size_t at, const TemplatePage* onlyPage, const Context& ctx) {
        const TemplateBlock* sep = findAfter(at, TemplateBlock::Separator);
        bool firstItem = true;
        for (size_t k = 0; k < sheet->items.size(); ++k) {
            const TemplateItem& it = sheet->items[k];
            if (onlyPage && it.page != onlyPage->index) continue;
            Context c = ctx;
            c.item = &it;
            c.itemIndex = it.index;
            c.page = onlyPage ? onlyPage : pageOf(it);
            c.pageItems = itemsOn(*c.page);
            if (!firstItem && sep) renderBlock(*sep, ctx, out);
            renderBlock(blocks[at], c, out);
            firstItem = false;
        }
    };

    for (size_t b = 0; b < blocks.size(); ++b) {
        const TemplateBlock& block = blocks[b];
        switch (block.kind) {
        case TemplateBlock::Header:
        case TemplateBlock::Text:
        case TemplateBlock::Footer: renderBlock(block, base, out); break;
        case TemplateBlock::Item: itemLoop(b, nullptr, base); break;
        case TemplateBlock::Kerning: {
            const TemplateBlock* sep = findAfter(b, TemplateBlock::KerningSeparator);
            for (size_t k = 0; k < sheet->kernings.size(); ++k) {
                if (k > 0 && sep) renderBlock(*sep, base, out);
                Context c = base;
                c.kerning = &sheet->kernings[k];
                c.kerningIndex = int(k);
                renderBlock(block, c, out);
            }
            break;
        }
        case TemplateBlock::Page: {
            // The loop runs from @page to its @page-footer; item blocks inside it list that
            // page's items.
            size_t end = b;
            while (end + 1 < blocks.size() && blocks[end].kind != TemplateBlock::PageFooter) ++end;
            if (blocks[end].kind != TemplateBlock::PageFooter) end = b;
            const TemplateBlock* sep = findAfter(b, TemplateBlock::PageSeparator);
            const std::vector<TemplatePage> none{TemplatePage{}};
            const std::vector<TemplatePage>& pages = sheet->pages.empty() ? none : sheet->pages;
            for (size_t pi = 0; pi < pages.size(); ++pi) {
                Context c = base;
                c.page = &pages[pi];
                c.pageItems = itemsOn(pages[pi]);
                if (pi > 0 && sep) renderBlock(*sep, c, out);
                for (size_t j = b; j <= end; ++j) {
                    switch (blocks[j].kind) {
                    case TemplateBlock::Item: itemLoop(j, &pages[pi], c); break;
                    case TemplateBlock::Kerning:
                    case TemplateBlock::Separator:
                    case TemplateBlock::PageSeparator:
                    case TemplateBlock::KerningSeparator: break;
                    default: renderBlock(blocks[j], c, out); break;
                    }
                }
            }
            b = end;
            break;
        }
        default: break;  // separators are written by their loops
        }
    }
    return out;
}

const BuiltinTemplate* findBuiltinTemplate(const std::string& name) {
    for (const BuiltinTemplate& t : builtinTemplates())
        if (name == t.name) return &t;
    return nullptr;
}

std::string builtinTemplateNames() {
    std::string names;
    for (const BuiltinTemplate& t : builtinTemplates())
        names += (names.empty() ? "" : ", ") + std::string(t.name);
    return names;
}

int loadSheetTemplate(const std::string& nameOrFile, SheetTemplate& out, TemplateError& error,
                      std::string* readPath) {
    if (readPath) readPath->clear();
    if (const BuiltinTemplate* b = findBuiltinTemplate(nameOrFile)) {
        out.name = b->name;
        if (!parseSheetTemplate(b->text, out, error)) return TEMPLATE_BAD;
        return TEMPLATE_OK;
    }
    std::ifstream in(nameOrFile, std::ios::binary);
    if (!in) {
        const int err = errno;
        const bool looksLikeFile = nameOrFile.find_first_of("/.") != std::string::npos;
        if (!looksLikeFile && err == ENOENT) {
            error = TemplateError{0, 0,
                                  "no built-in template named '" + nameOrFile +
                                      "' (built-ins: " + builtinTemplateNames() + ")"};
            return TEMPLATE_UNKNOWN;
        }
        error = TemplateError{0, 0,
                              "cannot read template file " + nameOrFile + ": " +
                                  std::strerror(err ? err : EIO)};
        return TEMPLATE_UNREADABLE;
    }
    if (readPath) *readPath = nameOrFile;
    std::string text;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, size_t(in.gcount()));
        if (text.size() > kMaxTemplateFile) {
            error = TemplateError{0, 0,
                                  "cannot read template file " + nameOrFile +
                                      ": larger than 4 MiB, not a template"};
            return TEMPLATE_UNREADABLE;
        }
    }
    if (in.bad()) {
        error = TemplateError{0, 0, "cannot read template file " + nameOrFile + ": read error"};
        return TEMPLATE_UNREADABLE;
    }
    out.name = nameOrFile;
    if (!parseSheetTemplate(text, out, error)) return TEMPLATE_BAD;
    return TEMPLATE_OK;
}

TemplateSheet templateSheetFromPositions(const PositionList& list, const std::vector<int>& order,
                                         int imageWidth, int imageHeight, const std::string& file,
                                         bool cp1252) {
    TemplateSheet sheet;
    sheet.pages.push_back(TemplatePage{0, file, imageWidth, imageHeight});
    auto add = [&](const PositionItem& p) {
        TemplateItem it;
        it.x = p.rect.left;
        it.y = p.rect.top;
        it.w = int(uint32_t(p.rect.right) - uint32_t(p.rect.left));
        it.h = int(uint32_t(p.rect.bottom) - uint32_t(p.rect.top));
        it.name = cp1252 ? fontCp1252ToUtf8(p.name) : p.name;
        it.duration = p.durationMs;
        sheet.items.push_back(std::move(it));
    };
    if (order.empty())
        for (int i = 0; i < list.count(); ++i) add(list.at(i));
    else
        for (int i : order)
            if (list.validIndex(i)) add(list.at(i));
    return sheet;
}

TemplateSheet templatePreviewSheet(int sortMode) {
    PositionList samples;
    samples.append(TxRect{10, 10, 32, 32}, "flair1");
    samples.append(TxRect{40, 30, 50, 40}, "armor7");
    samples.append(TxRect{37, 10, 67, 26}, "shot_3");
    TemplateSheet sheet = templateSheetFromPositions(samples, generationOrder(samples, sortMode),
                                                     256, 256, "sheet.png");
    for (size_t k = 0; k < sheet.items.size(); ++k) sheet.items[k].codePoint = 'A' + int(k);
    return sheet;
}

std::string builtinTemplatePreview(const std::string& name, int sortMode) {
    const BuiltinTemplate* b = findBuiltinTemplate(name);
    SheetTemplate t;
    TemplateError e;
    if (!b || !parseSheetTemplate(b->text, t, e)) return {};
    return renderSheetTemplate(t, templatePreviewSheet(sortMode));
}
