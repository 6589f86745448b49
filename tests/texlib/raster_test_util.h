// Helpers shared by the tests of the raster formats (BMP, PCX, PPM, RGT, SPR, PNG, JPEG, AVI).
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "test_util.h"

namespace raster {

inline std::vector<uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Reads a record in the file's own format.
inline bool readOwn(const std::vector<uint8_t>& bytes, TxMip& mip, TxReadContext& ctx) {
    TxStream s(bytes.data(), bytes.size());
    return txMipRead(mip, "memory", s, TX_PREFER_OWN, ctx);
}

// Runs `write` in a child process whose file size limit is `limitBytes`, so that the writer meets
// a real short write; returns the writer's result (or -1 when the child died).
inline int resultUnderSizeLimit(rlim_t limitBytes, const std::function<int()>& write) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{limitBytes, limitBytes};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        ::_exit(write() & 0x7F);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A small test image with distinct colours and alpha values.
inline std::vector<uint32_t> pattern(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * size_t(w) + size_t(x)] =
                (uint32_t((x * 37 + y * 11) & 0xFF) << 24) | (uint32_t((x * 16) & 0xFF) << 16) |
                (uint32_t((y * 24) & 0xFF) << 8) | uint32_t((x * y * 5 + 3) & 0xFF);
    return px;
}

inline std::vector<uint32_t> opaque(std::vector<uint32_t> px) {
    for (auto& p : px) p |= 0xFF000000u;
    return px;
}

inline std::vector<uint32_t> rgbOnly(std::vector<uint32_t> px) {
    for (auto& p : px) p &= 0x00FFFFFFu;
    return px;
}

}  // namespace raster
