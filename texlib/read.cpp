#include "texlib/read.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "texlib/avi.h"
#include "texlib/bmp.h"
#include "texlib/convert.h"
#include "texlib/gif.h"
#include "texlib/iff.h"
#include "texlib/jpeg.h"
#include "texlib/lmp.h"
#include "texlib/palette_file.h"
#include "texlib/pcx.h"
#include "texlib/png.h"
#include "texlib/ppm.h"
#include "texlib/psd.h"
#include "texlib/rgt.h"
#include "texlib/spr.h"
#include "texlib/tex3df.h"
#include "texlib/tga.h"

namespace {

void ignoreError(const char*, int) {}

struct Reader {
    TxFileType type;
    TxProbeFn probe;
    TxBodyFn body;  // null: recognised, but there is no reader for it
};

// Probes tried before the first two bytes are looked at, in this order.
const Reader kHeaderProbes[] = {
    {TX_TYPE_TGA, tgaProbe, tgaBody}, {TX_TYPE_TEX, texProbe, texBody},
    {TX_TYPE_LMP, lmpProbe, lmpBody}, {TX_TYPE_PSD, psdProbe, psdBody},
    {TX_TYPE_GIH, gihProbe, gihBody}, {TX_TYPE_GBR, gbrProbe, gbrBody},
    {TX_TYPE_ICO, icoProbe, nullptr},
};

struct Magic {
    uint16_t cookie;
    TxFileType type;
};

// Types recognised by their first two bytes (first byte high).
const Magic kMagic[] = {
    {0x3344, TX_TYPE_3DF}, {0x3364, TX_TYPE_3DF}, {0x5035, TX_TYPE_PPM},  {0x5036, TX_TYPE_PPM},
    {0x424D, TX_TYPE_BMP}, {0x464F, TX_TYPE_IFF}, {0x0A05, TX_TYPE_PCX},  {0x5039, TX_TYPE_P9},
    {0x01DA, TX_TYPE_RGT}, {0xDA01, TX_TYPE_RGT}, {0xFFD8, TX_TYPE_JPEG}, {0x4749, TX_TYPE_GIF},
    {0x8950, TX_TYPE_PNG}, {0x5350, TX_TYPE_SPR}, {0x5249, TX_TYPE_AVI},
};

// Probe and body of the types found through the magic table. A type without a row here falls
// through to the palette probe.
const Reader kMagicReaders[] = {
    {TX_TYPE_TGA, nullptr, nullptr},  // placeholder keeps the table non-empty
    {TX_TYPE_3DF, tdfProbe, tdfBody}, {TX_TYPE_IFF, iffProbe, iffBody},
    {TX_TYPE_GIF, gifProbe, gifBody}, {TX_TYPE_PPM, ppmProbe, ppmBody},
    {TX_TYPE_BMP, bmpProbe, bmpBody}, {TX_TYPE_PCX, pcxProbe, pcxBody},
    {TX_TYPE_RGT, rgtProbe, rgtBody}, {TX_TYPE_JPEG, jpegProbe, jpegBody},
    {TX_TYPE_PNG, pngProbe, pngBody}, {TX_TYPE_SPR, sprProbe, sprBody},
    {TX_TYPE_AVI, aviProbe, aviBody},
};

// The palette-file probe, tried last.
const Reader* paletteReader() {
    static const Reader palette{TX_TYPE_PALETTE, paletteProbe, paletteBody};
    return &palette;
}

const Reader* findReader(TxFileType type) {
    for (const auto& r : kHeaderProbes)
        if (r.type == type) return &r;
    for (const auto& r : kMagicReaders)
        if (r.type == type && r.probe) return &r;
    const Reader* p = paletteReader();
    if (p && p->type == type) return p;
    return nullptr;
}

}  // namespace

TxErrorCallback TxReadError = ignoreError;
TxPaletteNeededFn TxPaletteNeeded = nullptr;

void txReportError(const char* message, int fatal) {
    if (TxReadError) TxReadError(message, fatal);
}

void txReportError(TxReadContext& ctx, const char* message, int fatal) {
    ctx.lastError = message;
    while (!ctx.lastError.empty() && ctx.lastError.back() == '\n') ctx.lastError.pop_back();
    txReportError(message, fatal);
}

const char* txFileTypeName(TxFileType type) {
    switch (type) {
    case TX_TYPE_3DF: return "3DF";
    case TX_TYPE_PPM: return "PPM";
    case TX_TYPE_BMP: return "BMP";
    case TX_TYPE_IFF: return "IFF";
    case TX_TYPE_PCX: return "PCX";
    case TX_TYPE_P9: return "P9";
    case TX_TYPE_RGT: return "RGT";
    case TX_TYPE_JPEG: return "JPEG";
    case TX_TYPE_GIF: return "GIF";
    case TX_TYPE_PNG: return "PNG";
    case TX_TYPE_TGA: return "TGA";
    case TX_TYPE_TEX: return "TEX";
    case TX_TYPE_SPR: return "SPR";
    case TX_TYPE_LMP: return "LMP";
    case TX_TYPE_PSD: return "PSD";
    case TX_TYPE_GBR: return "GIMP brush";
    case TX_TYPE_GIH: return "GIMP animated brush";
    case TX_TYPE_PALETTE: return "palette";
    case TX_TYPE_AVI: return "AVI";
    case TX_TYPE_ICO: return "icon";
    default: return "unknown";
    }
}

TxFileType txDetectType(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    ctx.frameCount = 1;
    // The reason kept for a refusal: the text of the probe that recognised the file most surely.
    std::string reason;
    int reasonStrength = 0;
    auto tryProbe = [&](const Reader& r, int cookie, size_t start, int strength) {
        s.seek(start);
        txMipClear(mip);
        ctx.lastError.clear();
        ctx.matched = 0;
        if (r.probe(s, ctx, mip, cookie)) return true;
        const int st = std::max(ctx.matched, strength);
        if (st > reasonStrength && !ctx.lastError.empty()) {
            reason = ctx.lastError;
            reasonStrength = st;
        }
        return false;
    };
    auto refuse = [&]() {
        ctx.lastError = reasonStrength > 0 ? reason : TX_UNRECOGNISED;
        ctx.matched = reasonStrength;
        txMipClear(mip);
        return TX_TYPE_UNKNOWN;
    };
    for (const auto& r : kHeaderProbes)
        if (tryProbe(r, 0, 0, 0)) return r.type;

    s.rewind();
    if (s.size() >= 2) {
        const int cookie = (s.data()[0] << 8) | s.data()[1];
        for (const auto& m : kMagic) {
            if (m.cookie != cookie) continue;
            for (const auto& r : kMagicReaders) {
                if (r.type != m.type || !r.probe) continue;
                // Two bytes of magic say "this type" weakly: a full magic or a header the probe
                // checked says it more surely.
                if (tryProbe(r, cookie, 2, 2)) return r.type;
            }
            break;
        }
    }
    if (const Reader* p = paletteReader(); p && tryProbe(*p, 0, 0, 0)) return p->type;
    return refuse();
}

bool txMipRead(TxMip& mip, const char* fileName, TxStream& s, int preferredFormat,
               TxReadContext& ctx) {
    txMipFree(mip);
    ctx.fileType = TX_TYPE_UNKNOWN;
    ctx.frameCount = 1;
    if (fileName) ctx.fileName = fileName;
    if (preferredFormat != TX_PREFER_ARGB8888 && preferredFormat != TX_PREFER_OWN) {
        txReportError(ctx, "txMipRead: bad preferred format.", 1);
        return false;
    }
    ctx.wantArgb8888 = preferredFormat == TX_PREFER_ARGB8888;
    const TxFileType type = txDetectType(s, ctx, mip);
    if (type == TX_TYPE_UNKNOWN) {
        if (ctx.lastError.empty()) ctx.lastError = TX_UNRECOGNISED;
        return false;
    }
    const Reader* reader = findReader(type);
    if (!reader || !reader->body) {
        ctx.lastError = std::string("no reader for ") + txFileTypeName(type) + " files";
        txMipClear(mip);
        return false;
    }
    ctx.overBudget = false;
    ctx.neededBytes = preferredFormat == TX_PREFER_OWN || mip.format == TX_FMT_ARGB8888
                          ? txMipLevelBytes(mip.format, mip.width, mip.height, mip.depth)
                          : txMipLevelBytes(TX_FMT_ARGB8888, mip.width, mip.height, mip.depth);
    if (ctx.maxBytes > 0 && (ctx.neededBytes <= 0 || ctx.neededBytes > ctx.maxBytes)) {
        ctx.overBudget = true;
        ctx.lastError = "over the memory budget";
        txMipClear(mip);
        return false;
    }
    if (!txMipAllocLevels(mip)) {
        txReportError(ctx, "Out of memory", 1);
        txMipClear(mip);
        return false;
    }
    // Texts that earlier probes left behind do not describe this read; the body's own stay (a
    // reader may warn about a file it could still read).
    ctx.lastError.clear();
    if (!reader->body(s, ctx, mip)) {
        if (ctx.lastError.empty()) ctx.lastError = "the file is damaged";
        txMipFree(mip);
        ctx.frameCount = 1;
        return false;
    }
    ctx.state.reset();
    ctx.fileType = type;
    if (preferredFormat == TX_PREFER_OWN || mip.format == TX_FMT_ARGB8888) return true;

    TxMip out;
    out.format = TX_FMT_ARGB8888;
    out.width = mip.width;
    out.height = mip.height;
    out.depth = mip.depth;
    if (!txMipAllocLevels(out)) {
        txReportError(ctx, "Out of memory", 1);
        txMipFree(mip);
        ctx.fileType = TX_TYPE_UNKNOWN;
        return false;
    }
    for (int level = 0; level < mip.depth; ++level) {
        if (!txConvertLevelToArgb8888(mip, level, reinterpret_cast<uint32_t*>(out.data[level]))) {
            txReportError(ctx, "No conversion exists for this pixel format", 1);
            txMipFree(mip);
            ctx.fileType = TX_TYPE_UNKNOWN;
            return false;
        }
    }
    std::memcpy(out.pal, mip.pal, sizeof out.pal);
    mip = std::move(out);
    return true;
}

bool txMipReadFile(TxMip& mip, const std::string& path, int preferredFormat, TxReadContext& ctx) {
    ctx.fileType = TX_TYPE_UNKNOWN;
    ctx.lastError.clear();
    TxFileData file;
    std::string err;
    if (!file.open(path, err)) {
        txMipFree(mip);
        ctx.lastError = err;
        return false;
    }
    TxStream s = file.stream();
    return txMipRead(mip, path.c_str(), s, preferredFormat, ctx);
}

bool txMipProbeFile(TxMip& mip, const std::string& path, TxReadContext& ctx) {
    txMipFree(mip);
    ctx.fileType = TX_TYPE_UNKNOWN;
    ctx.lastError.clear();
    ctx.wantArgb8888 = false;
    TxFileData file;
    std::string err;
    if (!file.open(path, err)) {
        ctx.lastError = err;
        return false;
    }
    TxStream s = file.stream();
    ctx.fileName = path;
    const TxFileType type = txDetectType(s, ctx, mip);
    ctx.state.reset();
    if (type == TX_TYPE_UNKNOWN) {
        if (ctx.lastError.empty()) ctx.lastError = TX_UNRECOGNISED;
        return false;
    }
    const Reader* reader = findReader(type);
    if (!reader || !reader->body) {
        ctx.lastError = std::string("no reader for ") + txFileTypeName(type) + " files";
        txMipClear(mip);
        ctx.frameCount = 1;
        return false;
    }
    ctx.fileType = type;
    return true;
}
