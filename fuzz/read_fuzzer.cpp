// Feeds arbitrary bytes through the whole type detection and every reader.
#include <cstddef>
#include <cstdint>

#include "texlib/read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TxStream s(data, size);
    TxMip mip;
    TxReadContext ctx;
    txMipRead(mip, "fuzz.bin", s, TX_PREFER_ARGB8888, ctx);
    TxStream s2(data, size);
    TxMip own;
    TxReadContext ctx2;
    txMipRead(own, "fuzz.bin", s2, TX_PREFER_OWN, ctx2);
    return 0;
}
