#include <gtest/gtest.h>

#include "image_model.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

// width x height, palette of the given 5-6-5 words after the key, optional alpha table, and rows of codes.
Bytes rlFile(int width, int height, const std::vector<std::uint16_t>& colours,
             const std::vector<std::uint8_t>& levels, const std::vector<Bytes>& rows) {
    const std::size_t p = colours.size() + 1;
    Bytes out(12, 0);
    out[0] = 'R';
    out[1] = 'L';
    putU16(out, 2, levels.empty() ? 0 : 1);
    putU16(out, 4, static_cast<std::uint32_t>(width));
    putU16(out, 6, static_cast<std::uint32_t>(height));
    putU16(out, 8, static_cast<std::uint32_t>(p));
    putU16(out, 10, static_cast<std::uint32_t>(rows.size()));
    out.push_back(0x1F);
    out.push_back(0xF8);
    for (std::uint16_t c : colours) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.insert(out.end(), levels.begin(), levels.end());
    for (const Bytes& row : rows) {
        out.push_back(static_cast<std::uint8_t>(row.size()));
    }
    for (const Bytes& row : rows) {
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Status decode(const Bytes& file, ImageModel& model) {
    return decodeCompressed(file, model);
}

}  // namespace

TEST(RlReader, DecodesTheWorkedExample) {
    ImageModel model;
    ASSERT_TRUE(decode(redGapBlueRl(), model));
    EXPECT_EQ(model.Width, 10);
    EXPECT_EQ(model.Height, 1);
    EXPECT_EQ(model.BitDepth, 32);
    EXPECT_EQ(model.RlAlphaFlag, 1);  // index 0 was met
    EXPECT_EQ(model.RlPaletteCount - 1, 2);
    EXPECT_EQ(model.RlKeyColor, 0xF81F);
    EXPECT_EQ(model.RlPalette, (std::vector<std::int32_t>{0, 248, 248 << 16, 0}));
    ASSERT_EQ(model.Pixels.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const PixelRecord expected = i < 5   ? PixelRecord{248, 255}
                                     : i < 7 ? PixelRecord{0, 0}
                                             : PixelRecord{248 << 16, 255};
        EXPECT_EQ(model.Pixels[i].Color, expected.Color) << i;
        EXPECT_EQ(model.Pixels[i].Alpha, expected.Alpha) << i;
    }
}

TEST(RlReader, AlphaTableAndTransparencyFlag) {
    ImageModel model;
    ASSERT_TRUE(decode(rlFile(3, 1, {0xF800, 0x07E0}, {0x20, 16, 0}, {{1, 2, 2}}), model));
    EXPECT_EQ(model.Pixels[0].Alpha, 127);
    EXPECT_EQ(model.Pixels[1].Alpha, 0);
    EXPECT_EQ(model.Pixels[1].Color, 252 << 8);
    ImageModel opaque;
    ASSERT_TRUE(decode(rlFile(5, 1, {0xF800}, {}, {{0xFE, 1, 5}}), opaque));
    EXPECT_EQ(opaque.RlAlphaFlag, 0);
    EXPECT_EQ(opaque.Pixels[4].Alpha, 255);
    ImageModel damaged;  // a level above 32 stays a byte
    ASSERT_TRUE(decode(rlFile(1, 1, {0xF800}, {0x20, 200}, {{1}}), damaged));
    EXPECT_EQ(damaged.Pixels[0].Alpha, 255);
}

TEST(RlReader, EmptyRowLetsTheNextRowContinue) {
    ImageModel model;
    ASSERT_TRUE(decode(rlFile(2, 2, {0xF800}, {}, {{}, {0xFE, 1, 3}}), model));
    EXPECT_EQ(model.Pixels[2].Alpha, 255);
    EXPECT_EQ(model.Pixels[3].Alpha, 0);  // never decoded: transparent black
    EXPECT_EQ(model.RlAlphaFlag, 0);
}

TEST(RlReader, OneMissingByteReadsAsZeroAndMoreFails) {
    const Bytes file = redGapBlueRl();
    ImageModel model;
    ASSERT_TRUE(decodeCompressed(std::span(file).first(file.size() - 1), model));
    EXPECT_EQ(model.Pixels[9].Alpha, 0);
    EXPECT_EQ(model.Pixels[8].Alpha, 255);
    EXPECT_FALSE(decodeCompressed(std::span(file).first(file.size() - 2), model));
    // Every shorter prefix is refused or, where the spare byte reads as an empty row, decodes nothing.
    for (std::size_t length = 0; length + 2 < file.size(); ++length) {
        ImageModel prefix;
        if (decodeCompressed(std::span(file).first(length), prefix)) {
            EXPECT_EQ(countAlphaPixels(prefix.Pixels).transparentPixels, 10) << length;
        }
    }
}

TEST(RlReader, RefusesCorruptOrHugeFilesWithoutAllocating) {
    auto withWord = [](std::size_t at, std::uint32_t value) {
        Bytes file = redGapBlueRl();
        putU16(file, at, value);
        return file;
    };
    auto withSize = [&](std::uint32_t width, std::uint32_t height) {
        Bytes file = withWord(4, width);
        putU16(file, 6, height);
        return file;
    };
    const std::pair<Bytes, ErrorCode> cases[] = {
        {withWord(2, 2), ErrorCode::Corrupt},
        {withSize(65535, 65535), ErrorCode::TooLarge},
        {withSize(4096, 4096), ErrorCode::Corrupt},  // 27 bytes cannot describe 16 million pixels
        {withWord(4, 9), ErrorCode::Corrupt},        // more pixels than the image holds
        {rlFile(2, 1, {0xF800}, {}, {{1, 3}}), ErrorCode::Corrupt},  // index 3 beyond slots 0..P
        {withWord(8, 3000), ErrorCode::Truncated},
        {withWord(10, 300), ErrorCode::Truncated},
        {rlFile(4, 1, {0xF800}, {}, {{1, 0xFE, 1}, {4}}), ErrorCode::Corrupt},  // run code across a row end
    };
    for (const auto& [file, code] : cases) {
        ImageModel model;
        const Status status = decode(file, model);
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, code) << status.error().detail;
    }
    ImageModel sparse;  // a small declared size the data does not fill is still trusted
    ASSERT_TRUE(decode(rlFile(2048, 2048, {0xF800}, {}, {{1}}), sparse));
    EXPECT_EQ(sparse.Pixels.size(), 2048u * 2048u);
}
