#include <gtest/gtest.h>

#include "raster_test_util.h"
#include "texlib/rgt.h"

using namespace raster;

TEST(Rgt, BothByteOrdersReadBottomRowFirst) {
    // Little-endian form: words flags, ?, width, height, ?.
    Bytes le;
    le.u8(0xDA).u8(0x01).le16(0).le16(0).le16(2).le16(2).le16(0);
    le.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(7).u8(8);         // stored first: bottom row
    le.u8(9).u8(10).u8(11).u8(12).u8(13).u8(14).u8(15).u8(16);  // top row
    TxReadContext ctx;
    EXPECT_EQ(readPixels(le.v, ctx),
              (std::vector<uint32_t>{0x0C090A0B, 0x100D0E0F, 0x04010203, 0x08050607}));
    EXPECT_EQ(ctx.fileType, TX_TYPE_RGT);

    // Big-endian form: the words are swapped and red and blue change places.
    Bytes be;
    be.u8(0x01).u8(0xDA).be16(0).be16(0).be16(1).be16(1).be16(0);
    be.u8(1).u8(2).u8(3).u8(4);
    EXPECT_EQ(readPixels(be.v, ctx), (std::vector<uint32_t>{0x04030201}));
}

TEST(Rgt, CompressedFormsShortDataAndSizesFail) {
    TxReadContext ctx;
    TxMip mip;
    auto expectFailure = [&](const Bytes& b, const char* error) {
        ctx = TxReadContext();
        EXPECT_FALSE(readOwn(b.v, mip, ctx)) << error;
        EXPECT_EQ(mip.data[0], nullptr);
        EXPECT_EQ(ctx.lastError, error);
    };
    Bytes ncc;
    ncc.u8(0xDA).u8(0x01).le16(0x0200).le16(0).le16(1).le16(1).le16(0).fill(4, 0);
    expectFailure(ncc, "RGT file: RGT NCC files not supported.");
    Bytes rle;
    rle.u8(0xDA).u8(0x01).le16(0x0100).le16(0).le16(1).le16(1).le16(0).fill(4, 0);
    expectFailure(rle, "RGT file: RGT RLE files not supported.");
    Bytes shortData;
    shortData.u8(0xDA).u8(0x01).le16(0).le16(0).le16(2).le16(2).le16(0).fill(15, 0);
    expectFailure(shortData, "RGT file: Unexpected End of File.");
    Bytes zero;
    zero.u8(0xDA).u8(0x01).le16(0).le16(0).le16(0).le16(2).le16(0);
    expectFailure(zero, "RGT file: width or height is 0.");
    Bytes huge;
    huge.u8(0xDA).u8(0x01).le16(0).le16(0).le16(65535).le16(65535).le16(0);
    expectFailure(huge, "RGT file: image is too large.");
    Bytes cut;
    cut.u8(0xDA).u8(0x01).le16(0).le16(0);
    expectFailure(cut, "RGT file: Unexpected end of file.");
}
