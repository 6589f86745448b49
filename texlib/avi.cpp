#include "texlib/avi.h"

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

// Only the declarations and types are taken from FFmpeg's headers; the libraries themselves are
// opened on the first AVI read, so that every other command starts without loading them and
// their hundred-odd dependencies.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/version.h>
#include <libavformat/avformat.h>
#include <libavformat/version.h>
#include <libavutil/log.h>
#include <libavutil/version.h>
#include <libswscale/swscale.h>
#include <libswscale/version.h>
}

// clang-format does not settle on one layout for these lists.
// clang-format off
#define TX_FF_AVUTIL(X)                                                                            \
    X(av_malloc) X(av_free) X(av_freep) X(av_mallocz) X(av_frame_alloc) X(av_frame_free)           \
    X(av_frame_unref) X(av_log_set_level)
#define TX_FF_SWSCALE(X) X(sws_getCachedContext) X(sws_scale) X(sws_freeContext)
#define TX_FF_AVCODEC(X)                                                                           \
    X(avcodec_find_decoder) X(avcodec_alloc_context3) X(avcodec_parameters_to_context)             \
    X(avcodec_open2) X(avcodec_free_context) X(avcodec_receive_frame) X(avcodec_send_packet)       \
    X(av_packet_alloc) X(av_packet_free) X(av_packet_unref)
#define TX_FF_AVFORMAT(X)                                                                          \
    X(avformat_close_input) X(avio_context_free) X(avio_alloc_context) X(avformat_alloc_context)   \
    X(avformat_open_input) X(av_find_input_format) X(avformat_find_stream_info) X(av_read_frame)
// clang-format on

// The FFmpeg entry points the reader uses, resolved from the libraries opened at run time.
struct TxFfmpegApi {
#define TX_FF_MEMBER(name) decltype(&::name) name = nullptr;
    TX_FF_AVUTIL(TX_FF_MEMBER)
    TX_FF_SWSCALE(TX_FF_MEMBER) TX_FF_AVCODEC(TX_FF_MEMBER) TX_FF_AVFORMAT(TX_FF_MEMBER)
#undef TX_FF_MEMBER
};

const char* const kTxFfmpegSonames[4] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
};

namespace {

bool loadFfmpeg(const char* const sonames[4], TxFfmpegApi& api, std::string* error) {
    auto why = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    void* libs[4] = {};
    for (int k = 0; k < 4; ++k) {
        // Kept open for the rest of the process: decoders may be used again by the next read.
        libs[k] = ::dlopen(sonames[k], RTLD_NOW | RTLD_LOCAL);
        if (!libs[k]) {
            const char* e = ::dlerror();
            return why(e ? e : std::string(sonames[k]) + ": cannot be loaded");
        }
    }
    bool ok = true;
    std::string missing;
    auto resolve = [&](void* lib, const char* name, auto& slot) {
        void* f = ::dlsym(lib, name);
        if (!f) {
            ok = false;
            if (missing.empty()) missing = name;
            return;
        }
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(f);
    };
#define TX_FF_RESOLVE_0(name) resolve(libs[0], #name, api.name);
#define TX_FF_RESOLVE_1(name) resolve(libs[1], #name, api.name);
#define TX_FF_RESOLVE_2(name) resolve(libs[2], #name, api.name);
#define TX_FF_RESOLVE_3(name) resolve(libs[3], #name, api.name);
    TX_FF_AVUTIL(TX_FF_RESOLVE_0)
    TX_FF_SWSCALE(TX_FF_RESOLVE_1)
    TX_FF_AVCODEC(TX_FF_RESOLVE_2)
    TX_FF_AVFORMAT(TX_FF_RESOLVE_3)
    if (!ok) return why(std::string("FFmpeg has no function ") + missing);
    return true;
}

}  // namespace

bool txAviFfmpegLoadable(const char* const sonames[4], std::string* error) {
    TxFfmpegApi api;
    return loadFfmpeg(sonames, api, error);
}

namespace {

// Set once, by the first AVI probe, when the libraries could be loaded.
const TxFfmpegApi* ff = nullptr;
std::string ffError;

bool ffmpegReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        static TxFfmpegApi api;
        if (loadFfmpeg(kTxFfmpegSonames, api, &ffError)) {
            api.av_log_set_level(AV_LOG_QUIET);
            ff = &api;
        }
    });
    return ff != nullptr;
}

// FFmpeg reads the file from the bytes already in memory.
struct MemSource {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
};

int readPacket(void* opaque, uint8_t* buf, int n) {
    auto* m = static_cast<MemSource*>(opaque);
    if (m->pos >= m->size) return AVERROR_EOF;
    size_t k = m->size - m->pos;
    if (k > size_t(n)) k = size_t(n);
    std::memcpy(buf, m->data + m->pos, k);
    m->pos += k;
    return int(k);
}

int64_t seekMem(void* opaque, int64_t offset, int whence) {
    auto* m = static_cast<MemSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return int64_t(m->size);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = int64_t(m->pos);
    else if (whence == SEEK_END)
        base = int64_t(m->size);
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    const int64_t to = base + offset;
    if (to < 0 || to > int64_t(m->size)) return AVERROR(EINVAL);
    m->pos = size_t(to);
    return to;
}

// One open AVI: demuxer, decoder and scaler. Everything is released by the destructor, so every
// path out of the probe or the body closes the stream.
struct AviStream {
    MemSource src;
    AVIOContext* io = nullptr;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    SwsContext* sws = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    uint8_t* staging = nullptr;  // scaler output; swscale may write past the end of a row
    int stagingPitch = 0;
    int stream = -1;
    int frames = 0;
    int width = 0, height = 0;

    AviStream() = default;
    AviStream(const AviStream&) = delete;
    AviStream& operator=(const AviStream&) = delete;
    ~AviStream() { closeAll(); }

    void closeDemuxer() {
        ff->avformat_close_input(&fmt);
        if (io) {
            ff->av_freep(&io->buffer);
            ff->avio_context_free(&io);
        }
    }
    void closeAll() {
        ff->sws_freeContext(sws);
        sws = nullptr;
        ff->av_freep(&staging);
        ff->av_frame_free(&frame);
        ff->av_packet_free(&pkt);
        ff->avcodec_free_context(&dec);
        closeDemuxer();
    }

    // Opens the demuxer at the start of the bytes and finds the first video stream.
    bool openDemuxer() {
        closeDemuxer();
        src.pos = 0;
        const int bufSize = 32768;
        auto* buf = static_cast<uint8_t*>(ff->av_malloc(bufSize));
        if (!buf) return false;
        io = ff->avio_alloc_context(buf, bufSize, 0, &src, readPacket, nullptr, seekMem);
        if (!io) {
            ff->av_free(buf);
            return false;
        }
        fmt = ff->avformat_alloc_context();
        if (!fmt) return false;
        fmt->pb = io;
        fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        if (ff->avformat_open_input(&fmt, nullptr, ff->av_find_input_format("avi"), nullptr) < 0) {
            fmt = nullptr;  // freed by avformat_open_input
            return false;
        }
        stream = -1;
        for (unsigned k = 0; k < fmt->nb_streams; ++k) {
            if (fmt->streams[k]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                stream = int(k);
                break;
            }
        }
        return stream >= 0;
    }
};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

}  // namespace

bool aviProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    if (!ffmpegReady()) {
        const std::string text = "AVI file: FFmpeg is needed to read AVI files and could not be "
                                 "loaded (" +
                                 ffError + ").";
        return fail(ctx, text.c_str());
    }
    auto a = std::make_shared<AviStream>();
    a->src.data = s.data();
    a->src.size = s.size();
    if (!a->openDemuxer()) return fail(ctx, "AVI file: cannot open the video stream.", 0);
    AVStream* st = a->fmt->streams[a->stream];
    if (st->codecpar->width <= 0 || st->codecpar->height <= 0) {
        if (ff->avformat_find_stream_info(a->fmt, nullptr) < 0 || st->codecpar->width <= 0 ||
            st->codecpar->height <= 0)
            return fail(ctx, "AVI file: width or height is 0.", 0);
    }
    int64_t frames = st->nb_frames;
    if (frames <= 0) {
        // No frame count in the header: count the stream's packets, then start again.
        frames = 0;
        AVPacket* pkt = ff->av_packet_alloc();
        if (!pkt) return fail(ctx, "Out of memory");
        while (frames < TX_AVI_MAX_FRAMES && ff->av_read_frame(a->fmt, pkt) >= 0) {
            if (pkt->stream_index == a->stream) ++frames;
            ff->av_packet_unref(pkt);
        }
        ff->av_packet_free(&pkt);
        if (!a->openDemuxer()) return fail(ctx, "AVI file: cannot open the video stream.", 0);
        st = a->fmt->streams[a->stream];
    }
    if (frames < 1) frames = 1;
    if (frames > TX_AVI_MAX_FRAMES) frames = TX_AVI_MAX_FRAMES;
    a->frames = int(frames);
    a->width = st->codecpar->width;
    a->height = st->codecpar->height;
    if (!txSizeAllowed(a->width, int64_t(a->height) * a->frames))
        return fail(ctx, "AVI file: image is too large.", 0);

    const AVCodec* codec = ff->avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return fail(ctx, "AVI file: no decoder for the video codec.", 0);
    a->dec = ff->avcodec_alloc_context3(codec);
    a->frame = ff->av_frame_alloc();
    a->pkt = ff->av_packet_alloc();
    if (!a->dec || !a->frame || !a->pkt) return fail(ctx, "Out of memory");
    if (ff->avcodec_parameters_to_context(a->dec, st->codecpar) < 0 ||
        ff->avcodec_open2(a->dec, codec, nullptr) < 0)
        return fail(ctx, "AVI file: cannot open the video decoder.", 0);

    ctx.frameCount = a->frames;
    // Every frame lasts one period of the stream's frame rate.
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        const int64_t ms = (int64_t(rate.den) * 1000 + rate.num / 2) / rate.num;
        if (ms > 0 && ms <= 65535) ctx.frameDelaysMs.assign(size_t(a->frames), int(ms));
    }
    mip.format = TX_FMT_ARGB8888;
    mip.width = a->width;
    mip.height = a->height * a->frames;
    mip.depth = 1;
    mip.size = int64_t(mip.width) * mip.height * 4;
    ctx.state = std::shared_ptr<AviStream>(std::move(a));
    return true;
}

namespace {

// Converts one decoded frame into its slice of the image (top row first, B, G, R, A).
bool storeFrame(AviStream& a, uint8_t* slice) {
    const AVFrame* f = a.frame;
    if (f->width <= 0 || f->height <= 0 || f->format < 0) return false;
    a.sws =
        ff->sws_getCachedContext(a.sws, f->width, f->height, AVPixelFormat(f->format), a.width,
                                 a.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!a.sws) return false;
    // The scaler's vector code writes whole blocks, so it gets a padded buffer of its own.
    const size_t rowBytes = size_t(a.width) * 4;
    if (!a.staging) {
        a.stagingPitch = int((rowBytes + 63) & ~size_t(63));
        a.staging =
            static_cast<uint8_t*>(ff->av_mallocz(size_t(a.stagingPitch) * size_t(a.height) + 256));
        if (!a.staging) return false;
    }
    uint8_t* dst[4] = {a.staging, nullptr, nullptr, nullptr};
    int dstStride[4] = {a.stagingPitch, 0, 0, 0};
    if (ff->sws_scale(a.sws, f->data, f->linesize, 0, f->height, dst, dstStride) <= 0) return false;
    for (int y = 0; y < a.height; ++y)
        std::memcpy(slice + size_t(y) * rowBytes, a.staging + size_t(y) * size_t(a.stagingPitch),
                    rowBytes);
    return true;
}

}  // namespace

bool aviBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    auto* held = std::any_cast<std::shared_ptr<AviStream>>(&ctx.state);
    if (!held || !*held || !mip.data[0]) return false;
    // The stream is closed when this function returns, on every path.
    const std::shared_ptr<AviStream> a = std::move(*held);
    ctx.state.reset();
    if (a->src.data != s.data() || mip.width != a->width || mip.height != a->height * a->frames)
        return false;
    const size_t slice = size_t(a->width) * size_t(a->height) * 4;
    int got = 0;
    bool flushed = false;
    while (got < a->frames) {
        const int r = ff->avcodec_receive_frame(a->dec, a->frame);
        if (r == 0) {
            if (storeFrame(*a, mip.data[0] + size_t(got) * slice)) ++got;
            ff->av_frame_unref(a->frame);
            continue;
        }
        if (r != AVERROR(EAGAIN) || flushed) break;
        if (ff->av_read_frame(a->fmt, a->pkt) < 0) {
            // End of the file: drain the frames the decoder still holds.
            ff->avcodec_send_packet(a->dec, nullptr);
            flushed = true;
            continue;
        }
        // A packet the decoder refuses is skipped; the next one may decode.
        if (a->pkt->stream_index == a->stream) ff->avcodec_send_packet(a->dec, a->pkt);
        ff->av_packet_unref(a->pkt);
    }
    if (got == 0) return fail(ctx, "AVI file: no frame could be decoded.");
    // Frames the file promised but did not deliver stay transparent black.
    std::memset(mip.data[0] + size_t(got) * slice, 0, size_t(a->frames - got) * slice);
    return true;
}
