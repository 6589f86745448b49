#include "texlib/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>

// libjpeg reports errors through error_exit, which here jumps back to the decoder. The function
// that calls setjmp keeps only plain values in its frame, so the jump skips no destructor.

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

void quietMessage(j_common_ptr) {}

// Ends decoding of files that would take very many progressive scans (a known slow input).
struct ScanLimit {
    jpeg_progress_mgr mgr;
};

void checkScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > 1000) {
            auto* e = reinterpret_cast<JpegError*>(cinfo->err);
            std::snprintf(e->message, sizeof e->message, "too many scans");
            std::longjmp(e->jump, 1);
        }
    }
}

// The decoded image kept from the probe for the body.
struct JpegImage {
    uint8_t* block = nullptr;
    int width = 0, height = 0;
    ~JpegImage() { std::free(block); }
};

enum DecodeResult { DECODE_OK, DECODE_ERROR, DECODE_NO_SIZE, DECODE_TOO_LARGE, DECODE_NO_MEMORY };

// Decodes `size` bytes into a malloc'ed block of 0xFFRRGGBB words.
DecodeResult decode(const uint8_t* data, size_t size, JpegImage* out, char* message) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    ScanLimit limit;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = errorExit;
    err.mgr.output_message = quietMessage;
    err.message[0] = 0;
    if (setjmp(err.jump)) {
        std::memcpy(message, err.message, JMSG_LENGTH_MAX);
        jpeg_destroy_decompress(&cinfo);
        return DECODE_ERROR;
    }
    jpeg_create_decompress(&cinfo);
    limit.mgr.progress_monitor = checkScans;
    cinfo.progress = &limit.mgr;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0) {
        jpeg_destroy_decompress(&cinfo);
        return DECODE_NO_SIZE;
    }
    if (!txSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        return DECODE_TOO_LARGE;
    }
    // Colour and greyscale images alike come out as B, G, R, 255: the record's 0xFFRRGGBB.
    cinfo.out_color_space = JCS_EXT_BGRA;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.quantize_colors = FALSE;
    jpeg_start_decompress(&cinfo);
    const size_t pitch = size_t(cinfo.output_width) * 4;
    out->block = static_cast<uint8_t*>(std::malloc(pitch * cinfo.output_height));
    if (!out->block) {
        jpeg_destroy_decompress(&cinfo);
        return DECODE_NO_MEMORY;
    }
    out->width = int(cinfo.output_width);
    out->height = int(cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[8];
        const JDIMENSION first = cinfo.output_scanline;
        JDIMENSION n = cinfo.output_height - first;
        if (n > 8) n = 8;
        for (JDIMENSION k = 0; k < n; ++k)
            rows[k] = out->block + size_t(first + k) * pitch;
        jpeg_read_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return DECODE_OK;
}

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

} // namespace

bool jpegProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    auto image = std::make_shared<JpegImage>();
    char message[JMSG_LENGTH_MAX] = {};
    switch (decode(s.data(), s.size(), image.get(), message)) {
    case DECODE_OK:
        break;
    case DECODE_NO_SIZE:
        return fail(ctx, "JPEG Image: width or height is 0.", 0);
    case DECODE_TOO_LARGE:
        return fail(ctx, "JPEG Image: image is too large.", 0);
    case DECODE_NO_MEMORY:
        return fail(ctx, "Out of memory");
    case DECODE_ERROR: {
        const std::string text =
            std::string("JPEG Image: ") + (message[0] ? message : "decoding error") + ".";
        return fail(ctx, text.c_str());
    }
    }
    mip.format = TX_FMT_ARGB8888;
    mip.width = image->width;
    mip.height = image->height;
    mip.depth = 1;
    mip.size = int64_t(image->width) * image->height * 4;
    ctx.state = std::move(image);
    return true;
}

bool jpegBody(TxStream& /*s*/, TxReadContext& ctx, TxMip& mip) {
    auto* held = std::any_cast<std::shared_ptr<JpegImage>>(&ctx.state);
    if (!held || !*held || !(*held)->block) return false;
    const std::shared_ptr<JpegImage> image = std::move(*held);
    ctx.state.reset();
    if (image->width != mip.width || image->height != mip.height) return false;
    // The decoded block replaces the one txMipRead allocated.
    txMipAdoptBlock(mip, image->block, mip.size);
    image->block = nullptr;
    return true;
}
