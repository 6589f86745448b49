// Where the texture container writers put their bytes: a file, or memory for tests and previews.
// Data goes out in slices so that a large texture is never held twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

using TxByteSink = std::function<bool(const uint8_t* data, size_t count)>;
