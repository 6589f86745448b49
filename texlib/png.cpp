#include "texlib/png.h"

#include <emmintrin.h>
#include <libdeflate.h>
#include <png.h>
#include <smmintrin.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

// libpng reports errors by longjmp. Every function below that calls setjmp keeps only plain values
// in its frame, so no destructor is ever skipped by the jump.

namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    TxStream* stream = nullptr;
    char message[128] = {};
    bool alpha = false;
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void storeMessage(char* dst, size_t cap, png_const_charp msg) {
    std::strncpy(dst, msg ? msg : "error", cap - 1);
    dst[cap - 1] = 0;
}

[[noreturn]] void readError(png_structp png, png_const_charp msg) {
    if (auto* r = static_cast<PngReader*>(png_get_error_ptr(png)))
        storeMessage(r->message, sizeof r->message, msg);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep out, size_t n) {
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (!r->stream || !r->stream->readExact(out, n)) png_error(png, "Unexpected end of file");
}

struct PngHeader {
    png_uint_32 width, height;
};

bool readHeader(PngReader* r, PngHeader* out) {
    png_structp png = r->png;
    png_infop info = r->info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, png_uint_32(TX_MAX_SIDE), png_uint_32(TX_MAX_SIDE));
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &w, &h, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    const bool tRNS = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    // The transparency chunk becomes alpha for every texel it names.
    if (tRNS) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // Images without alpha get 255 after the colour.
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    // B, G, R, A in memory is the record's little-endian 0xAARRGGBB word.
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8 ||
        png_get_rowbytes(png, info) != size_t(w) * 4)
        png_error(png, "unexpected pixel layout");
    r->alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || tRNS;
    out->width = w;
    out->height = h;
    return true;
}

bool readImage(PngReader* r, png_bytepp rows) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_read_image(r->png, rows);
    return true;
}

bool readEnd(PngReader* r) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_read_end(r->png, nullptr);
    return true;
}

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

bool failLibpng(TxReadContext& ctx, const PngReader& r) {
    const std::string text =
        std::string("PNG Image: ") + (r.message[0] ? r.message : "read error") + ".";
    return fail(ctx, text.c_str());
}

}  // namespace

namespace {

// The whole read through libpng: every colour type, depth and interlacing, and the judge of
// every file the direct reader below does not take on.
bool libpngProbe(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    s.rewind();
    auto r = std::make_shared<PngReader>();
    r->stream = &s;
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r.get(), readError, ignoreWarning);
    if (!r->png) return fail(ctx, "PNG Image: cannot create the read structure.");
    r->info = png_create_info_struct(r->png);
    if (!r->info) return fail(ctx, "PNG Image: cannot create the info structure.");
    png_set_read_fn(r->png, r.get(), readData);
#ifdef PNG_IGNORE_ADLER32
    // Every IDAT chunk's CRC already covers the compressed bytes; zlib's own Adler-32 over the
    // inflated rows would check them a second time at some 6% of a large read.
    png_set_option(r->png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    PngHeader h{};
    if (!readHeader(r.get(), &h)) return failLibpng(ctx, *r);
    if (h.width == 0 || h.height == 0) return fail(ctx, "PNG Image: width or height is 0.", 0);
    if (!txSizeAllowed(h.width, h.height)) return fail(ctx, "PNG Image: image is too large.", 0);
    mip.format = TX_FMT_ARGB8888;
    mip.width = int(h.width);
    mip.height = int(h.height);
    mip.depth = 1;
    mip.size = int64_t(h.width) * h.height * 4;
    ctx.state = std::shared_ptr<PngReader>(std::move(r));
    return true;
}

bool libpngBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    auto* held = std::any_cast<std::shared_ptr<PngReader>>(&ctx.state);
    if (!held || !*held || !mip.data[0]) return false;
    // The reader is released when this function returns, on every path.
    const std::shared_ptr<PngReader> r = std::move(*held);
    ctx.state.reset();
    r->stream = &s;
    std::vector<png_bytep> rows;
    try {
        rows.resize(size_t(mip.height));
    } catch (const std::bad_alloc&) {
        return fail(ctx, "Out of memory");
    }
    const size_t pitch = size_t(mip.width) * 4;
    for (int y = 0; y < mip.height; ++y) rows[size_t(y)] = mip.data[0] + size_t(y) * pitch;
    if (!readImage(r.get(), rows.data())) return failLibpng(ctx, *r);
    // The pixels are complete; trouble in the chunks after them does not spoil the image.
    readEnd(r.get());
    return true;
}

}  // namespace

// --- the direct reader ---------------------------------------------------------------------------
// The common files (8-bit RGBA, RGB, grey and grey-alpha, palette images of 1 to 8 bits, not
// interlaced) are read without libpng: the chunks are walked over the mapped file with every CRC
// checked, the whole image data is inflated by libdeflate in one call into a buffer of the known
// size, and the rows are unfiltered and laid out as B, G, R, A in one pass. Anything this reader
// does not expect (a bad checksum, a chunk out of place, data that do not inflate to exactly the
// image) sends the file to libpng, which then accepts or refuses it as it always did, with its
// own message.

namespace {

std::atomic<bool> gLibpngOnly{false};

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool isLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
// libpng's own limit for a chunk other than the image data.
constexpr uint32_t kMaxChunk = 8000000;

struct PngDirect {
    uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0;
    size_t firstIdat = 0;  // offset of the first IDAT chunk
    int paletteSize = 0;
    bool hasTrns = false;
    uint16_t key[3] = {};        // colour key of a grey or RGB image's tRNS
    uint32_t palette[256] = {};  // 0xAARRGGBB, alpha from tRNS
};

int channelsOf(int colourType) {
    switch (colourType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    default: return 4;
    }
}

// Walks the chunks before the image data. True with the layout filled when the direct reader
// takes the file; false when libpng should look at it.
bool scanHeader(const uint8_t* d, size_t n, PngDirect& L) {
    if (n < 8 || std::memcmp(d, kSignature, 8) != 0) return false;
    size_t pos = 8;
    bool ihdr = false, plte = false;
    for (;;) {
        if (n - pos < 8) return false;
        const uint32_t len = be32(d + pos);
        const uint8_t* type = d + pos + 4;
        if (len > 0x7FFFFFFFu) return false;
        for (int k = 0; k < 4; ++k)
            if (!isLetter(type[k])) return false;
        const bool isIhdr = std::memcmp(type, "IHDR", 4) == 0;
        if (!ihdr && !isIhdr) return false;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (L.colourType == 3 && !plte) return false;
            L.firstIdat = pos;
            return true;
        }
        if (len > kMaxChunk || n - pos - 8 < size_t(len) + 4) return false;
        const uint8_t* data = d + pos + 8;
        if (libdeflate_crc32(0, type, size_t(len) + 4) != be32(data + len)) return false;
        if (isIhdr) {
            if (ihdr || len != 13) return false;
            ihdr = true;
            L.width = be32(data);
            L.height = be32(data + 4);
            L.depth = data[8];
            L.colourType = data[9];
            // Compression, filter method and interlacing must be the plain ones.
            if (data[10] != 0 || data[11] != 0 || data[12] != 0) return false;
            if (L.width == 0 || L.height == 0 || L.width > uint32_t(TX_MAX_SIDE) ||
                L.height > uint32_t(TX_MAX_SIDE))
                return false;
            const bool eight = L.depth == 8;
            const bool palette =
                L.colourType == 3 && (L.depth == 1 || L.depth == 2 || L.depth == 4 || L.depth == 8);
            if (!palette && !(eight && (L.colourType == 0 || L.colourType == 2 ||
                                        L.colourType == 4 || L.colourType == 6)))
                return false;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            const uint32_t entries = len / 3;
            if (L.colourType != 3 || plte || L.hasTrns || len % 3 != 0 || entries == 0 ||
                entries > (1u << L.depth))
                return false;
            plte = true;
            L.paletteSize = int(entries);
            for (uint32_t k = 0; k < entries; ++k)
                L.palette[k] = 0xFF000000u | (uint32_t(data[3 * k]) << 16) |
                               (uint32_t(data[3 * k + 1]) << 8) | data[3 * k + 2];
            // Indices beyond the palette read as opaque black, as libpng gives them.
            for (uint32_t k = entries; k < 256; ++k) L.palette[k] = 0xFF000000u;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            if (L.hasTrns) return false;
            L.hasTrns = true;
            if (L.colourType == 3) {
                if (!plte || len == 0 || len > uint32_t(L.paletteSize)) return false;
                for (uint32_t k = 0; k < len; ++k)
                    L.palette[k] = (L.palette[k] & 0x00FFFFFFu) | (uint32_t(data[k]) << 24);
            } else if (L.colourType == 0 || L.colourType == 2) {
                const uint32_t want = L.colourType == 0 ? 2 : 6;
                if (len != want) return false;
                for (uint32_t k = 0; k < want / 2; ++k) {
                    L.key[k] = uint16_t((data[2 * k] << 8) | data[2 * k + 1]);
                    if (L.key[k] > 255) return false;
                }
            } else {
                return false;
            }
        } else if (!(type[0] & 0x20)) {
            return false;  // IEND before the image data, or a critical chunk of another kind
        }
        pos += 12 + size_t(len);
    }
}

// --- unfiltering; `bpp` is the filter's byte distance (bytes per pixel, at least 1) ---

inline __m128i load4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

inline void store4(uint8_t* p, __m128i v) {
    const int32_t x = _mm_cvtsi128_si32(v);
    std::memcpy(p, &x, 4);
}

inline __m128i load3(const uint8_t* p) {
    uint8_t t[4] = {p[0], p[1], p[2], 0};
    return load4(t);
}

inline void store3(uint8_t* p, __m128i v) {
    uint8_t t[4];
    store4(t, v);
    std::memcpy(p, t, 3);
}

inline __m128i abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

inline __m128i pick(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Pixels of 3 or 4 bytes, one pixel a step in 16-bit lanes.
template <int B> void unfilterPixels(int filter, uint8_t* row, const uint8_t* prev, size_t n) {
    auto load = [](const uint8_t* p) { return B == 4 ? load4(p) : load3(p); };
    auto store = [](uint8_t* p, __m128i v) {
        if (B == 4)
            store4(p, v);
        else
            store3(p, v);
    };
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero;
    if (filter == 1) {
        for (size_t i = 0; i + B <= n; i += B) {
            a = _mm_add_epi8(a, load(row + i));
            store(row + i, a);
        }
    } else if (filter == 3) {
        for (size_t i = 0; i + B <= n; i += B) {
            const __m128i b = load(prev + i);
            // Rounding average less the rounding: the floor of (a + b) / 2 per byte.
            const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b),
                                             _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
            a = _mm_add_epi8(load(row + i), avg);
            store(row + i, a);
        }
    } else if (filter == 4) {
        for (size_t i = 0; i + B <= n; i += B) {
            const __m128i b = _mm_unpacklo_epi8(load(prev + i), zero);
            const __m128i x = _mm_unpacklo_epi8(load(row + i), zero);
            // p = a + b - c; the distances |p - a| = |b - c|, |p - b| = |a - c|, |p - c|.
            const __m128i pa0 = _mm_sub_epi16(b, c), pb0 = _mm_sub_epi16(a, c);
            const __m128i pc = abs16(_mm_add_epi16(pa0, pb0));
            const __m128i pa = abs16(pa0), pb = abs16(pb0);
            const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
            // Ties go to a, then b, then c.
            const __m128i nearest =
                pick(_mm_cmpeq_epi16(smallest, pa), a, pick(_mm_cmpeq_epi16(smallest, pb), b, c));
            a = _mm_and_si128(_mm_add_epi16(x, nearest), _mm_set1_epi16(0xFF));
            store(row + i, _mm_packus_epi16(a, a));
            c = b;
        }
    }
}

// Paeth with SSE4.1 where the processor has it: the predictor's chain from one pixel to the next
// is what bounds this filter, and blends, absolute values and widening loads shorten it by a third.
// p - a = b - c is known before the left pixel is, so only |a - c| and |a + b - 2c| wait for it.
template <int B>
__attribute__((target("sse4.1"))) void unpaethSse41(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
    __m128i a = zero, c = zero;
    for (size_t i = 0; i + B <= n; i += B) {
        // Where four pixels above equal their left neighbours (flat art: a clear border, a
        // sprite shaded row by row), b = c and the predictor is the left pixel throughout: the
        // four are a running sum like Sub, with no chain through the comparisons.
        if (B == 4 && i >= 4 && (i & 15) == 4 && i + 16 <= n) {
            const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
            const __m128i aboveLeft =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i - 4));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(above, aboveLeft)) == 0xFFFF) {
                __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
                x = _mm_add_epi8(x, _mm_shuffle_epi32(_mm_packus_epi16(a, a), 0));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
                a = _mm_cvtepu8_epi16(_mm_shuffle_epi32(x, 0xFF));
                c = _mm_cvtepu8_epi16(_mm_srli_si128(above, 12));
                i += 12;
                continue;
            }
        }
        const __m128i b = _mm_cvtepu8_epi16(B == 4 ? load4(prev + i) : load3(prev + i));
        const __m128i x = _mm_cvtepu8_epi16(B == 4 ? load4(row + i) : load3(row + i));
        const __m128i e = _mm_sub_epi16(b, c);
        const __m128i pa = _mm_abs_epi16(e);
        const __m128i d = _mm_sub_epi16(a, c);
        const __m128i pb = _mm_abs_epi16(d);
        const __m128i pc = _mm_abs_epi16(_mm_add_epi16(d, e));
        // a unless pa is above pb or pc; then b unless pb is above pc; ties as the format says.
        const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i bOrC = _mm_blendv_epi8(b, c, _mm_cmpgt_epi16(pb, pc));
        a = _mm_and_si128(_mm_add_epi16(x, _mm_blendv_epi8(a, bOrC, notA)), low);
        if (B == 4)
            store4(row + i, _mm_packus_epi16(a, a));
        else
            store3(row + i, _mm_packus_epi16(a, a));
        c = b;
    }
}

const bool kHasSse41 = __builtin_cpu_supports("sse4.1");

void unfilterBytes(int filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
    if (filter == 1) {
        for (size_t i = bpp; i < n; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
    } else if (filter == 3) {
        for (size_t i = 0; i < bpp && i < n; ++i) row[i] = uint8_t(row[i] + (prev[i] >> 1));
        for (size_t i = bpp; i < n; ++i)
            row[i] = uint8_t(row[i] + ((unsigned(row[i - bpp]) + prev[i]) >> 1));
    } else if (filter == 4) {
        for (size_t i = 0; i < bpp && i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
        for (size_t i = bpp; i < n; ++i) {
            const int a = row[i - bpp], b = prev[i], c = prev[i - bpp];
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            row[i] = uint8_t(row[i] + pred);
        }
    }
}

void unfilterRow(int filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
    if (filter == 0) return;
    if (filter == 2) {
        size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(r, p));
        }
        for (; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
        return;
    }
    if (filter == 4 && kHasSse41 && (bpp == 4 || bpp == 3)) {
        if (bpp == 4)
            unpaethSse41<4>(row, prev, n);
        else
            unpaethSse41<3>(row, prev, n);
    } else if (bpp == 4)
        unfilterPixels<4>(filter, row, prev, n);
    else if (bpp == 3)
        unfilterPixels<3>(filter, row, prev, n);
    else
        unfilterBytes(filter, row, prev, n, bpp);
}

// R, G, B, A pixels to B, G, R, A words at `dst`, which lies at or before `src` in the same
// buffer: each piece is read before anything is written over it.
void swizzleDown(const uint8_t* src, uint8_t* dst, size_t pixels) {
    const __m128i ga = _mm_set1_epi32(int(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
    size_t x = 0;
    for (; x + 4 <= pixels; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        const __m128i r = _mm_or_si128(_mm_and_si128(v, ga),
                                       _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                                    _mm_slli_epi32(_mm_and_si128(v, low), 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), r);
    }
    for (; x < pixels; ++x) {
        uint32_t v;
        std::memcpy(&v, src + 4 * x, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(dst + 4 * x, &v, 4);
    }
}

// One unfiltered row into B, G, R, A words, with libpng's expansions.
void layOutRow(const PngDirect& L, const uint8_t* src, uint32_t* out) {
    const size_t w = L.width;
    switch (L.colourType) {
    case 6: {
        for (size_t x = 0; x < w; ++x) {
            uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);  // R, G, B, A in memory: 0xAABBGGRR
            out[x] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        }
        break;
    }
    case 2:
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = src + 3 * x;
            const bool keyed =
                L.hasTrns && p[0] == L.key[0] && p[1] == L.key[1] && p[2] == L.key[2];
            out[x] =
                (keyed ? 0u : 0xFF000000u) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
        break;
    case 0:
        for (size_t x = 0; x < w; ++x) {
            const uint32_t g = src[x];
            const bool keyed = L.hasTrns && g == L.key[0];
            out[x] = (keyed ? 0u : 0xFF000000u) | (g * 0x010101u);
        }
        break;
    case 4:
        for (size_t x = 0; x < w; ++x)
            out[x] = (uint32_t(src[2 * x + 1]) << 24) | (uint32_t(src[2 * x]) * 0x010101u);
        break;
    default: {  // palette
        const int d = L.depth;
        if (d == 8) {
            for (size_t x = 0; x < w; ++x) out[x] = L.palette[src[x]];
        } else {
            const int perByte = 8 / d, mask = (1 << d) - 1;
            for (size_t x = 0; x < w; ++x) {
                const int shift = 8 - d * (int(x % size_t(perByte)) + 1);
                out[x] = L.palette[(src[x / size_t(perByte)] >> shift) & mask];
            }
        }
        break;
    }
    }
}

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One decompressor a thread, kept for the reads that follow (a batch reads many files).
libdeflate_decompressor* threadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(
        libdeflate_alloc_decompressor());
    return d.get();
}

// The direct read of the pixels; false (nothing reported) when libpng should read the file.
bool readDirect(const TxStream& s, const PngDirect& L, TxMip& mip) {
    const uint8_t* d = s.data();
    const size_t n = s.size();
    // The image data: consecutive IDAT chunks, each checksum checked, joined when more than one.
    std::vector<std::pair<const uint8_t*, size_t>> parts;
    size_t total = 0;
    for (size_t pos = L.firstIdat; n - pos >= 8 && std::memcmp(d + pos + 4, "IDAT", 4) == 0;) {
        const uint32_t len = be32(d + pos);
        if (len > 0x7FFFFFFFu || n - pos - 8 < size_t(len) + 4) return false;
        if (libdeflate_crc32(0, d + pos + 4, size_t(len) + 4) != be32(d + pos + 8 + len))
            return false;
        parts.emplace_back(d + pos + 8, size_t(len));
        total += len;
        pos += 12 + size_t(len);
    }
    std::unique_ptr<uint8_t[]> joined;
    const uint8_t* z = parts.empty() ? nullptr : parts[0].first;
    if (parts.size() > 1) {
        joined.reset(new (std::nothrow) uint8_t[total]);
        if (!joined) return false;
        size_t at = 0;
        for (const auto& [p, len] : parts) {
            std::memcpy(joined.get() + at, p, len);
            at += len;
        }
        z = joined.get();
    }
    // The zlib header: deflate with a window of at most 32 KiB, no preset dictionary.
    if (total < 2 || (z[0] & 0x0F) != 8 || (z[0] >> 4) > 7 || (z[1] & 0x20) ||
        ((unsigned(z[0]) << 8) | z[1]) % 31 != 0)
        return false;
    const size_t bpp = size_t(std::max(1, channelsOf(L.colourType) * L.depth / 8));
    const size_t rowBytes =
        (size_t(L.width) * size_t(channelsOf(L.colourType)) * size_t(L.depth) + 7) / 8;
    const size_t stride = rowBytes + 1;
    const size_t need = stride * L.height;
    libdeflate_decompressor* dec = threadDecompressor();
    std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[rowBytes + 16]());
    // Every byte is written by the inflate, so the buffer is not cleared first.
    uint8_t* buf = static_cast<uint8_t*>(std::malloc(need + 16));
    std::unique_ptr<uint8_t, decltype(&std::free)> owned(buf, &std::free);
    if (!buf || !zeros || !dec) return false;
    txAdviseHugePages(buf, need + 16);
    size_t got = 0;
    if (libdeflate_deflate_decompress_ex(dec, z + 2, total - 2, buf, need, nullptr, &got) !=
            LIBDEFLATE_SUCCESS ||
        got != need)
        return false;
    for (size_t y = 0; y < L.height; ++y)
        if (buf[y * stride] > 4) return false;
    const uint8_t* prev = zeros.get();
    if (L.colourType == 6) {
        // RGBA rows shrink by their filter byte only: each row is unfiltered where it lies, and
        // the row above it, no longer needed, moves down into its final place as B, G, R, A. The
        // inflated buffer becomes the picture, with no second image-sized block.
        const size_t pitch = size_t(L.width) * 4;
        for (size_t y = 0; y <= L.height; ++y) {
            if (y < L.height) {
                uint8_t* row = buf + y * stride;
                unfilterRow(row[0], row + 1, prev, rowBytes, bpp);
                prev = row + 1;
            }
            if (y > 0) swizzleDown(buf + (y - 1) * stride + 1, buf + (y - 1) * pitch, L.width);
        }
        const size_t bytes = pitch * L.height;
        if (void* shrunk = std::realloc(buf, bytes)) buf = static_cast<uint8_t*>(shrunk);
        owned.release();
        txMipAdoptBlock(mip, buf, int64_t(bytes));
        return true;
    }
    uint32_t* out = reinterpret_cast<uint32_t*>(mip.data[0]);
    for (size_t y = 0; y < L.height; ++y) {
        uint8_t* row = buf + y * stride;
        unfilterRow(row[0], row + 1, prev, rowBytes, bpp);
        layOutRow(L, row + 1, out + y * size_t(L.width));
        prev = row + 1;
    }
    return true;
}

}  // namespace

void txPngUseLibpngOnly(bool on) { gLibpngOnly.store(on); }

bool pngProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    auto L = std::make_shared<PngDirect>();
    if (gLibpngOnly.load() || !scanHeader(s.data(), s.size(), *L)) return libpngProbe(s, ctx, mip);
    if (!txSizeAllowed(L->width, L->height)) return fail(ctx, "PNG Image: image is too large.", 0);
    mip.format = TX_FMT_ARGB8888;
    mip.width = int(L->width);
    mip.height = int(L->height);
    mip.depth = 1;
    mip.size = int64_t(L->width) * L->height * 4;
    ctx.state = std::shared_ptr<const PngDirect>(std::move(L));
    return true;
}

bool pngBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    if (auto* held = std::any_cast<std::shared_ptr<const PngDirect>>(&ctx.state)) {
        const std::shared_ptr<const PngDirect> L = std::move(*held);
        ctx.state.reset();
        if (!L || !mip.data[0]) return false;
        if (readDirect(s, *L, mip)) return true;
        // Something the direct reader does not expect: libpng reads the file from its start and
        // gives its own verdict.
        TxMip header;
        if (!libpngProbe(s, ctx, header)) return false;
        if (header.width != mip.width || header.height != mip.height) return false;
    }
    return libpngBody(s, ctx, mip);
}

// --- the writer ----------------------------------------------------------------------------------

namespace {

// libdeflate levels of the image data. Photo-like pictures take level 4: on 2048 x 2048 RGBA,
// Sub-filtered, it is twice as fast as level 6 for a file 5% larger (2.06 MB against 1.96 MB),
// still a sixth smaller than zlib's default gave (2.43 MB). Flat art takes level 8, where long
// matches pay: a 2048 x 2048 sheet of shaded sprites, unfiltered, packs to 155 KB, against 153 KB
// at zlib's level 9 and 169 KB with Up at level 9.
constexpr int kLevel = 4;
constexpr int kFlatLevel = 8;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

libdeflate_compressor* threadCompressor(int level) {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> c[13];
    if (!c[level]) c[level].reset(libdeflate_alloc_compressor(level));
    return c[level].get();
}

// One row as R, G, B, A bytes, filtered.
void filterRow(int filter, const uint32_t* src, const uint32_t* above, size_t w, uint8_t* out) {
    out[0] = uint8_t(filter);
    uint8_t* o = out + 1;
    uint32_t left = 0;
    for (size_t x = 0; x < w; ++x) {
        const uint32_t v = src[x];
        // 0xAARRGGBB to the bytes R, G, B, A, that is the little-endian word 0xAABBGGRR.
        uint32_t rgba = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        if (filter != TX_PNG_FILTER_NONE) {
            uint32_t base = 0;
            if (filter == TX_PNG_FILTER_SUB) {
                base = left;
                left = rgba;
            } else if (above) {
                const uint32_t u = above[x];
                base = (u & 0xFF00FF00u) | ((u >> 16) & 0xFFu) | ((u & 0xFFu) << 16);
            }
            // Byte-wise subtraction without borrows between the bytes.
            rgba = ((rgba | 0x80808080u) - (base & 0x7F7F7F7Fu)) ^ ((rgba ^ ~base) & 0x80808080u);
        }
        std::memcpy(o + 4 * x, &rgba, 4);
    }
}

void filterRows(int filter, const uint32_t* texels, size_t w, size_t y0, size_t y1, uint8_t* out) {
    for (size_t y = y0; y < y1; ++y, out += 4 * w + 1)
        filterRow(filter, texels + y * w, y ? texels + (y - 1) * w : nullptr, w, out);
}

struct FilterChoice {
    int filter;
    bool flat;
};

FilterChoice chooseFilter(int width, int height, const uint32_t* texels);

}  // namespace

int txPngChooseFilter(int width, int height, const uint32_t* texels) {
    return chooseFilter(width, height, texels).filter;
}

namespace {

FilterChoice chooseFilter(int width, int height, const uint32_t* texels) {
    if (width <= 0 || height <= 0 || !texels) return {TX_PNG_FILTER_SUB, false};
    const size_t w = size_t(width), h = size_t(height), stride = 4 * w + 1;
    // Eight bands of eight rows spread over the picture (all of a small one), each filter tried
    // on them at the level the picture will be written with; the smallest wins, Sub on a tie.
    const size_t bandRows = std::min<size_t>(8, h);
    const size_t bands = std::min<size_t>(8, h / bandRows);
    std::vector<uint8_t> sample(stride * bandRows * bands), packed;
    auto packedSize = [&](int filter, int level) -> size_t {
        libdeflate_compressor* c = threadCompressor(level);
        if (!c) return SIZE_MAX;
        for (size_t b = 0; b < bands; ++b) {
            const size_t y0 = bands == 1 ? 0 : b * (h - bandRows) / (bands - 1);
            filterRows(filter, texels, w, y0, y0 + bandRows, sample.data() + b * bandRows * stride);
        }
        packed.resize(libdeflate_zlib_compress_bound(c, sample.size()));
        const size_t n =
            libdeflate_zlib_compress(c, sample.data(), sample.size(), packed.data(), packed.size());
        return n ? n : SIZE_MAX;
    };
    auto pickAt = [&](int level, size_t& best) {
        best = SIZE_MAX;
        int chosen = TX_PNG_FILTER_SUB;
        for (int filter : {TX_PNG_FILTER_SUB, TX_PNG_FILTER_NONE, TX_PNG_FILTER_UP}) {
            const size_t n = packedSize(filter, level);
            if (n < best) {
                best = n;
                chosen = filter;
            }
        }
        return chosen;
    };
    size_t best = SIZE_MAX;
    const int chosen = pickAt(kLevel, best);
    // Flat art (the sample packed to under a twentieth) is judged again at its own level, where
    // unfiltered rows often pack smallest although they lose at the lower one.
    if (best >= sample.size() / 20) return {chosen, false};
    return {pickAt(kFlatLevel, best), true};
}

}  // namespace

namespace {

// A picture of at most 256 colours (alpha included) as palette indices: each colour gets the
// next index where it first appears, so the fully transparent background of a sprite sheet,
// met first, usually leads the palette and the transparency chunk stays short.
struct Indexed {
    int depth = 8;  // bits an index: 1, 2, 4 or 8, the fewest that hold every colour
    int colours = 0;
    uint32_t palette[256] = {};
    std::unique_ptr<uint8_t[]> rows;  // each row its filter byte (None) and its packed indices
    size_t stride = 0;
};

bool indexPicture(size_t w, size_t h, const uint32_t* texels, Indexed& ix) {
    // Colours by open addressing; a picture of more than 256 gives up at the 257th.
    constexpr size_t kSlots = 1024;
    uint32_t keys[kSlots];
    int16_t slot[kSlots];
    std::fill(std::begin(slot), std::end(slot), int16_t(-1));
    std::unique_ptr<uint8_t[]> idx(new (std::nothrow) uint8_t[w * h]);
    if (!idx) return false;
    uint32_t last = ~texels[0];
    uint8_t lastIndex = 0;
    for (size_t i = 0; i < w * h; ++i) {
        const uint32_t v = texels[i];
        if (v != last) {
            size_t k = ((v * 0x9E3779B1u) >> 22) & (kSlots - 1);
            while (slot[k] >= 0 && keys[k] != v) k = (k + 1) & (kSlots - 1);
            if (slot[k] < 0) {
                if (ix.colours == 256) return false;
                keys[k] = v;
                slot[k] = int16_t(ix.colours);
                ix.palette[ix.colours++] = v;
            }
            last = v;
            lastIndex = uint8_t(slot[k]);
        }
        idx[i] = lastIndex;
    }
    // The palette and its transparency chunk must not outweigh what the smaller rows save.
    if (w * h < 8 * size_t(ix.colours)) return false;
    ix.depth = ix.colours <= 2 ? 1 : ix.colours <= 4 ? 2 : ix.colours <= 16 ? 4 : 8;
    ix.stride = (w * size_t(ix.depth) + 7) / 8 + 1;
    ix.rows.reset(new (std::nothrow) uint8_t[ix.stride * h]);
    if (!ix.rows) return false;
    const int perByte = 8 / ix.depth;
    for (size_t y = 0; y < h; ++y) {
        uint8_t* row = ix.rows.get() + y * ix.stride;
        const uint8_t* in = idx.get() + y * w;
        row[0] = TX_PNG_FILTER_NONE;
        if (ix.depth == 8) {
            std::memcpy(row + 1, in, w);
            continue;
        }
        std::memset(row + 1, 0, ix.stride - 1);
        for (size_t x = 0; x < w; ++x)
            row[1 + x / size_t(perByte)] |=
                uint8_t(in[x] << (8 - ix.depth * (int(x % size_t(perByte)) + 1)));
    }
    return true;
}

// The chunks around the image data: signature and IHDR, then sBIT for RGBA or PLTE and tRNS for
// a palette.
std::vector<uint8_t> headChunks(int width, int height, const Indexed* ix) {
    std::vector<uint8_t> out(kSignature, kSignature + 8);
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        const uint32_t n = uint32_t(data.size());
        for (int k = 3; k >= 0; --k) out.push_back(uint8_t(n >> (8 * k)));
        const size_t at = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const uint32_t crc = libdeflate_crc32(0, out.data() + at, out.size() - at);
        for (int k = 3; k >= 0; --k) out.push_back(uint8_t(crc >> (8 * k)));
    };
    std::vector<uint8_t> ihdr;
    for (uint32_t v : {uint32_t(width), uint32_t(height)})
        for (int k = 3; k >= 0; --k) ihdr.push_back(uint8_t(v >> (8 * k)));
    // Depth, colour type (RGBA or palette), deflate, filter method 0, no interlace.
    ihdr.insert(ihdr.end(), {uint8_t(ix ? ix->depth : 8), uint8_t(ix ? 3 : 6), 0, 0, 0});
    chunk("IHDR", ihdr);
    if (!ix) {
        chunk("sBIT", {8, 8, 8, 8});
        return out;
    }
    std::vector<uint8_t> plte, trns;
    int lastTranslucent = -1;
    for (int k = 0; k < ix->colours; ++k) {
        const uint32_t v = ix->palette[k];
        plte.insert(plte.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        trns.push_back(uint8_t(v >> 24));
        if ((v >> 24) != 255) lastTranslucent = k;
    }
    chunk("PLTE", plte);
    if (lastTranslucent >= 0) {
        trns.resize(size_t(lastTranslucent) + 1);
        chunk("tRNS", trns);
    }
    return out;
}

}  // namespace

int txWritePNG(const std::string& path, int width, int height, const uint32_t* texels,
               std::string* error) {
    auto setError = [&](const std::string& e) {
        if (error) *error = e;
    };
    if (width <= 0 || height <= 0 || !texels) {
        setError("no image to write");
        return TX_PNG_NO_IMAGE;
    }
    TxFileWriter f;
    if (!f.open(path)) {
        setError(f.error());
        return TX_PNG_CANNOT_CREATE;
    }
    const size_t w = size_t(width), h = size_t(height);
    // Few colours: palette indices, a quarter of the bytes or less to compress, unfiltered as
    // palette rows pack best. Otherwise RGBA rows with the filter the sample chose.
    Indexed ix;
    const bool indexed = indexPicture(w, h, texels, ix);
    const FilterChoice choice =
        indexed ? FilterChoice{TX_PNG_FILTER_NONE, true} : chooseFilter(width, height, texels);
    libdeflate_compressor* c = threadCompressor(choice.flat ? kFlatLevel : kLevel);
    if (!c) {
        setError("cannot create the PNG compressor");
        return TX_PNG_NO_WRITE_STRUCT;
    }
    const size_t stride = indexed ? ix.stride : 4 * w + 1;
    std::unique_ptr<uint8_t[]> rows = std::move(ix.rows);
    if (!indexed) {
        rows.reset(new (std::nothrow) uint8_t[stride * h]);
        if (!rows) {
            setError("out of memory");
            return TX_PNG_WRITE_ERROR;
        }
        filterRows(choice.filter, texels, w, 0, h, rows.get());
    }
    const std::vector<uint8_t> head = headChunks(width, height, indexed ? &ix : nullptr);
    // The IDAT's length and type, the compressed rows, then its CRC and IEND: one buffer.
    constexpr size_t kHead = 8, kTail = 4 + 12;
    const size_t bound = libdeflate_zlib_compress_bound(c, stride * h);
    std::unique_ptr<uint8_t[]> file(new (std::nothrow) uint8_t[kHead + bound + kTail]);
    if (!file) {
        setError("out of memory");
        return TX_PNG_WRITE_ERROR;
    }
    const size_t z = libdeflate_zlib_compress(c, rows.get(), stride * h, file.get() + kHead, bound);
    rows.reset();
    if (z == 0 || z > 0x7FFFFFFFu) {
        setError("the picture does not compress into one PNG chunk");
        return TX_PNG_WRITE_ERROR;
    }
    uint8_t* p = file.get();
    auto put32 = [&](uint32_t v) {
        p[0] = uint8_t(v >> 24);
        p[1] = uint8_t(v >> 16);
        p[2] = uint8_t(v >> 8);
        p[3] = uint8_t(v);
        p += 4;
    };
    put32(uint32_t(z));
    uint8_t* chunk = p;
    std::memcpy(p, "IDAT", 4);
    p += 4 + z;
    put32(libdeflate_crc32(0, chunk, 4 + z));
    put32(0);
    std::memcpy(p, "IEND", 4);
    p += 4;
    put32(libdeflate_crc32(0, p - 4, 4));
    if (!f.write(head.data(), head.size()) || !f.write(file.get(), size_t(p - file.get())) ||
        !f.commit()) {
        setError(f.error());
        return TX_PNG_WRITE_ERROR;
    }
    return TX_PNG_OK;
}
