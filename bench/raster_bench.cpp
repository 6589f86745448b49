// Raster decode beside stb_image on the same bytes: PNG RGBA 2048x2048 (as libpng writes it by
// default), JPEG 2048x2048 photo-like content and 24-bit BMP 2048x2048; PNG encode beside
// stb_image_write with the file sizes, of the photo-like picture and of a sprite sheet of a few
// colours (which our writer stores as a palette image). After the run a table gives each peer time
// / our time (above 1.0: we are faster).
// With RASTER_BENCH_FILE=path it only decodes that file from memory, RUNS times (7 by default),
// and prints "decode_ms <median>" (and "encode_ms" with RASTER_BENCH_ENCODE=png): the codec's
// floor under a whole-process conversion of it.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "texlib/bmp.h"
#include "texlib/png.h"
#include "texlib/read.h"

namespace {

constexpr int kSide = 2048;
constexpr int64_t kPixelBytes = int64_t(kSide) * kSide * 4;

// Photo-like: smooth gradients and soft shapes with a little sensor noise; alpha varies slowly.
const std::vector<uint32_t>& image() {
    static const std::vector<uint32_t> px = [] {
        std::vector<uint32_t> p(size_t(kSide) * kSide);
        uint32_t seed = 99;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 29) - 4;
                const double fx = x / double(kSide), fy = y / double(kSide);
                auto ch = [&](double v) {
                    const int c = int(v * 255.0) + noise;
                    return uint32_t(c < 0 ? 0 : c > 255 ? 255 : c);
                };
                const double r = 0.5 + 0.5 * std::sin(fx * 6.0 + fy * 2.0);
                const double g = 0.5 + 0.4 * std::cos(fy * 5.0 - fx * 3.0);
                const double b = 0.5 + 0.45 * std::sin((fx - 0.5) * (fy - 0.3) * 20.0);
                const uint32_t a = 128 + uint32_t(127.0 * fx);
                p[size_t(y) * kSide + x] = (a << 24) | (ch(r) << 16) | (ch(g) << 8) | ch(b);
            }
        return p;
    }();
    return px;
}

std::vector<uint8_t> toRgba(const std::vector<uint32_t>& px) {
    std::vector<uint8_t> v(px.size() * 4);
    for (size_t k = 0; k < px.size(); ++k) {
        v[4 * k] = uint8_t(px[k] >> 16);
        v[4 * k + 1] = uint8_t(px[k] >> 8);
        v[4 * k + 2] = uint8_t(px[k]);
        v[4 * k + 3] = uint8_t(px[k] >> 24);
    }
    return v;
}

// Flat sprite art: rounded 48 x 48 sprites in four colours with a dark outline and a white
// highlight on a clear sheet, seven colours in all.
const std::vector<uint32_t>& sheet() {
    static const std::vector<uint32_t> px = [] {
        std::vector<uint32_t> p(size_t(kSide) * kSide, 0);
        const uint32_t fill[4] = {0xFFE04040u, 0xFF40A040u, 0xFF4060E0u, 0xFFF0D020u};
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const int sx = x % 64 - 32, sy = y % 64 - 32, d = sx * sx + sy * sy;
                if (d >= 24 * 24) continue;
                const int hx = sx + 12, hy = sy + 12;
                p[size_t(y) * kSide + size_t(x)] = d >= 22 * 22 ? 0xFF14141Eu
                                                   : hx * hx + hy * hy < 16
                                                       ? 0xFFFFFFFFu
                                                       : fill[(x / 64 * 7 + y / 64 * 3) % 4];
            }
        return p;
    }();
    return px;
}

// R, G, B, A bytes of a picture, as the peers take them.
const std::vector<uint8_t>& rgbaBytes(bool flat = false) {
    static const std::vector<uint8_t> photo = [] { return toRgba(image()); }();
    static const std::vector<uint8_t> sprites = [] { return toRgba(sheet()); }();
    return flat ? sprites : photo;
}

std::vector<uint8_t> pngFile() {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = kSide;
    img.height = kSide;
    img.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&img, nullptr, &size, 0, rgbaBytes().data(), 0, nullptr);
    std::vector<uint8_t> out(size);
    png_image_write_to_memory(&img, out.data(), &size, 0, rgbaBytes().data(), 0, nullptr);
    out.resize(size);
    return out;
}

std::vector<uint8_t> jpegFile() {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = 4;
    c.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(rgbaBytes().data()) + size_t(c.next_scanline) * kSide * 4;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    return out;
}

std::vector<uint8_t> bmpFile() {
    const std::string path = "/tmp/tarquil_raster_bench.bmp";
    txWriteBMP(path, kSide, kSide, image().data());
    std::vector<uint8_t> bytes;
    std::string err;
    txLoadFile(path, bytes, err);
    std::remove(path.c_str());
    return bytes;
}

const std::vector<uint8_t>& file(const std::string& kind) {
    static std::map<std::string, std::vector<uint8_t>> files;
    auto& f = files[kind];
    if (f.empty()) f = kind == "png" ? pngFile() : kind == "jpeg" ? jpegFile() : bmpFile();
    return f;
}

void decodeOurs(benchmark::State& state, const std::string& kind) {
    const auto& bytes = file(kind);
    for (auto _ : state) {
        TxStream s(bytes.data(), bytes.size());
        TxMip mip;
        TxReadContext ctx;
        if (!txMipRead(mip, "bench", s, TX_PREFER_ARGB8888, ctx))
            state.SkipWithError(ctx.lastError.c_str());
        benchmark::DoNotOptimize(mip.data[0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kPixelBytes);
    state.counters["file_bytes"] = double(bytes.size());
}

void decodeStb(benchmark::State& state, const std::string& kind) {
    const auto& bytes = file(kind);
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* p = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4);
        if (!p) state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(p);
        stbi_image_free(p);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kPixelBytes);
}

void encodeOurs(benchmark::State& state, bool flat) {
    const std::string path = "/tmp/tarquil_raster_bench_out.png";
    for (auto _ : state)
        if (txWritePNG(path, kSide, kSide, (flat ? sheet() : image()).data()) != TX_PNG_OK)
            state.SkipWithError("write");
    std::vector<uint8_t> bytes;
    std::string err;
    txLoadFile(path, bytes, err);
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * kPixelBytes);
    state.counters["file_bytes"] = double(bytes.size());
}

void appendBytes(void* ctx, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(ctx);
    v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

void encodeStb(benchmark::State& state, bool flat) {
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        // Written to memory: the file system would only add the same cost to both.
        if (!stbi_write_png_to_func(appendBytes, &out, kSide, kSide, 4, rgbaBytes(flat).data(),
                                    kSide * 4))
            state.SkipWithError("stb_image_write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kPixelBytes);
    state.counters["file_bytes"] = double(out.size());
}

// Collects the CPU times of the run for the ratio table (the median when repetitions are asked
// for): decoding is single-threaded, and CPU time is steadier than wall time on a busy machine.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.error_occurred) continue;
            if (r.run_type == Run::RT_Iteration ||
                (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"))
                times[r.run_name.str()] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

BENCHMARK_CAPTURE(decodeOurs, png_rgba, std::string("png"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeStb, png_rgba, std::string("png"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeOurs, jpeg, std::string("jpeg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeStb, jpeg, std::string("jpeg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeOurs, bmp24, std::string("bmp"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeStb, bmp24, std::string("bmp"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encodeOurs, png_rgba, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encodeStb, png_rgba, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encodeOurs, png_sheet, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encodeStb, png_sheet, true)->Unit(benchmark::kMillisecond);

// The median wall times of decoding one file's bytes, already in memory, and with
// RASTER_BENCH_ENCODE=png of writing the picture as PNG into /dev/shm (where the file system costs
// least), in milliseconds.
static int decodeFileOnly(const char* path) {
    std::vector<uint8_t> bytes;
    std::string err;
    if (!txLoadFile(path, bytes, err)) {
        std::fprintf(stderr, "raster_bench: %s: %s\n", path, err.c_str());
        return 1;
    }
    const char* runsText = std::getenv("RUNS");
    const int runs = runsText && std::atoi(runsText) > 0 ? std::atoi(runsText) : 7;
    const char* encode = std::getenv("RASTER_BENCH_ENCODE");
    const bool png = encode && std::string(encode) == "png";
    const std::string out = "/dev/shm/tarquil_raster_bench_" + std::to_string(::getpid()) + ".png";
    std::vector<double> decodeMs, encodeMs;
    auto since = [](std::chrono::steady_clock::time_point t0) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
            .count();
    };
    for (int k = 0; k < runs; ++k) {
        auto t0 = std::chrono::steady_clock::now();
        TxStream s(bytes.data(), bytes.size());
        TxMip mip;
        TxReadContext ctx;
        if (!txMipRead(mip, path, s, TX_PREFER_ARGB8888, ctx)) {
            std::fprintf(stderr, "raster_bench: %s: %s\n", path, ctx.lastError.c_str());
            return 1;
        }
        benchmark::DoNotOptimize(mip.data[0]);
        decodeMs.push_back(since(t0));
        if (!png) continue;
        t0 = std::chrono::steady_clock::now();
        int w = 0, h = 0;
        const auto texels = txMipLevelTexels(mip, 0, w, h);
        const int r = txWritePNG(out, w, h, texels.data());
        encodeMs.push_back(since(t0));
        std::remove(out.c_str());
        if (r != TX_PNG_OK) {
            std::fprintf(stderr, "raster_bench: writing %s failed\n", out.c_str());
            return 1;
        }
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("decode_ms %.2f\n", median(decodeMs));
    if (png) std::printf("encode_ms %.2f\n", median(encodeMs));
    return 0;
}

int main(int argc, char** argv) {
    if (const char* path = std::getenv("RASTER_BENCH_FILE")) return decodeFileOnly(path);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nstb CPU time / our CPU time (target >= 1.0 for decoding):\n");
    for (const char* k : {"png_rgba", "jpeg", "bmp24"}) {
        const auto ours = reporter.times.find(std::string("decodeOurs/") + k);
        const auto peer = reporter.times.find(std::string("decodeStb/") + k);
        if (ours != reporter.times.end() && peer != reporter.times.end() && ours->second > 0)
            std::printf("  decode %-9s %.2f\n", k, peer->second / ours->second);
    }
    for (const char* k : {"png_rgba", "png_sheet"}) {
        const auto eo = reporter.times.find(std::string("encodeOurs/") + k);
        const auto es = reporter.times.find(std::string("encodeStb/") + k);
        if (eo != reporter.times.end() && es != reporter.times.end() && eo->second > 0)
            std::printf("  encode %-9s %.2f (file sizes in the file_bytes column)\n", k,
                        es->second / eo->second);
    }
    benchmark::Shutdown();
    return 0;
}
