#include "texlib/spr.h"

#include <cstring>
#include <new>
#include <vector>

#include "texlib/bmp.h"

namespace {

struct SprInfo {
    int frames = 0;
    int frameHeight = 0;
};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

// Header checks shared by both writers; 0 when the sizes fit.
int checkSizes(int width, int height, int frames, std::string* error) {
    auto set = [&](const char* e) {
        if (error) *error = e;
    };
    if (width <= 0 || height <= 0) {
        set("no image to write");
        return TX_SPR_NO_IMAGE;
    }
    if (frames < 1 || height % frames != 0) {
        set("the frame count must be at least 1 and divide the image height");
        return TX_SPR_BAD_FRAME_COUNT;
    }
    if (width > 65535 || height / frames > 65535 || frames > 65535) {
        set("image is larger than an SPR file can hold");
        return TX_SPR_TOO_LARGE;
    }
    return TX_SPR_OK;
}

}  // namespace

bool sprProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t h[9];
    if (!s.readExact(h, 9)) return fail(ctx, "Unexpected end of file.");
    if (h[2] != 'R') return fail(ctx, "SPR Image: bad signature.", 0);
    SprInfo info;
    info.frames = h[3] | (h[4] << 8);
    const int width = h[5] | (h[6] << 8);
    info.frameHeight = h[7] | (h[8] << 8);
    const int64_t height = int64_t(info.frames) * info.frameHeight;
    if (width <= 0 || height <= 0) return fail(ctx, "SPR Image: width or height is 0.", 0);
    if (!txSizeAllowed(width, height)) return fail(ctx, "SPR Image: image is too large.", 0);
    ctx.frameCount = info.frames;
    mip.format = TX_FMT_RGB888;
    mip.width = width;
    mip.height = int(height);
    mip.depth = 1;
    mip.size = width * height * 3;
    ctx.state = info;
    return true;
}

bool sprBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<SprInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    const SprInfo info = *ip;
    const size_t texels = size_t(mip.width) * size_t(info.frameHeight);
    s.seek(9);
    uint8_t* out = mip.data[0];
    for (int f = 0; f < info.frames; ++f) {
        // Two marker bytes, then this frame's 256 palette entries as R, G, B.
        if (s.remaining() < 770 + texels) return fail(ctx, "SPR Image: Unexpected end of file.");
        const uint8_t* pal = s.current() + 2;
        const uint8_t* idx = pal + 768;
        for (size_t k = 0; k < texels; ++k, out += 3) std::memcpy(out, pal + 3 * size_t(idx[k]), 3);
        s.skip(770 + texels);
    }
    return true;
}

int txWriteSPRIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, int frames, std::string* error) {
    if (!indices || !palette) {
        if (error) *error = "no image to write";
        return TX_SPR_NO_IMAGE;
    }
    if (int rc = checkSizes(width, height, frames, error)) return rc;
    const int frameHeight = height / frames;
    TxFileWriter f;
    if (!f.open(path)) {
        if (error) *error = f.error();
        return TX_SPR_CANNOT_CREATE;
    }
    f.write("SPR", 3);
    f.putLe16(uint16_t(frames));
    f.putLe16(uint16_t(width));
    f.putLe16(uint16_t(frameHeight));
    uint8_t marker[770] = {20, 0};
    for (int k = 0; k < 256; ++k) {
        marker[2 + 3 * k] = uint8_t(palette[k] >> 16);
        marker[3 + 3 * k] = uint8_t(palette[k] >> 8);
        marker[4 + 3 * k] = uint8_t(palette[k]);
    }
    const size_t frameTexels = size_t(width) * size_t(frameHeight);
    for (int i = 0; i < frames && f.ok(); ++i) {
        f.write(marker, sizeof marker);
        f.write(indices + size_t(i) * frameTexels, frameTexels);
    }
    if (!f.commit()) {
        if (error) *error = f.error();
        return TX_SPR_WRITE_ERROR;
    }
    return TX_SPR_OK;
}

int txWriteSPR(const std::string& path, int width, int height, const uint32_t* texels, int frames,
               std::string* error) {
    if (!texels) {
        if (error) *error = "no image to write";
        return TX_SPR_NO_IMAGE;
    }
    if (int rc = checkSizes(width, height, frames, error)) return rc;
    std::vector<uint8_t> indices;
    uint32_t pal[256] = {};
    if (!txIndexImage(width, height, texels, indices, pal, nullptr, error)) return TX_SPR_NO_MEMORY;
    return txWriteSPRIndexed(path, width, height, indices.data(), pal, frames, error);
}
