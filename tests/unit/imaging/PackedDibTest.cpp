#include "imaging/PackedDib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/Palette.h"

namespace tolm {
namespace {

PackedDib Pack(const Bitmap& image, int bits) {
    PackedDib::Error error = PackedDib::Error::none;
    std::optional<PackedDib> dib = PackedDib::FromBitmap(image, bits, error);
    EXPECT_EQ(error, PackedDib::Error::none);
    return std::move(*dib);
}

TEST(PackedDibLayout, TwentyFourBitHasNoColourTable) {
    const PackedDib dib = Pack(Bitmap(300, 200), 24);
    const BitmapInfoHeader h = dib.Header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 300);
    EXPECT_EQ(h.biHeight, 200);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 900u * 200u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
    EXPECT_EQ(dib.FormatSize(), 40u);
    EXPECT_EQ(dib.Size(), 40u + 900u * 200u);
}

TEST(PackedDibLayout, EightBitCarriesTheFixedPalette) {
    const PackedDib dib = Pack(Bitmap(301, 1), 8);
    EXPECT_EQ(dib.Header().biSizeImage, 304u);
    EXPECT_EQ(dib.Header().biClrUsed, 256u);
    EXPECT_EQ(dib.FormatSize(), 1064u);
    EXPECT_EQ(dib.Bits() - dib.Data(), 1064);
    const std::uint8_t* table = dib.Data() + 40;
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t p = FixedPalette()[static_cast<std::size_t>(i)];
        ASSERT_EQ(table[4 * i], p & 0xFF) << i;
        ASSERT_EQ(table[4 * i + 1], p >> 8 & 0xFF) << i;
        ASSERT_EQ(table[4 * i + 2], p >> 16 & 0xFF) << i;
        ASSERT_EQ(table[4 * i + 3], 0) << i;
    }
}

TEST(PackedDibLayout, SixteenBitStrideIsPaddedToWords) {
    const PackedDib dib = Pack(Bitmap(301, 3), 16);
    EXPECT_EQ(dib.Header().biSizeImage, 604u * 3u);
    EXPECT_EQ(dib.BitsSize(), 604u * 3u);
}

TEST(PackedDibLayout, RowsAreStoredBottomUpWithZeroPadding) {
    Bitmap image(3, 2, TPixelFormat::pf32bit);
    image.Fill(0x102030);
    image.SetPixelRGB(0, 0, 0xAABBCC);  // top-left
    const PackedDib dib = Pack(image, 24);
    const std::uint8_t* lastRow = dib.Bits() + 12;  // stride of 3 pixels at 24 bits is 12
    EXPECT_EQ(lastRow[0], 0xCC);
    EXPECT_EQ(lastRow[1], 0xBB);
    EXPECT_EQ(lastRow[2], 0xAA);
    EXPECT_EQ(dib.Bits()[0], 0x30);
    EXPECT_EQ(dib.Bits()[9], 0);  // padding
    EXPECT_EQ(dib.Bits()[11], 0);
}

TEST(PackedDibLayout, ThirtyTwoBitClearsTheUnusedByte) {
    Bitmap image(2, 1, TPixelFormat::pf32bit);
    std::fill(image.Bits(), image.Bits() + image.ByteSize(), std::uint8_t{0x7F});
    const PackedDib dib = Pack(image, 32);
    EXPECT_EQ(dib.Bits()[3], 0);
    EXPECT_EQ(dib.Bits()[7], 0);
    EXPECT_EQ(dib.Bits()[2], 0x7F);
}

TEST(PackedDibLayout, EmptyImageGivesHeaderAndRetrieveError) {
    PackedDib::Error error = PackedDib::Error::none;
    std::optional<PackedDib> dib = PackedDib::FromBitmap(Bitmap(0, 10), 24, error);
    EXPECT_EQ(error, PackedDib::Error::retrieve);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->Size(), 40u);
    EXPECT_STREQ(PackedDib::ErrorText(error), "Error retrieving image bits");
}

TEST(BmpFile, WritesFileHeaderBeforeTheDib) {
    const PackedDib dib = Pack(Bitmap(5, 4), 8);
    const std::string path = ::testing::TempDir() + "/tolm_dib_test.bmp";
    std::string error;
    ASSERT_TRUE(WriteBmpFile(path, dib, error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 14 + dib.Size());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[10]) | static_cast<std::uint8_t>(bytes[11]) << 8, 14 + 1064);
    std::remove(path.c_str());
}

TEST(BmpFile, UnwritablePathIsAnErrorNotACrash) {
    const PackedDib dib = Pack(Bitmap(2, 2), 24);
    std::string error;
    EXPECT_FALSE(WriteBmpFile("/nonexistent-folder/x.bmp", dib, error));
    EXPECT_NE(error.find("/nonexistent-folder/x.bmp"), std::string::npos);
}

}  // namespace
}  // namespace tolm
