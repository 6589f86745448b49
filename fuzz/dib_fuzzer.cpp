// Feeds arbitrary bytes to the clipboard picture reader as a block another program could hand us.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "texlib/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TxMip mip;
    if (txDibRead(data, size, mip)) {
        // What we read must write back as a block the reader takes again.
        const std::vector<uint8_t> block =
            txDibWrite(mip.width, mip.height, reinterpret_cast<const uint32_t*>(mip.data[0]));
        TxMip again;
        if (block.empty() || !txDibRead(block.data(), block.size(), again)) __builtin_trap();
    }
    const std::vector<uint8_t> v(data, data + size);
    txDibToBmpFile(v);
    return 0;
}
