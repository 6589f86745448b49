// Feeds the same bytes straight to the PSD, IFF and GIF readers and to the palette file parsers,
// without the type detection in front, so fuzzing time goes to these readers only.
#include <cstddef>
#include <cstdint>

#include "texlib/convert.h"
#include "texlib/gif.h"
#include "texlib/iff.h"
#include "texlib/palette_file.h"
#include "texlib/psd.h"
#include "texlib/read.h"

namespace {

void readWith(TxProbeFn probe, TxBodyFn body, const uint8_t* data, size_t size, int cookie) {
    TxStream s(data, size);
    TxReadContext ctx;
    TxMip mip;
    if (!probe(s, ctx, mip, cookie) || !txMipAllocLevels(mip)) return;
    if (!body(s, ctx, mip)) return;
    // Converting looks every index up in the palette the reader built. Huge pictures (allowed,
    // but slow under the sanitizers) skip it so the time goes to the decoders.
    if (int64_t(mip.width) * mip.height > (int64_t(1) << 22)) return;
    TxMip out;
    out.format = TX_FMT_ARGB8888;
    out.width = mip.width;
    out.height = mip.height;
    out.depth = 1;
    if (txMipAllocLevels(out))
        txConvertLevelToArgb8888(mip, 0, reinterpret_cast<uint32_t*>(out.data[0]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readWith(psdProbe, psdBody, data, size, 0);
    readWith(iffProbe, iffBody, data, size, 0x464F);
    readWith(gifProbe, gifBody, data, size, 0x4749);
    readWith(paletteProbe, paletteBody, data, size, 0);
    uint32_t entries[256] = {};
    txParsePalette(data, size, entries, true);
    return 0;
}
