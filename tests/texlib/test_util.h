// Helpers shared by the codec tests: byte builders and reading from memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "texlib/read.h"

struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(int x) {
        v.push_back(uint8_t(x));
        return *this;
    }
    Bytes& le16(int x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
    Bytes& le32(uint32_t x) { return le16(int(x & 0xFFFF)).le16(int(x >> 16)); }
    Bytes& be16(int x) { return u8((x >> 8) & 0xFF).u8(x & 0xFF); }
    Bytes& be32(uint32_t x) { return be16(int(x >> 16)).be16(int(x & 0xFFFF)); }
    // Grown, then copied into: GCC 12 at -O3 takes vector::insert of a range for an overflow of
    // the old block (a false -Wstringop-overflow that breaks Release builds with -Werror).
    Bytes& str(const std::string& s) {
        const size_t at = v.size();
        v.resize(at + s.size());
        if (!s.empty()) std::memcpy(v.data() + at, s.data(), s.size());
        return *this;
    }
    Bytes& fill(size_t n, int x) {
        v.resize(v.size() + n, uint8_t(x));
        return *this;
    }
};

// Reads bytes through the whole detection; returns the argb8888 pixels (empty on failure).
inline std::vector<uint32_t> readPixels(const std::vector<uint8_t>& bytes, TxReadContext& ctx,
                                        int* w = nullptr, int* h = nullptr) {
    TxStream s(bytes.data(), bytes.size());
    TxMip mip;
    if (!txMipRead(mip, "memory", s, TX_PREFER_ARGB8888, ctx)) return {};
    if (w) *w = mip.width;
    if (h) *h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(mip.width) * size_t(mip.height));
}

inline std::string tempPath(const std::string& name) {
    return std::string(::testing::TempDir()) + name;
}

// Collects the texts the codec reports through TxReadError while it lives.
inline std::vector<std::string> gErrors;
inline void recordError(const char* msg, int) { gErrors.emplace_back(msg); }
struct ErrorCapture {
    TxErrorCallback old;
    ErrorCapture() : old(TxReadError) {
        gErrors.clear();
        TxReadError = recordError;
    }
    ~ErrorCapture() { TxReadError = old; }
};

// An argb8888 record of w x h with `depth` levels, its first level filled from `px`.
inline TxMip image(int w, int h, const std::vector<uint32_t>& px, int depth = 1) {
    TxMip m;
    EXPECT_TRUE(txMipInit(m, w, h, depth, TX_FMT_ARGB8888));
    std::memcpy(m.data[0], px.data(), std::min(px.size() * 4, size_t(m.size)));
    return m;
}
