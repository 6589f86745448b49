#include "texlib/palette_file.h"

#include <array>
#include <cstring>

#include "texlib/bytes.h"

namespace {

constexpr size_t kLineBytes = 2048;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One decimal number as "%d" reads it (leading white space, optional sign, digits), clamped to
// 0..255: components outside the byte range are folded to its nearest end rather than wrapped.
bool parseComponent(const char*& p, uint32_t& out) {
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < 100000) v = v * 10 + (*p - '0');
        ++p;
    }
    if (negative) v = -v;
    out = uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
    return true;
}

// "%d %d %d": red, green and blue; anything after the third number is ignored (GIMP colour names).
bool parseRgb(const char* line, uint32_t& colour) {
    uint32_t r = 0, g = 0, b = 0;
    const char* p = line;
    if (!parseComponent(p, r) || !parseComponent(p, g) || !parseComponent(p, b)) return false;
    colour = r | (g << 8) | (b << 16);
    return true;
}

bool startsWith(const char* s, const char* prefix) {
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

TxPaletteResult readJasc(TxStream& s, uint32_t* entries) {
    TxPaletteResult res{TX_PAL_OK, TX_PAL_KIND_JASC, 0};
    char line[kLineBytes];
    if (!s.readLine(line, sizeof line) || !startsWith(line, "JASC-PAL")) {
        res.status = TX_PAL_BAD_JASC;
        return res;
    }
    // Version and colour count; the colours themselves say how many there are.
    s.readLine(line, sizeof line);
    s.readLine(line, sizeof line);
    while (res.entries < 256 && s.readLine(line, sizeof line)) {
        uint32_t c;
        if (!parseRgb(line, c)) {
            res.status = TX_PAL_BAD_JASC;
            return res;
        }
        entries[res.entries++] = c;
    }
    return res;
}

TxPaletteResult readGimp(TxStream& s, uint32_t* entries) {
    TxPaletteResult res{TX_PAL_OK, TX_PAL_KIND_GIMP, 0};
    char line[kLineBytes];
    if (!s.readLine(line, sizeof line) || !startsWith(line, "GIMP Palette")) {
        res.status = TX_PAL_BAD_GIMP;
        return res;
    }
    // The header lines "Name:" and "Columns:" are each optional, so they are recognised by their
    // keys rather than skipped by count (skipping two lines would eat a colour when one is absent).
    while (res.entries < 256 && s.readLine(line, sizeof line)) {
        if (line[0] == '#') continue;
        if (res.entries == 0 && (startsWith(line, "Name:") || startsWith(line, "Columns:")))
            continue;
        uint32_t c;
        if (!parseRgb(line, c)) {
            res.status = TX_PAL_BAD_GIMP;
            return res;
        }
        entries[res.entries++] = c;
    }
    return res;
}

TxPaletteResult readRiff(const uint8_t* data, size_t size, uint32_t* entries) {
    TxPaletteResult res{TX_PAL_OK, TX_PAL_KIND_RIFF, 0};
    // Only 256-colour palettes: RIFF size 1040, "PAL ", "data", then 8 bytes (data size, version,
    // colour count) and 256 entries of red, green, blue and flags.
    if (size < 24 + 1024 || std::memcmp(data, "RIFF", 4) != 0 || getLe32(data + 4) != 1040 ||
        std::memcmp(data + 8, "PAL ", 4) != 0 || std::memcmp(data + 12, "data", 4) != 0) {
        res.status = TX_PAL_BAD_RIFF;
        return res;
    }
    for (int i = 0; i < 256; ++i) entries[i] = getLe32(data + 24 + 4 * i);
    res.entries = 256;
    return res;
}

TxPaletteResult readBitmap(const uint8_t* data, size_t size, uint32_t* entries) {
    TxPaletteResult res{TX_PAL_OK, TX_PAL_KIND_BMP, 0};
    if (size < 14 + 40 || data[0] != 'B' || data[1] != 'M') {
        res.status = TX_PAL_BAD_BMP;
        return res;
    }
    const uint8_t* info = data + 14;
    const uint32_t headerSize = getLe32(info);
    const unsigned bits = unsigned(info[14] | (info[15] << 8));
    if (bits != 8) {
        res.status = TX_PAL_BAD_BMP_BITS;
        return res;
    }
    uint32_t used = getLe32(info + 32);
    if (used == 0 || used > 256) used = 256;  // a table never holds more than 256 colours
    // The table follows the information header, whose size grew in later bitmap versions.
    const uint64_t tableStart = 14 + uint64_t(headerSize < 40 ? 40 : headerSize);
    if (tableStart + uint64_t(used) * 4 > size) {
        res.status = TX_PAL_BAD_BMP;
        return res;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        if (i < used) {
            const uint8_t* e = data + tableStart + 4 * i;
            entries[i] = uint32_t(e[2]) | (uint32_t(e[1]) << 8) | (uint32_t(e[0]) << 16);
        } else {
            entries[i] = 0;
        }
    }
    res.entries = 256;
    return res;
}

TxPaletteResult readRaw(const uint8_t* data, uint32_t* entries) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = data + 3 * i;
        entries[i] = uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16);
    }
    return {TX_PAL_OK, TX_PAL_KIND_RAW, 256};
}

struct PaletteTable {
    std::array<uint32_t, 256> argb{};
};

}  // namespace

TxPaletteResult txParsePalette(const uint8_t* data, size_t size, uint32_t entries[256],
                               bool asBitmap) {
    TxStream s(data, size);
    if (size >= 4 && std::memcmp(data, "JASC", 4) == 0) return readJasc(s, entries);
    if (size >= 4 && std::memcmp(data, "GIMP", 4) == 0) return readGimp(s, entries);
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) return readRiff(data, size, entries);
    if (asBitmap) return readBitmap(data, size, entries);
    if (size == 768 || size == 772) return readRaw(data, entries);
    TxPaletteResult res;
    res.status = TX_PAL_BAD_SIZE;
    return res;
}

const char* txPaletteStatusText(TxPaletteStatus status) {
    switch (status) {
    case TX_PAL_OK: return "";
    case TX_PAL_BAD_JASC: return "Invalid JASC PAL data";
    case TX_PAL_BAD_GIMP: return "Invalid GIMP PAL data";
    case TX_PAL_BAD_RIFF: return "Invalid RIFF Pal data";
    case TX_PAL_BAD_BMP: return "BMP invalid header";
    case TX_PAL_BAD_BMP_BITS: return "BMP wrong bitsize, expected 8bit Pal BMP";
    case TX_PAL_BAD_SIZE: return "Wrong filesize, invalid palette file";
    }
    return "";
}

bool paletteProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    uint32_t entries[256] = {};
    const TxPaletteResult res = txParsePalette(s.data(), s.size(), entries, false);
    if (res.status != TX_PAL_OK) {
        // A file that begins as a palette of a kind is reported as one; the others (most files
        // that reach this last probe) are simply not palettes and get no message.
        const bool riffPal = s.size() >= 12 && std::memcmp(s.data(), "RIFF", 4) == 0 &&
                             std::memcmp(s.data() + 8, "PAL ", 4) == 0;
        if (res.status == TX_PAL_BAD_JASC || res.status == TX_PAL_BAD_GIMP ||
            (res.status == TX_PAL_BAD_RIFF && riffPal)) {
            ctx.matched = 3;
            txReportError(ctx, txPaletteStatusText(res.status), 1);
        }
        return false;
    }
    PaletteTable table;
    // Every kind ends up as 0xAARRGGBB, the layout of a p8 record's palette, so the swatches show
    // the file's colours whatever the file kind; opaque, as swatches are there to be seen (a RIFF
    // entry's flags byte is no alpha).
    for (int i = 0; i < 256; ++i)
        table.argb[size_t(i)] = 0xFF000000u | (txColorRefToArgb(entries[i]) & 0xFFFFFFu);
    mip.format = TX_FMT_P8;
    mip.width = 16;
    mip.height = 16;
    mip.depth = 1;
    mip.size = 256;
    ctx.state = table;
    return true;
}

bool paletteBody(TxStream& /*s*/, TxReadContext& ctx, TxMip& mip) {
    const auto* table = std::any_cast<PaletteTable>(&ctx.state);
    if (!table || !mip.data[0] || mip.size != 256) return false;
    std::memcpy(mip.pal, table->argb.data(), sizeof mip.pal);
    for (int i = 0; i < 256; ++i) mip.data[0][i] = uint8_t(i);
    return true;
}
