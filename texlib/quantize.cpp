#include "texlib/quantize.h"

#include <cstring>

#include "texlib/read.h"

void txQuantize(TxMip& dst, const TxMip& src, int format, int /*dither*/, int /*ncc*/) {
    dst.format = format;
    dst.width = src.width;
    dst.height = src.height;
    if (format == TX_FMT_ARGB8888 && src.format == TX_FMT_ARGB8888) {
        for (int level = 0; level < src.depth && level < dst.depth; ++level) {
            int w = 0, h = 0;
            txMipLevelSize(src, level, w, h);
            if (src.data[level] && dst.data[level])
                std::memcpy(dst.data[level], src.data[level], size_t(w) * size_t(h) * 4);
        }
        return;
    }
    txReportError("txQuantize: unsupported target format", 1);
}
