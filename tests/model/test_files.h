// Small image files made by the tests themselves.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "texlib/tga.h"

// A fresh empty folder under the test temporary directory.
inline std::string freshDir(const std::string& name) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A w x h TGA whose every pixel is `value`.
inline void writeSolidTga(const std::string& path, int w, int h, uint32_t value) {
    std::vector<uint32_t> px(size_t(w) * size_t(h), value);
    ASSERT_EQ(txWriteTGA(path, w, h, px.data()), TX_TGA_OK) << path;
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }
