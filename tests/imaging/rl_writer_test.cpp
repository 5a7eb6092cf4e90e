#include <gtest/gtest.h>

#include "image_model.h"
#include "rl_format.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

Result<Bytes> compress(int width, int height, const std::vector<Rgba>& pixels, bool topDown = false) {
    ImageModel model;
    const Status loaded = decodeBitmap(makeBitmap(width, height, pixels, 32, topDown), model);
    if (!loaded) {
        return loaded.error();
    }
    return encodeCompressed(model);
}

// The codes of a one-row image: everything after the single row-length byte.
Bytes rowCodes(const std::vector<Rgba>& row) {
    const Bytes file = compress(static_cast<int>(row.size()), 1, row).value();
    const std::size_t p = file[8];
    const std::size_t table = 12 + 2 * p + (file[2] ? p : 0);
    EXPECT_EQ(file[table], file.size() - table - 1);
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(table) + 1, file.end());
}

std::vector<Rgba> repeat(std::initializer_list<std::pair<Rgba, int>> runs) {
    std::vector<Rgba> out;
    for (auto [pixel, count] : runs) {
        out.insert(out.end(), static_cast<std::size_t>(count), pixel);
    }
    return out;
}

const Rgba Red{255, 0, 0, 255};
const Rgba Blue{0, 0, 255, 255};
const Rgba Clear{0, 0, 0, 0};

}  // namespace

TEST(RlWriter, WritesTheWorkedExampleByteForByte) {
    EXPECT_EQ(compress(10, 1, redGapBlueRow()).value(), redGapBlueRl());
    EXPECT_EQ(rowCodes(redGapBlueRow()), (Bytes{0xFE, 1, 5, 0, 0, 2, 2, 2}));
}

TEST(RlWriter, RunsAreCutInto255PixelPieces) {
    EXPECT_EQ(rowCodes(repeat({{Red, 255}})), (Bytes{0xFE, 1, 0xFF}));
    EXPECT_EQ(rowCodes(repeat({{Red, 256}})), (Bytes{0xFE, 1, 0xFF, 0xFE, 1, 1}));
    EXPECT_EQ(rowCodes(repeat({{Red, 300}})), (Bytes{0xFE, 1, 0xFF, 0xFE, 1, 45}));
    EXPECT_EQ(rowCodes(repeat({{Red, 510}})), (Bytes{0xFE, 1, 0xFF, 0xFE, 1, 0xFF}));
    EXPECT_EQ(rowCodes(repeat({{Clear, 300}, {Red, 1}})), (Bytes{0xFF, 0xFF, 0xFF, 45, 1}));
}

TEST(RlWriter, MidRowAndEndOfRowRulesDiffer) {
    EXPECT_EQ(rowCodes(repeat({{Red, 4}})), (Bytes{0xFE, 1, 4}));
    EXPECT_EQ(rowCodes(repeat({{Red, 3}})), (Bytes{1, 1, 1}));
    EXPECT_EQ(rowCodes(repeat({{Red, 3}, {Blue, 1}})), (Bytes{1, 1, 1, 2}));
    EXPECT_EQ(rowCodes(repeat({{Red, 1}, {Clear, 3}, {Red, 1}})), (Bytes{1, 0xFF, 3, 1}));
    EXPECT_EQ(rowCodes(repeat({{Red, 1}, {Clear, 3}})), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(rowCodes(repeat({{Red, 1}, {Clear, 4}})), (Bytes{1, 0xFF, 4}));
}

TEST(RlWriter, AlphaBelowSevenIsTransparentAndOnlyAlphaZeroNeedsNoTable) {
    // Alpha 1..6 joins a transparent run whatever its colour; alone it is index 0.
    const Rgba a0{9, 9, 9, 0}, a6{200, 0, 0, 6}, a1{0, 0, 0, 1}, a5{0, 9, 0, 5};
    const Bytes codes = rowCodes(repeat({{Red, 1}, {a0, 1}, {a6, 1}, {a1, 1}, {Red, 1}, {a5, 1}}));
    EXPECT_EQ(codes, (Bytes{1, 0xFF, 3, 1, 0}));
    const Bytes withTable = compress(6, 1, repeat({{Red, 1}, {Rgba{0, 0, 0, 3}, 5}})).value();
    EXPECT_EQ(withTable[2], 1);
    const Bytes noTable = compress(6, 1, repeat({{Red, 1}, {Clear, 5}})).value();
    EXPECT_EQ(noTable[2], 0);
}

TEST(RlWriter, AlphaTableRoundsHalvesToEvenWhileRunsUseTheFloor) {
    EXPECT_EQ(rl::alphaTableByte(3), 0);
    EXPECT_EQ(rl::alphaTableByte(11), 2);
    EXPECT_EQ(rl::alphaTableByte(19), 2);
    // 253 and 255 are two levels: two runs. 96 and 102 share level 12: a run takes the entry of its first
    // pixel, single codes each take their own.
    const Rgba red253{255, 0, 0, 253}, b96{0, 0, 255, 96}, b102{0, 0, 255, 102};
    const auto row =
        repeat({{red253, 4}, {Red, 4}, {b96, 2}, {b102, 2}, {Red, 1}, {b102, 1}, {b96, 1}, {b102, 1}});
    const Bytes file = compress(static_cast<int>(row.size()), 1, row).value();
    const Bytes expectedHead = {'R',  'L',  1,    0,    16,   0, 1,    0, 5,    0,  1,  0,  0x1F, 0xF8,
                                0x00, 0xF8, 0x00, 0xF8, 0x1F, 0, 0x1F, 0, 0x20, 32, 32, 12, 13};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 27), expectedHead);
    EXPECT_EQ(Bytes(file.begin() + 28, file.end()), (Bytes{0xFE, 1, 4, 0xFE, 2, 4, 0xFE, 3, 4, 2, 4, 3, 4}));
}

TEST(RlWriter, PaletteLimitIs253Colours) {
    const Bytes file = compress(253, 1, distinctColours(253)).value();
    EXPECT_EQ(file[8], 254);
    EXPECT_EQ(file.back(), 0xFD);
    const Result<Bytes> refused = compress(254, 1, distinctColours(254));
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::TooManyColours);
    EXPECT_EQ(refused.error().detail, "too many colour/alpha combinations: 254 (at most 253)");
}

TEST(RlWriter, RowsMayTakeAt255Bytes) {
    // Alternating colours give one byte per pixel, and a trailing run of 4 gives three more.
    auto row = [](int singles) {
        std::vector<Rgba> out;
        for (int i = 0; i < singles; ++i) {
            out.push_back(i % 2 ? Red : Blue);
        }
        out.insert(out.end(), 4, Rgba{0, 255, 0, 255});
        return out;
    };
    EXPECT_TRUE(compress(256, 1, row(252)));
    const Result<Bytes> tooLong = compress(257, 1, row(253));
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.error().code, ErrorCode::RowTooLong);

    TempDir dir;
    writeFile(dir / "out.rl", {'o', 'l', 'd'});
    ImageModel model;
    ASSERT_TRUE(decodeBitmap(makeBitmap(257, 1, row(253)), model));
    EXPECT_FALSE(SaveCompressedImage(dir / "out.rl", model));
    EXPECT_EQ(readFile(dir / "out.rl"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST(RlWriter, HeaderAndRowTableMustStayWithinASignedWord) {
    EXPECT_TRUE(compress(1, 32749, repeat({{Red, 32749}})));  // 12 + 2 * 2 + 32749 + 2 = 32767
    EXPECT_EQ(compress(1, 32750, repeat({{Red, 32750}})).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(compress(65536, 1, repeat({{Red, 65536}})).error().code, ErrorCode::TooLarge);
}

TEST(RlWriter, TopDownBitmapCompressesLikeItsBottomUpTwin) {
    std::vector<Rgba> pixels;
    for (int i = 0; i < 6 * 4; ++i) {
        pixels.push_back(Rgba{static_cast<std::uint8_t>(i / 6 * 60), static_cast<std::uint8_t>(i % 3 * 80), 0,
                              static_cast<std::uint8_t>(i % 5 ? 255 : 100)});
    }
    EXPECT_EQ(compress(6, 4, pixels, true).value(), compress(6, 4, pixels).value());
}

TEST(RlWriter, RoundTripKeepsFiveSixFiveColoursAndAlphaLevels) {
    std::vector<Rgba> pixels;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            const int band = (x / 5 + y) % 6;
            pixels.push_back(Rgba{static_cast<std::uint8_t>(band * 45 + 3),
                                  static_cast<std::uint8_t>(y * 12 + 1),
                                  static_cast<std::uint8_t>(255 - band * 30),
                                  static_cast<std::uint8_t>(band == 5 ? 0 : 255 - band * 37)});
        }
    }
    ImageModel model;
    ASSERT_TRUE(decodeBitmap(makeBitmap(30, 20, pixels), model));
    const Bytes rl = encodeCompressed(model).value();
    ImageModel decoded;
    ASSERT_TRUE(decodeCompressed(rl, decoded));
    const Bytes bmp = encodeBitmap(decoded).value();
    ImageModel back;
    ASSERT_TRUE(decodeBitmap(bmp, back));
    EXPECT_EQ(back.BitDepth, 32);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Rgba p = pixels[i];
        const int alpha = p.a < 7 ? 0 : rl::alphaFromLevel(rl::alphaTableByte(p.a));
        const int colour = alpha == 0 ? 0 : (p.r & 0xF8) | ((p.g & 0xFC) << 8) | ((p.b & 0xF8) << 16);
        ASSERT_EQ(back.Pixels[i].Alpha, alpha) << i;
        ASSERT_EQ(back.Pixels[i].Color, colour) << i;
    }
}

TEST(RlWriter, StreamingCompressionWritesTheBytesOfLoadThenSave) {
    TempDir dir;
    std::vector<Rgba> pixels;  // 1200 x 500: several pieces per pass; runs of 40 pixels, 40 combinations
    for (int i = 0; i < 1200 * 500; ++i) {
        const int k = (i / 40 + i / 1200) % 40;
        pixels.push_back(Rgba{static_cast<std::uint8_t>(k * 6), 90, static_cast<std::uint8_t>(255 - k * 6),
                              static_cast<std::uint8_t>(k % 5 ? 255 : k * 3)});
    }
    for (int bits : {24, 32}) {
        for (bool topDown : {false, true}) {
            writeFile(dir / "in.bmp", makeBitmap(1200, 500, pixels, bits, topDown));
            ImageModel loaded, streamed;
            ASSERT_TRUE(LoadBitmapImage(dir / "in.bmp", loaded));
            ASSERT_TRUE(compressBitmapFile(dir / "in.bmp", dir / "streamed.rl", streamed));
            EXPECT_EQ(readFile(dir / "streamed.rl"), encodeCompressed(loaded).value()) << bits << topDown;
            EXPECT_EQ(streamed.CompressedColorCount, loaded.CompressedColorCount);
        }
    }
    writeFile(dir / "many.bmp", makeBitmap(300, 1, distinctColours(300), 24));
    writeFile(dir / "kept.rl", {'o', 'l', 'd'});
    ImageModel model;
    EXPECT_EQ(compressBitmapFile(dir / "many.bmp", dir / "kept.rl", model).error().detail,
              "too many colour/alpha combinations: 300 (at most 253)");
    EXPECT_EQ(readFile(dir / "kept.rl"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(compressBitmapFile(dir / "missing.bmp", dir / "x.rl", model).error().code, ErrorCode::Io);
    EXPECT_EQ(compressBitmapFile(dir / "many.bmp", dir / "no" / "x.rl", model).error().code,
              ErrorCode::TooManyColours);
    EXPECT_EQ(dir.entryCount(), 4u);
}
