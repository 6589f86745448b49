#include "texlib/tex3df.h"

#include <algorithm>
#include <cstring>

#include "texlib/dds.h"
#include "texlib/ktx2.h"
#include "texlib/mip_filter.h"
#include "texlib/quantize.h"
#include "texlib/resample.h"

namespace {

bool isTableYiq(int f) { return f == TX_FMT_YIQ || f == TX_FMT_AYIQ8422; }
bool isTablePal(int f) { return f == TX_FMT_P8 || f == TX_FMT_AP88; }

// A p8 texture has no alpha of its own, and the exporter's palettes carry alpha 0: read such a
// palette as opaque, or the texture would open fully transparent. Palettes that do carry alpha
// somewhere keep it.
void opaquePaletteWithoutAlpha(TxMip& mip) {
    if (mip.format != TX_FMT_P8) return;
    for (uint32_t v : mip.pal)
        if (v >> 24) return;
    for (uint32_t& v : mip.pal) v |= 0xFF000000u;
}

// Formats the export can produce and a header can name.
bool exportableFormat(int f) {
    return f >= TX_FMT_RGB332 && f <= TX_FMT_ARGB8888 && f != TX_FMT_RSVD1 && f != TX_FMT_RSVD2 &&
           f != TX_FMT_RSVD4;
}

int fail(TxExportReport* report, int code, const std::string& text) {
    if (report) report->error = text;
    return code;
}

int largerSide(const TxMip& m, int level) {
    int w = 0, h = 0;
    txMipLevelSize(m, level, w, h);
    return std::max(w, h);
}

// Table size word of the TEX header for the YIQ formats: 112 bytes (the Y and I rows) is the
// layout every TEX reader expects; the whole table (Q rows too) is 160, written only on request.
// The reader takes either by the header's word.
constexpr uint32_t kTexYiqTable = 160;
constexpr uint32_t kTexYiqTableShort = 112;

// Emits header, table and texel data in order through sink(bytes, count); false when the sink
// fails. Data goes out in slices so a large texture is never held twice.
template <typename Sink>
bool emitTexture(const TxMip& tex, const TxExportOptions& opt, Sink&& sink) {
    if (opt.output == TX_OUTPUT_DDS)
        return txDdsWrite(tex, TxDdsOptions{opt.srgb != 0, opt.premultiply != 0}, sink);
    if (opt.output == TX_OUTPUT_KTX2)
        return txKtx2Write(tex, TxKtx2Options{opt.srgb != 0, opt.premultiply != 0}, sink);
    std::vector<uint8_t> buf;
    auto be16 = [&](uint32_t v) {
        buf.push_back(uint8_t(v >> 8));
        buf.push_back(uint8_t(v));
    };
    auto be32 = [&](uint32_t v) {
        be16(v >> 16);
        be16(v & 0xFFFF);
    };
    auto le32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k) buf.push_back(uint8_t(v >> (8 * k)));
    };
    const bool tex16le = opt.output == TX_OUTPUT_TEX || opt.swap != 0;
    if (opt.output == TX_OUTPUT_TEX) {
        le32(uint32_t(txLodCode(largerSide(tex, tex.depth - 1))));
        le32(uint32_t(txLodCode(largerSide(tex, 0))));
        le32(uint32_t(txAspectCode(tex.width, tex.height)));
        le32(uint32_t(tex.format));
        const uint32_t yiqBytes = opt.fullYiqTable ? kTexYiqTable : kTexYiqTableShort;
        le32(isTableYiq(tex.format) ? yiqBytes : isTablePal(tex.format) ? 1024u : 0u);
        if (isTableYiq(tex.format))
            for (uint32_t k = 0; k < yiqBytes / 4; ++k) le32(tex.pal[k]);
        else if (isTablePal(tex.format))
            for (int k = 0; k < 256; ++k) le32(tex.pal[k]);
    } else {
        if (opt.output == TX_OUTPUT_3DF) {
            const std::string h = tx3dfHeader(tex, opt.comment != 0, opt.commentText);
            buf.insert(buf.end(), h.begin(), h.end());
        }
        if (isTableYiq(tex.format)) {
            const TxNccTable t = txNccFromPal(tex.pal);
            for (int k = 0; k < 16; ++k) be16(uint32_t(t.y[k]) & 0xFF);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) be16(uint32_t(t.i[r][c]) & 0xFFFF);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) be16(uint32_t(t.q[r][c]) & 0xFFFF);
        } else if (isTablePal(tex.format)) {
            for (int k = 0; k < 256; ++k) be32(tex.pal[k]);
        }
    }
    if (!sink(buf.data(), buf.size())) return false;

    const int bpt = txBytesPerTexel(tex.format);
    const size_t total = size_t(tex.size);
    if (bpt == 1) return sink(tex.data[0], total);
    constexpr size_t kSlice = 1 << 16;
    std::vector<uint8_t> out(kSlice);
    const uint8_t* p = tex.data[0];
    for (size_t done = 0; done < total;) {
        const size_t n = std::min(kSlice, total - done);
        if (bpt == 2) {
            for (size_t k = 0; k < n; k += 2) {
                const uint16_t v = uint16_t(p[done + k] | (p[done + k + 1] << 8));
                out[k] = uint8_t(tex16le ? v : v >> 8);
                out[k + 1] = uint8_t(tex16le ? v >> 8 : v);
            }
        } else {
            // 32-bit texels are big-endian in every layout.
            for (size_t k = 0; k < n; k += 4) {
                out[k] = p[done + k + 3];
                out[k + 1] = p[done + k + 2];
                out[k + 2] = p[done + k + 1];
                out[k + 3] = p[done + k];
            }
        }
        if (!sink(out.data(), n)) return false;
        done += n;
    }
    return true;
}

// --- a small scanf for the 3DF header, bounded by the stream ---

void skipSpace(TxStream& s) {
    while (!s.atEnd()) {
        const uint8_t c = *s.current();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') break;
        s.skip(1);
    }
}

bool literal(TxStream& s, const char* text) {
    for (const char* p = text; *p; ++p) {
        if (*p == ' ') {
            skipSpace(s);
            continue;
        }
        if (s.getByte() != uint8_t(*p)) return false;
    }
    return true;
}

bool word(TxStream& s, size_t maxLen, std::string& out) {
    skipSpace(s);
    out.clear();
    while (out.size() < maxLen && !s.atEnd()) {
        const uint8_t c = *s.current();
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') break;
        out.push_back(char(c));
        s.skip(1);
    }
    return !out.empty();
}

// %i: optional sign, then 0x hexadecimal, 0 octal or decimal.
bool integer(TxStream& s, long& out) {
    skipSpace(s);
    bool neg = false;
    if (!s.atEnd() && (*s.current() == '-' || *s.current() == '+')) {
        neg = *s.current() == '-';
        s.skip(1);
    }
    int base = 10;
    bool digits = false;
    if (!s.atEnd() && *s.current() == '0') {
        s.skip(1);
        digits = true;
        base = 8;
        if (!s.atEnd() && (*s.current() == 'x' || *s.current() == 'X')) {
            s.skip(1);
            base = 16;
            digits = false;
        }
    }
    long v = 0;
    while (!s.atEnd()) {
        const int c = *s.current();
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= base) break;
        // Anything this large is refused later; clamping keeps the arithmetic defined.
        v = std::min<long>(v * base + d, 1L << 40);
        digits = true;
        s.skip(1);
    }
    out = neg ? -v : v;
    return digits;
}

bool reject(TxReadContext& ctx, const char* text, int fatal = 0) {
    txReportError(ctx, text, fatal);
    return false;
}

// Largest side a 3DF header may name: the writer accepts any power of two within the size limits,
// so the reader does too.
constexpr long kMaxSide = TX_MAX_SIDE;

bool levelZero(int aspectCode, int large, int& w, int& h) {
    switch (aspectCode) {
    case 0: w = large, h = large / 8; break;
    case 1: w = large, h = large / 4; break;
    case 2: w = large, h = large / 2; break;
    case 3: w = large, h = large; break;
    case 4: w = large / 2, h = large; break;
    case 5: w = large / 4, h = large; break;
    case 6: w = large / 8, h = large; break;
    default: return false;
    }
    return w >= 1 && h >= 1;
}

int halvings(int large, int small) {
    int n = 0;
    while (large > small) {
        large /= 2;
        ++n;
    }
    return n;
}

struct TexState {
    uint32_t tableBytes = 0;
};

}  // namespace

std::vector<std::string> tx3dfCommentLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '\n' || (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) {
            if (c == '\r') ++k;
            if (lines.size() == 20) return lines;
            lines.emplace_back();
        } else if (c != '\r') {
            // A stray CR or LF inside a line would end the comment line early and break the
            // header, so only line breaks end lines.
            lines.back().push_back(c);
        }
    }
    return lines;
}

std::string tx3dfHeader(const TxMip& tex, bool comment, const std::string& commentText) {
    const char* name = txFormatName(tex.format);
    const char* aspect = txAspectText(txAspectCode(tex.width, tex.height));
    char tail[128];
    std::snprintf(tail, sizeof tail, "%s\nlod range: %d %d\naspect ratio: %s\n", name ? name : "",
                  largerSide(tex, tex.depth - 1), largerSide(tex, 0), aspect ? aspect : "");
    if (!comment) return std::string("3df v1.1\n") + tail;
    std::string h = "3df v1.1###";
    for (const auto& line : tx3dfCommentLines(commentText)) h += "#" + line + "\n";
    return h + "#\n" + tail;
}

bool txExportIsContainer(int output) { return output == TX_OUTPUT_DDS || output == TX_OUTPUT_KTX2; }

bool txExportOutputHolds(int output, int format, std::string* formats) {
    bool ok = exportableFormat(format);
    std::string list;
    if (output == TX_OUTPUT_DDS) {
        ok = ok && txDdsCanHold(format);
        list = txDdsFormatList();
    } else if (output == TX_OUTPUT_KTX2) {
        ok = ok && txKtx2CanHold(format);
        list = txKtx2FormatList();
    }
    if (!ok && formats) *formats = list;
    return ok;
}

bool txExportOutputMarksSrgb(int output, int format, std::string* formats) {
    bool ok = false;
    std::string list;
    if (output == TX_OUTPUT_DDS) {
        ok = txDdsCanMarkSrgb(format);
        list = txDdsFormatList(true);
    } else if (output == TX_OUTPUT_KTX2) {
        ok = txKtx2CanMarkSrgb(format);
        list = txKtx2FormatList(true);
    }
    if (!ok && formats) *formats = list;
    return ok;
}

int txExportTexture(const TxMip& mip, const TxExportOptions& opt, TxMip& out,
                    TxExportReport* report) {
    txMipFree(out);
    if (mip.format != TX_FMT_ARGB8888 || !mip.data[0] || !txSizeAllowed(mip.width, mip.height))
        return fail(report, TX_EXPORT_BAD_INPUT, "the image to export is not a 32-bit ARGB image");
    if (!exportableFormat(opt.format))
        return fail(report, TX_EXPORT_BAD_INPUT, "unknown target pixel format");
    if (opt.output < TX_OUTPUT_RAW || opt.output > TX_OUTPUT_KTX2)
        return fail(report, TX_EXPORT_BAD_INPUT, "unknown output kind");
    if (!txMipFilterName(opt.mipFilter))
        return fail(report, TX_EXPORT_BAD_INPUT, "unknown mipmap filter");
    const bool container = txExportIsContainer(opt.output);
    const char* kind = opt.output == TX_OUTPUT_DDS ? "DDS" : "KTX2";
    std::string formats;
    if (!txExportOutputHolds(opt.output, opt.format, &formats))
        return fail(report, TX_EXPORT_BAD_FORMAT,
                    std::string(kind) + " files cannot hold " + txFormatName(opt.format) +
                        " texels; they hold " + formats);
    if (opt.srgb && !container)
        return fail(report, TX_EXPORT_BAD_FORMAT,
                    "3DF, TEX and raw files cannot mark a texture as sRGB; write DDS or KTX2");
    if (opt.srgb && !txExportOutputMarksSrgb(opt.output, opt.format, &formats))
        return fail(report, TX_EXPORT_BAD_FORMAT,
                    std::string(kind) + " files cannot mark " + txFormatName(opt.format) +
                        " texels as sRGB; they mark " + formats);

    // Work on a one-level copy: the caller's image never changes.
    TxMip work;
    if (!txMipInit(work, mip.width, mip.height, 1, TX_FMT_ARGB8888))
        return fail(report, TX_EXPORT_NO_MEMORY, "out of memory");
    std::memcpy(work.data[0], mip.data[0], size_t(work.size));
    // Before any averaging, so that resampling and mipmaps see the neighbours' colour.
    if (opt.alphaBleed) txAlphaBleed(work);

    if (opt.resample) {
        int tw = 0, th = 0;
        // DDS and KTX2 describe any size and ratio: automatic resampling there only rounds each
        // side down to a power of two.
        txExportResampleSize(work.width, work.height, opt.automatic != 0, opt.width, opt.height, tw,
                             th, container ? TX_CONTAINER_MAX_SIDE : 256, !container);
        if (!txSizeAllowed(tw, th))
            return fail(report, TX_EXPORT_BAD_INPUT, "the resampling size is out of range");
        if (tw != work.width || th != work.height) {
            TxMip scaled;
            if (!txMipInit(scaled, tw, th, 1, TX_FMT_ARGB8888))
                return fail(report, TX_EXPORT_NO_MEMORY, "out of memory");
            txImageResize(scaled, work);
            work = std::move(scaled);
        }
    }
    if (container && std::max(work.width, work.height) > TX_CONTAINER_MAX_SIDE)
        return fail(report, TX_EXPORT_TOO_LARGE,
                    std::string(kind) + " exports hold sides of at most 16384 texels; resample "
                                        "the image");

    const bool pow2 = txIsPowerOfTwo(work.width) && txIsPowerOfTwo(work.height);
    const TxMipChainOptions chain{opt.mipFilter, opt.srgb != 0, opt.premultiply != 0};
    bool chained = false;
    if (opt.mipmap) {
        if (pow2) {
            const int count =
                txExportLevelCount(work.width, work.height, opt.allLevels != 0, opt.levelLimit);
            if (count > 1) {
                TxMip levels;
                if (!txMipInit(levels, work.width, work.height, count, TX_FMT_ARGB8888))
                    return fail(report, TX_EXPORT_NO_MEMORY, "out of memory");
                std::memcpy(levels.data[0], work.data[0],
                            size_t(work.width) * size_t(work.height) * 4);
                txMipBuildChain(levels, chain);
                chained = true;
                work = std::move(levels);
            }
        } else if (report) {
            report->warnings.emplace_back("Warning: Mipmapping disabled, not power of 2");
        }
    }
    if (!chained && opt.premultiply) txMipBuildChain(work, chain);
    // Today's containers take any side; 3DF and TEX need powers of two.
    if (!pow2 && !container)
        return fail(report, TX_EXPORT_NOT_POW2, "Abort: Not power of 2 on a side");

    if (opt.output == TX_OUTPUT_3DF || opt.output == TX_OUTPUT_TEX) {
        const int w = work.width, h = work.height;
        if (std::max(w, h) / std::min(w, h) > 8)
            return fail(
                report, TX_EXPORT_BAD_ASPECT,
                "the aspect ratio is beyond 8:1, which a 3DF or TEX header cannot describe");
        if (opt.output == TX_OUTPUT_TEX && std::max(w, h) > 256)
            return fail(
                report, TX_EXPORT_TOO_LARGE,
                "TEX files hold sides of at most 256 texels; resample the image or write 3DF");
    }

    if (!txMipInit(out, work.width, work.height, work.depth, opt.format))
        return fail(report, TX_EXPORT_NO_MEMORY, "out of memory");
    txQuantize(out, work, opt.format, opt.dither, opt.ncc);
    return TX_EXPORT_OK;
}

int txEncodeTexture(const TxMip& tex, const TxExportOptions& opt, std::vector<uint8_t>& bytes,
                    TxExportReport* report) {
    bytes.clear();
    if (!tex.data[0] || !exportableFormat(tex.format))
        return fail(report, TX_EXPORT_BAD_INPUT, "nothing to encode");
    if (!emitTexture(tex, opt, [&](const uint8_t* p, size_t n) {
            bytes.insert(bytes.end(), p, p + n);
            return true;
        }))
        return fail(report, TX_EXPORT_BAD_FORMAT, "the container cannot hold this texture");
    return TX_EXPORT_OK;
}

int txMipWrite3df(const TxMip& mip, const TxExportOptions& opt, const std::string& path,
                  TxExportReport* report) {
    TxMip tex;
    const int rc = txExportTexture(mip, opt, tex, report);
    if (rc != TX_EXPORT_OK) return rc;
    TxFileWriter f;
    if (!f.open(path))
        return fail(report, TX_EXPORT_CANNOT_CREATE,
                    "Unable to open output file. (" + f.error() + ")");
    if (!emitTexture(tex, opt, [&](const uint8_t* p, size_t n) { return f.write(p, n); }) ||
        !f.commit()) {
        const std::string why = f.error();
        f.abort();
        return fail(report, TX_EXPORT_WRITE_ERROR,
                    "the texture could not be written" +
                        (why.empty() ? std::string() : " (" + why + ")"));
    }
    return TX_EXPORT_OK;
}

// --- readers ------------------------------------------------------------------------------------

bool tdfProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    // The detection has consumed "3D" or "3d".
    std::string version, name;
    if (!literal(s, "f v") || !word(s, 6, version)) return reject(ctx, "3DF: bad magic or version");
    for (;;) {
        skipSpace(s);
        if (s.atEnd()) return reject(ctx, "3DF: unexpected end of file in the header");
        if (*s.current() != '#') break;
        while (true) {
            const int c = s.getByte();
            if (c < 0) return reject(ctx, "3DF: unexpected end of file in a comment");
            if (c == '\n') break;
        }
    }
    long small = 0, large = 0, aw = 0, ah = 0;
    if (!word(s, 10, name) || !literal(s, " lod range:") || !integer(s, small) ||
        !integer(s, large) || !literal(s, " aspect ratio:") || !integer(s, aw) || !integer(s, ah) ||
        s.getByte() < 0)
        return reject(ctx, "3DF: bad header");
    const int format = txFormatFromName(name.c_str());
    if (format < 0 || !exportableFormat(format))
        return reject(ctx, "3DF: unknown or reserved format name");
    auto sideOk = [](long v) { return v >= 1 && v <= kMaxSide && txIsPowerOfTwo(int(v)); };
    if (!sideOk(small) || !sideOk(large) || large < small) return reject(ctx, "3DF: bad lod range");
    int aspect = -1;
    const long pairs[7][2] = {{8, 1}, {4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}};
    for (int k = 0; k < 7; ++k)
        if (aw == pairs[k][0] && ah == pairs[k][1]) aspect = k;
    int w = 0, h = 0;
    if (aspect < 0 || !levelZero(aspect, int(large), w, h))
        return reject(ctx, "3DF: bad aspect ratio");
    const int depth = 1 + halvings(int(large), int(small));
    const int64_t size = txMipLevelBytes(format, w, h, depth);
    if (size <= 0) return reject(ctx, "3DF: image is too large");
    // The levels are stored as they are: a file shorter than its table and levels is refused
    // before anything is allocated for them.
    const uint64_t table = isTableYiq(format) ? 80 : isTablePal(format) ? 1024 : 0;
    if (uint64_t(s.remaining()) < table + uint64_t(size))
        return reject(ctx, "3DF: the file is shorter than its levels");
    mip.format = format;
    mip.width = w;
    mip.height = h;
    mip.depth = depth;
    mip.size = size;
    return true;
}

bool tdfBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    if (!mip.data[0]) return false;
    std::memset(mip.pal, 0, sizeof mip.pal);
    const int format = mip.format;
    if (isTableYiq(format)) {
        TxNccTable t{};
        uint16_t v[40];
        for (auto& x : v)
            if (!s.be16(x)) return reject(ctx, "Bad Ncc table\n");
        for (int k = 0; k < 16; ++k) t.y[k] = v[k] & 0xFF;
        for (int k = 0; k < 12; ++k) {
            t.i[k / 3][k % 3] = int16_t(v[16 + k]);
            t.q[k / 3][k % 3] = int16_t(v[28 + k]);
        }
        txNccToPal(t, mip.pal);
    } else if (isTablePal(format)) {
        for (auto& x : mip.pal)
            if (!s.be32(x)) return reject(ctx, "Bad Palette table\n");
        opaquePaletteWithoutAlpha(mip);
    }
    const int bpt = txBytesPerTexel(format);
    const size_t size = size_t(mip.size);
    if (s.remaining() < size)
        return reject(ctx, bpt == 1   ? "Bad 8 bit data"
                           : bpt == 2 ? "Bad 16 bit data"
                                      : "Bad 32 bit data");
    // Bytes after the last level are ignored: other tools pad their files.
    const uint8_t* p = s.current();
    uint8_t* d = mip.data[0];
    if (bpt == 1) {
        std::memcpy(d, p, size);
    } else if (bpt == 2) {
        for (size_t k = 0; k < size; k += 2) {
            d[k] = p[k + 1];
            d[k + 1] = p[k];
        }
    } else {
        for (size_t k = 0; k < size; k += 4) {
            d[k] = p[k + 3];
            d[k + 1] = p[k + 2];
            d[k + 2] = p[k + 1];
            d[k + 3] = p[k];
        }
    }
    s.skip(size);
    return true;
}

bool texProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint32_t smallCode = 0, largeCode = 0, aspect = 0, format = 0, table = 0;
    // Most files are not TEX files; failing here quietly keeps their own reader's message.
    if (!s.le32(smallCode) || !s.le32(largeCode) || !s.le32(aspect) || !s.le32(format) ||
        !s.le32(table))
        return false;
    if (format > TX_FMT_ARGB8888 || !exportableFormat(int(format)) || smallCode > 8 ||
        largeCode > 8 || aspect > 6)
        return false;
    const int small = 256 >> smallCode, large = 256 >> largeCode;
    if (small > large) return false;
    int w = 0, h = 0;
    if (!levelZero(int(aspect), large, w, h)) return false;
    uint32_t tableBytes = 0;
    if (isTableYiq(int(format))) {
        if (table != kTexYiqTable && table != kTexYiqTableShort) return false;
        tableBytes = table;
    } else if (isTablePal(int(format))) {
        if (table != 1024) return false;
        tableBytes = 1024;
    } else if (table != 0) {
        return false;
    }
    const int depth = 1 + halvings(large, small);
    const int64_t size = txMipLevelBytes(int(format), w, h, depth);
    if (size <= 0) return false;
    if (uint64_t(s.size()) != 20 + uint64_t(tableBytes) + uint64_t(size))
        return reject(ctx, "TEX: level sizes do not match the file length");
    mip.format = int(format);
    mip.width = w;
    mip.height = h;
    mip.depth = depth;
    mip.size = size;
    ctx.state = TexState{tableBytes};
    return true;
}

bool texBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* st = std::any_cast<TexState>(&ctx.state);
    if (!st || !mip.data[0]) return false;
    std::memset(mip.pal, 0, sizeof mip.pal);
    s.seek(20);
    for (uint32_t k = 0; k < st->tableBytes / 4; ++k)
        if (!s.le32(mip.pal[k])) return reject(ctx, "TEX: unexpected end of file in the table");
    opaquePaletteWithoutAlpha(mip);
    if (isTableYiq(mip.format)) {
        // Entries far outside what any NCC table holds would overflow the colour arithmetic.
        const TxNccTable t = txNccFromPal(mip.pal);
        bool ok = true;
        for (int k = 0; k < 16; ++k) ok = ok && t.y[k] >= 0 && t.y[k] <= 255;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                ok = ok && t.i[r][c] >= -256 && t.i[r][c] <= 255 && t.q[r][c] >= -256 &&
                     t.q[r][c] <= 255;
        if (!ok) return reject(ctx, "TEX: bad NCC table");
    }
    const size_t size = size_t(mip.size);
    if (s.remaining() != size) return reject(ctx, "TEX: level sizes do not match the file length");
    const uint8_t* p = s.current();
    uint8_t* d = mip.data[0];
    if (txBytesPerTexel(mip.format) == 4) {
        // The writer stores 32-bit texels big-endian here as in 3DF files.
        for (size_t k = 0; k < size; k += 4) {
            d[k] = p[k + 3];
            d[k + 1] = p[k + 2];
            d[k + 2] = p[k + 1];
            d[k + 3] = p[k];
        }
    } else {
        std::memcpy(d, p, size);
    }
    s.skip(size);
    return true;
}
