#include "texlib/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

// Ends decoding of files that would take very many progressive scans (a known slow input: each
// scan walks the whole coefficient buffer). libjpeg-turbo's own tools stop at 500; real encoders
// write at most a few dozen.
constexpr int kMaxScans = 100;

struct ScanLimit {
    jpeg_progress_mgr mgr;
};

void checkScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaxScans) {
            auto* e = reinterpret_cast<JpegError*>(cinfo->err);
            std::snprintf(e->message, sizeof e->message, "too many scans");
            std::longjmp(e->jump, 1);
        }
    }
}

enum DecodeResult { DECODE_OK, DECODE_ERROR, DECODE_NO_SIZE, DECODE_TOO_LARGE };

// Bytes libjpeg holds for a whole-image coefficient buffer (progressive and multi-scan files keep
// every block of every component until the last scan): 64 coefficients of 2 bytes a block, the
// component sizes rounded up to whole iMCU rows as libjpeg allocates them.
uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo) {
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo))) return 0;
    uint64_t total = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        const uint64_t hs = uint64_t(comp.h_samp_factor > 0 ? comp.h_samp_factor : 1);
        const uint64_t vs = uint64_t(comp.v_samp_factor > 0 ? comp.v_samp_factor : 1);
        const uint64_t wBlocks = (uint64_t(comp.width_in_blocks) + hs - 1) / hs * hs;
        const uint64_t hBlocks = (uint64_t(comp.height_in_blocks) + vs - 1) / vs * vs;
        total += wBlocks * hBlocks * 64 * sizeof(JCOEF);
    }
    return total;
}

// Reads the header and, when `dst` is given, decodes the whole image into it as 0xFFRRGGBB words
// (width x 4 bytes a row).
DecodeResult decode(const uint8_t* data, size_t size, uint8_t* dst, int* width, int* height,
                    char* message) {
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
    // The pixels and libjpeg's coefficient buffers together stay within the one limit of an image;
    // libjpeg itself is held to it too, so nothing it allocates behind our back can pass it.
    const uint64_t pixelBytes = uint64_t(cinfo.image_width) * cinfo.image_height * 4;
    if (!txSizeAllowed(cinfo.image_width, cinfo.image_height) ||
        pixelBytes + coefficientBytes(cinfo) > uint64_t(TX_MAX_PIXEL_BYTES)) {
        jpeg_destroy_decompress(&cinfo);
        return DECODE_TOO_LARGE;
    }
    cinfo.mem->max_memory_to_use = long(TX_MAX_PIXEL_BYTES);
    if (!dst) {
        *width = int(cinfo.image_width);
        *height = int(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return DECODE_OK;
    }
    if (int(cinfo.image_width) != *width || int(cinfo.image_height) != *height) {
        jpeg_destroy_decompress(&cinfo);
        return DECODE_ERROR;
    }
    // Colour and greyscale images alike come out as B, G, R, 255: the record's 0xFFRRGGBB.
    cinfo.out_color_space = JCS_EXT_BGRA;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.quantize_colors = FALSE;
    jpeg_start_decompress(&cinfo);
    const size_t pitch = size_t(cinfo.output_width) * 4;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[8];
        const JDIMENSION first = cinfo.output_scanline;
        JDIMENSION n = cinfo.output_height - first;
        if (n > 8) n = 8;
        for (JDIMENSION k = 0; k < n; ++k) rows[k] = dst + size_t(first + k) * pitch;
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

bool reportFailure(TxReadContext& ctx, DecodeResult r, const char* message) {
    switch (r) {
    case DECODE_OK: return true;
    case DECODE_NO_SIZE: return fail(ctx, "JPEG Image: width or height is 0.", 0);
    case DECODE_TOO_LARGE: return fail(ctx, "JPEG Image: image is too large.", 0);
    case DECODE_ERROR: break;
    }
    const std::string text =
        std::string("JPEG Image: ") + (message[0] ? message : "decoding error") + ".";
    return fail(ctx, text.c_str());
}

}  // namespace

// The probe reads the header only; the body decodes straight into the record's block, which saves
// a second image-sized allocation and copy.
bool jpegProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    char message[JMSG_LENGTH_MAX] = {};
    int width = 0, height = 0;
    if (!reportFailure(ctx, decode(s.data(), s.size(), nullptr, &width, &height, message), message))
        return false;
    mip.format = TX_FMT_ARGB8888;
    mip.width = width;
    mip.height = height;
    mip.depth = 1;
    mip.size = int64_t(width) * height * 4;
    return true;
}

bool jpegBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    if (!mip.data[0] || mip.format != TX_FMT_ARGB8888) return false;
    char message[JMSG_LENGTH_MAX] = {};
    int width = mip.width, height = mip.height;
    return reportFailure(ctx, decode(s.data(), s.size(), mip.data[0], &width, &height, message),
                         message);
}
