#include "tools/codegen/format_string.h"

#include <charconv>
#include <cstdio>
#include <cstring>

const char* const kStandardFormat = "\"{%d,%d,%d,%d},\t//%s\r\n\"\r\n,x1, y1, x2, y2, name";
const char* const kNewPresetFormat = "\"{%d,%d,%d,%d},\t//%s\r\n\"\r\n,x1, y1, w, h, name";

namespace {

struct ArgName {
    const char* name;
    char code;
};

constexpr ArgName kArgNames[] = {
    {"x1", 'a'}, {"y1", 'b'}, {"x2", 'c'}, {"y2", 'd'}, {"index", 'i'}, {"name", 'n'},
    {"w", 'w'},  {"h", 'h'},  {"s", 's'},  {"t", 't'},  {"u", 'u'},     {"v", 'v'},
};

FormatPiece::Kind kindOf(char code) {
    switch (code) {
    case 'n': return FormatPiece::Text;
    case 's':
    case 't':
    case 'u':
    case 'v': return FormatPiece::Real;
    default: return FormatPiece::Integer;
    }
}

bool fits(FormatPiece::Kind kind, char conv) {
    switch (kind) {
    case FormatPiece::Integer: return conv != 0 && std::strchr("diouxX", conv) != nullptr;
    case FormatPiece::Text: return conv == 's';
    // Reals arrive as "%f" text in the classic generator, so a text conversion prints them too.
    case FormatPiece::Real: return conv != 0 && std::strchr("fFeEgGs", conv) != nullptr;
    default: return false;
    }
}

std::string trimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

void appendLiteral(std::vector<FormatPiece>& pieces, const char* p, size_t n) {
    if (n == 0) return;
    if (pieces.empty() || pieces.back().kind != FormatPiece::Literal) pieces.emplace_back();
    pieces.back().text.append(p, n);
}

// Turns the template into literal pieces and checked conversions, one per argument code. Only
// flags, a width and a precision (each at most 1023) and a conversion letter that fits the
// argument's kind are let through; everything else (%n, %*d, %1$d, length modifiers, a lone %)
// is refused, so the C library only ever sees conversions we built ourselves.
std::vector<FormatPiece> compileTemplate(const std::string& t, const std::string& codes) {
    std::vector<FormatPiece> pieces;
    size_t arg = 0, i = 0, lit = 0;
    const size_t n = t.size();
    while (i < n) {
        if (t[i] != '%') {
            ++i;
            continue;
        }
        appendLiteral(pieces, t.data() + lit, i - lit);
        if (i + 1 < n && t[i + 1] == '%') {
            appendLiteral(pieces, "%", 1);
            i += 2;
            lit = i;
            continue;
        }
        const size_t start = i;
        size_t p = i + 1;
        std::string flags;
        while (p < n && t[p] != 0 && std::strchr("-+ #0", t[p]) != nullptr) flags += t[p++];
        bool tooWide = false;
        auto digits = [&](std::string& into) {
            long v = 0;
            while (p < n && t[p] >= '0' && t[p] <= '9') {
                if (v <= long(kMaxItemText)) v = v * 10 + (t[p] - '0');
                into += t[p++];
            }
            if (v > long(kMaxItemText)) tooWide = true;
        };
        std::string width, precision;
        digits(width);
        bool hasPrecision = false;
        if (p < n && t[p] == '.') {
            hasPrecision = true;
            ++p;
            digits(precision);
        }
        const char conv = p < n ? t[p] : 0;
        const std::string written = t.substr(start, p < n ? p - start + 1 : n - start);
        if (arg >= codes.size()) throw parse_error(PE_EXCEPTION, "Exception raised");
        const char code = codes[arg];
        FormatPiece piece;
        piece.kind = kindOf(code);
        piece.code = code;
        piece.conv = conv;
        if (conv == 0 || std::strchr("diouxXfFeEgGs", conv) == nullptr)
            throw parse_error(PE_CONVERSION, written + "\tinvalid conversion");
        if (tooWide) throw parse_error(PE_CONVERSION, written + "\twidth or precision above 1023");
        if (!fits(piece.kind, conv))
            throw parse_error(PE_CONVERSION, written + "\tinvalid type for " + formatArgName(code));
        piece.plain = flags.empty() && width.empty() && !hasPrecision &&
                      conv == (piece.kind == FormatPiece::Integer ? 'd'
                               : piece.kind == FormatPiece::Text  ? 's'
                                                                  : 'f');
        piece.text = "%" + flags + width + (hasPrecision ? "." + precision : "") + conv;
        pieces.push_back(std::move(piece));
        ++arg;
        i = p + 1;
        lit = i;
    }
    appendLiteral(pieces, t.data() + lit, n - lit);
    if (arg != codes.size()) throw parse_error(PE_EXCEPTION, "Exception raised");
    return pieces;
}

ParsedFormat parseImpl(const std::string& editText) {
    if (editText.size() < 7) throw parse_error(PE_LENGTH, "invalid lenght");
    std::string text;
    text.reserve(editText.size());
    for (char c : editText)
        if (c != '\t' && c != '\r' && c != '\n') text += c;

    std::string templ, args;
    const size_t q = text.rfind('"');
    if (q != std::string::npos) {
        templ = trimBlanks(text.substr(0, q + 1));
        args = trimBlanks(text.substr(q + 1));
    }
    if (templ.size() < 4 || args.size() < 3) throw parse_error(PE_LENGTH, "invalid lenght");
    if (templ.front() != '"' || templ.back() != '"')
        throw parse_error(PE_DELIMITER, "invalid delimiter in formatstring");
    if (args[0] != ',') throw parse_error(PE_COMMA, "missing comma in argumentlist");

    static const char allowed[] = "x1x2y1y2indexnamewhstuv,";
    for (char& c : args)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i] == 0 || (args[i] != ' ' && std::strchr(allowed, args[i]) == nullptr))
            throw parse_error(PE_CHAR, args.substr(i) + "\tinvalid char");

    const std::string inner = templ.substr(1, templ.size() - 2);
    std::string rewritten = inner;
    int conversions = 0;
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] != '%') continue;
        if (i + 1 < inner.size() && inner[i + 1] == '%') {
            ++i;
            continue;
        }
        ++conversions;
        if (i + 1 < inner.size() && inner[i + 1] == 'f') rewritten[i + 1] = 's';
    }
    if (conversions == 0) throw parse_error(PE_NO_TYPES, "no %%types found in formatstring");

    std::string codes, name;
    auto close = [&] {
        if (name.empty()) return;
        for (const ArgName& a : kArgNames)
            if (name == a.name) {
                codes += a.code;
                name.clear();
                return;
            }
        throw parse_error(PE_UNKNOWN_ARG, name + "\tunknown arg");
    };
    for (char c : args) {
        if (c == ' ') continue;
        if (c == ',') {
            close();
            continue;
        }
        name += c;
        if (name.size() >= 8)
            throw parse_error(PE_UNKNOWN_ARG, name.substr(0, 7) + "\tunknown arg");
    }
    close();

    if (size_t(conversions) != codes.size()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%d formattypes do not match %d args", conversions,
                      int(codes.size()));
        throw parse_error(PE_COUNT, buf);
    }
    if (codes.size() > size_t(kMaxFormatArgs))
        throw parse_error(PE_TOO_MANY_ARGS,
                          std::to_string(codes.size()) + " args\ttoo many args (at most 12)");

    ParsedFormat f;
    f.pieces = compileTemplate(inner, codes);
    f.templ = std::move(rewritten);
    f.codes = std::move(codes);
    f.ok = true;
    return f;
}

// Appends snprintf output of one checked conversion; false when it does not fit the buffer.
template <typename T> bool appendConversion(std::string& out, const std::string& spec, T value) {
    char buf[kMaxItemText + 2];
    const int k = std::snprintf(buf, sizeof buf, spec.c_str(), value);
    if (k < 0 || size_t(k) >= sizeof buf) return false;
    out.append(buf, size_t(k));
    return true;
}

}  // namespace

const char* formatArgName(char code) {
    for (const ArgName& a : kArgNames)
        if (a.code == code) return a.name;
    return "";
}

std::string parseErrorText(const std::string& detail) {
    return "Error parsing formatstring\r\nError near : " + detail;
}

std::string escapeFormat(const std::string& s) {
    const size_t lastQuote = s.rfind('"');
    std::string out;
    out.reserve(s.size() + 16);
    bool inside = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            if (!inside) {
                out += c;
                inside = true;
            } else if (i < lastQuote) {
                out += "\\\"";  // a quote inside the template, not its closing one
            } else {
                out += c;
                inside = false;
            }
        } else if (inside && c == '\t') {
            out += "\\t";
        } else if (inside && c == '\n') {
            out += "\\n";
        } else if (inside && c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescapeFormat(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    const size_t n = s.size();
    size_t i = 0;
    while (i + 1 < n) {
        if (s[i] == '\\') {
            switch (s[i + 1]) {
            case 't':
                out += '\t';
                i += 2;
                continue;
            case 'n':
                out += "\r\n";
                i += 2;
                continue;
            case '"':
                out += '"';
                i += 2;
                continue;
            case 'r': i += 2; continue;
            default: break;
            }
        }
        out += s[i++];
    }
    if (i < n) out += s[i];
    return out;
}

ParsedFormat parseFormat(const std::string& editText) {
    try {
        return parseImpl(editText);
    } catch (const parse_error&) {
        throw;
    } catch (const std::exception&) {
        throw parse_error(PE_EXCEPTION, "Exception raised");
    }
}

bool formatItem(const ParsedFormat& format, const TxRect& rect, const std::string& name, int index,
                int imageWidth, int imageHeight, std::string& out) {
    if (!format.ok) return false;
    const size_t start = out.size();
    const double fx = 1.0 / (imageWidth < 1 ? 1 : imageWidth);
    const double fy = 1.0 / (imageHeight < 1 ? 1 : imageHeight);
    // Names end at a zero byte, as C strings do.
    const char* cname = name.c_str();
    bool ok = true;
    for (const FormatPiece& p : format.pieces) {
        switch (p.kind) {
        case FormatPiece::Literal: out += p.text; break;
        case FormatPiece::Integer: {
            int32_t v = 0;
            switch (p.code) {
            case 'a': v = rect.left; break;
            case 'b': v = rect.top; break;
            case 'c': v = rect.right; break;
            case 'd': v = rect.bottom; break;
            case 'i': v = index; break;
            // Sizes wrap in 32 bits rather than overflow on absurd rectangles.
            case 'w': v = int32_t(uint32_t(rect.right) - uint32_t(rect.left)); break;
            case 'h': v = int32_t(uint32_t(rect.bottom) - uint32_t(rect.top)); break;
            default: break;
            }
            if (p.plain) {
                char buf[16];
                const auto r = std::to_chars(buf, buf + sizeof buf, v);
                out.append(buf, size_t(r.ptr - buf));
            } else if (p.conv == 'd' || p.conv == 'i') {
                ok = appendConversion(out, p.text, int(v));
            } else {
                ok = appendConversion(out, p.text, unsigned(uint32_t(v)));
            }
            break;
        }
        case FormatPiece::Text:
            if (p.plain)
                out += cname;
            else
                ok = appendConversion(out, p.text, cname);
            break;
        case FormatPiece::Real: {
            double v = 0;
            switch (p.code) {
            case 's': v = fx * rect.left; break;
            case 't': v = fy * rect.top; break;
            case 'u': v = fx * rect.right; break;
            case 'v': v = fy * rect.bottom; break;
            default: break;
            }
            static const std::string kPlainReal = "%f";
            if (p.plain || p.conv != 's') {
                ok = appendConversion(out, p.plain ? kPlainReal : p.text, v);
            } else {
                // The real as six-decimal text, then the text conversion as written.
                std::string text;
                ok = appendConversion(text, kPlainReal, v) &&
                     appendConversion(out, p.text, text.c_str());
            }
            break;
        }
        }
        if (!ok || out.size() - start > kMaxItemText) {
            out.resize(start);
            return false;
        }
    }
    return true;
}
