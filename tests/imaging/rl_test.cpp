#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <tuple>

#include "image_model.h"
#include "rl_encoder.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

Result<Bytes> compress(int width, int height, const std::vector<Rgba>& pixels) {
    ImageModel model;
    const Status loaded = decodeBitmap(makeBitmap(width, height, pixels), model);
    return loaded ? encodeCompressed(model) : Result<Bytes>(loaded.error());
}

// The codes of a one-row image: everything after the single row-length byte.
Bytes rowCodes(const std::vector<Rgba>& row) {
    const Bytes file = compress(static_cast<int>(row.size()), 1, row).value();
    const std::size_t table = 12 + 2 * file[8] + (file[2] ? file[8] : 0);
    EXPECT_EQ(file[table], file.size() - table - 1);
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(table) + 1, file.end());
}

// Alternating colours give one code byte per pixel, and a trailing run of 4 gives three more.
std::vector<Rgba> alternating(int singles) {
    std::vector<Rgba> out;
    for (int i = 0; i < singles; ++i) {
        out.push_back(i % 2 ? Red : Blue);
    }
    out.insert(out.end(), 4, Rgba{0, 255, 0});
    return out;
}

}  // namespace

TEST(RlCodecs, WorkedExampleBothWays) {
    EXPECT_EQ(compress(10, 1, redGapBlueRow()).value(), redGapBlueRl());
    ImageModel model;
    ASSERT_TRUE(decodeCompressed(redGapBlueRl(), model));
    EXPECT_EQ(std::tuple(model.Width, model.Height, model.BitDepth, model.RlPaletteCount, model.RlKeyColor),
              std::tuple(10, 1, 32, 3, 0xF81F));
    EXPECT_EQ(model.RlAlphaFlag, 1);  // index 0 was met
    EXPECT_EQ(model.RlPalette, (std::vector<std::int32_t>{0, 248, 248 << 16, 0}));
    std::vector<std::pair<int, int>> expected(5, {248, 255});
    expected.insert(expected.end(), 2, {0, 0});
    expected.insert(expected.end(), 3, {248 << 16, 255});
    EXPECT_EQ(colourAndAlpha(model), expected);
}

TEST(RlReader, AlphaTableAndTransparencyFlag) {
    ImageModel model;
    ASSERT_TRUE(decodeCompressed(makeRl(3, 1, {0xF800, 0x07E0}, {{1, 2, 2}}, {0x20, 16, 0}), model));
    EXPECT_EQ(colourAndAlpha(model),
              (std::vector<std::pair<int, int>>{{248, 127}, {252 << 8, 0}, {252 << 8, 0}}));
    ASSERT_TRUE(decodeCompressed(makeRl(5, 1, {0xF800}, {{0xFE, 1, 5}}), model));
    EXPECT_EQ(model.RlAlphaFlag, 0);
    EXPECT_EQ(model.Pixels[4].Alpha, 255);
    ASSERT_TRUE(decodeCompressed(makeRl(1, 1, {0xF800}, {{1}}, {0x20, 200}), model));
    EXPECT_EQ(model.Pixels[0].Alpha, 255);  // a damaged level above 32 stays a byte
}

TEST(RlReader, KeepsTheFormatsOddities) {
    // An empty row lets the next row continue where the previous one ended; what is never decoded stays
    // transparent black without raising the flag.
    ImageModel model;
    ASSERT_TRUE(decodeCompressed(makeRl(2, 2, {0xF800}, {{}, {0xFE, 1, 3}}), model));
    EXPECT_EQ(model.Pixels[2].Alpha, 255);
    EXPECT_EQ(model.Pixels[3].Alpha, 0);
    EXPECT_EQ(model.RlAlphaFlag, 0);
    // One byte missing at the end reads as 0; two are refused.
    const Bytes file = redGapBlueRl();
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

// A small declared size the data does not fill is trusted; damaged files: damaged_files_test.cpp.
TEST(RlReader, ASparseImageIsTrusted) {
    ImageModel sparse;
    ASSERT_TRUE(decodeCompressed(makeRl(2048, 2048, {0xF800}, {{1}}), sparse));
    EXPECT_EQ(sparse.Pixels.size(), 2048u * 2048u);
}

TEST(RlWriter, RunCodes) {
    // Alpha 1..6 joins a transparent run whatever its colour; alone it is index 0.
    const Rgba a0{9, 9, 9, 0}, a6{200, 0, 0, 6}, a1{0, 0, 0, 1}, a5{0, 9, 0, 5};
    const std::pair<std::vector<Rgba>, Bytes> cases[] = {
        {repeat({{Red, 255}}), {0xFE, 1, 0xFF}},  // runs are cut into 255-pixel pieces
        {repeat({{Red, 256}}), {0xFE, 1, 0xFF, 0xFE, 1, 1}},
        {repeat({{Red, 510}}), {0xFE, 1, 0xFF, 0xFE, 1, 0xFF}},
        {repeat({{Clear, 300}, {Red, 1}}), {0xFF, 0xFF, 0xFF, 45, 1}},
        {repeat({{Red, 4}}), {0xFE, 1, 4}},  // runs of 3 are single codes, mid-row and at the row end
        {repeat({{Red, 3}}), {1, 1, 1}},
        {repeat({{Red, 3}, {Blue, 1}}), {1, 1, 1, 2}},
        {repeat({{Red, 1}, {Clear, 3}, {Red, 1}}), {1, 0xFF, 3, 1}},  // transparent: a run mid-row ...
        {repeat({{Red, 1}, {Clear, 3}}), {1, 0, 0, 0}},               // ... but not at the row end
        {repeat({{Red, 1}, {Clear, 4}}), {1, 0xFF, 4}},
        {repeat({{Red, 1}, {Clear, 2}, {Red, 1}}), {1, 0, 0, 1}},
        {repeat({{Red, 1}, {a0, 1}, {a6, 1}, {a1, 1}, {Red, 1}, {a5, 1}}), {1, 0xFF, 3, 1, 0}},
    };
    for (const auto& [row, codes] : cases) {
        EXPECT_EQ(rowCodes(row), codes) << row.size();
    }
}

TEST(RlWriter, AlphaTableRoundsHalvesToEvenWhileRunsUseTheFloor) {
    // Only alpha 0 needs no table.
    EXPECT_EQ(compress(6, 1, repeat({{Red, 1}, {Rgba{0, 0, 0, 3}, 5}})).value()[2], 1);
    EXPECT_EQ(compress(6, 1, repeat({{Red, 1}, {Clear, 5}})).value()[2], 0);
    // Alphas 11, 19, 27 are halves: table bytes 2, 2, 4. 253 and 255 are two levels: two runs. 96 and 102
    // share level 12: a run takes the entry of its first pixel, single codes each take their own.
    const Rgba red253{255, 0, 0, 253}, b96{0, 0, 255, 96}, b102{0, 0, 255, 102};
    auto row = repeat({{red253, 4}, {Red, 4}, {b96, 2}, {b102, 2}, {Red, 1}, {b102, 1}, {b96, 1}, {b102, 1}});
    row.insert(row.end(), {Rgba{0, 9, 0, 11}, Rgba{0, 99, 0, 19}, Rgba{0, 0, 99, 27}});
    const Bytes file = compress(static_cast<int>(row.size()), 1, row).value();
    const Bytes expected = {
        'R',  'L',  1,    0,    19,   0,    1,    0,    8,    0, 1,    0,                     // header
        0x1F, 0xF8, 0x00, 0xF8, 0x00, 0xF8, 0x1F, 0,    0x1F, 0, 0x40, 0, 0, 3, 0x0C, 0,      // palette
        0x20, 32,   32,   12,   13,   2,    2,    4,                                          // alpha table
        16,   0xFE, 1,    4,    0xFE, 2,    4,    0xFE, 3,    4, 2,    4, 3, 4, 5,    6, 7};  // row
    EXPECT_EQ(file, expected);
}

TEST(RlWriter, PaletteHolds253CombinationsNotMore) {
    for (int count : {253, 254, 300}) {
        const auto pixels = distinctColours(count);
        ImageModel model;
        ASSERT_TRUE(decodeBitmap(makeBitmap(count, 1, pixels, 24), model));
        EXPECT_EQ(model.CompressedColorCount, count);
        EXPECT_EQ(model.PaletteColors.size(), count == 253 ? 254u : 1u);  // and a spare entry
        EXPECT_EQ(model.PaletteColors.back(), 0);
        const Result<Bytes> file = encodeCompressed(model);
        if (count == 253) {
            EXPECT_EQ(model.PaletteColors[252], ToRgb565(colourOf(pixels[252])));
            Bytes codes(253);  // each pixel a single code: its own entry, found among all 253
            std::iota(codes.begin(), codes.end(), 1);
            EXPECT_EQ(file.value()[8], 254);
            EXPECT_EQ(Bytes(file->end() - 253, file->end()), codes);
        } else {
            EXPECT_EQ(file.error().code, ErrorCode::TooManyColours);
            EXPECT_EQ(file.error().detail,
                      "too many colour/alpha combinations: " + std::to_string(count) + " (at most 253)");
        }
    }
}

TEST(RlWriter, RowsTakeAt255BytesAndTheTablesEndWithinASignedWord) {
    EXPECT_TRUE(compress(256, 1, alternating(252)));
    EXPECT_EQ(compress(257, 1, alternating(253)).error().code, ErrorCode::RowTooLong);
    EXPECT_TRUE(compress(1, 32749, repeat({{Red, 32749}})));  // 12 + 2 * 2 + 32749 + 2 = 32767
    EXPECT_EQ(compress(1, 32750, repeat({{Red, 32750}})).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(compress(65536, 1, repeat({{Red, 65536}})).error().code, ErrorCode::TooLarge);
}

TEST(FileCodecs, StreamingReadersGiveTheModelAndBytesOfTheWholeFileCodecs) {
    TempDir dir;
    std::vector<Rgba> pixels;  // 1500 x 300: several pieces per pass; runs of 40 pixels, 40 combinations
    for (int i = 0; i < 1500 * 300; ++i) {
        const int k = (i / 40 + i / 1500) % 40;
        pixels.push_back(Rgba{k * 6, 90, 255 - k * 6, k % 5 ? 255 : k * 3});
    }
    auto statistics = [](const ImageModel& m) {
        return std::tuple(m.Height, m.WindowsColorCount, m.CompressedColorCount, m.AlphaPixelCount,
                          m.TransparentPixelCount, m.PaletteColors, m.PaletteAlphas);
    };
    // One pixel too: the streaming reader once counted a lone opaque pixel's colours otherwise.
    for (int width : {1, 1500}) {
        for (int bits : {24, 32}) {
            for (bool topDown : {false, true}) {
                SCOPED_TRACE(std::to_string(width) + " " + std::to_string(bits) +
                             (topDown ? " top-down" : ""));
                const Bytes file = makeBitmap(width, width == 1 ? 1 : 300, pixels, bits, topDown);
                writeFile(dir / "in.bmp", file);
                ImageModel fromBytes, fromFile, inspected, streamed;
                ASSERT_TRUE(decodeBitmap(file, fromBytes));
                ASSERT_TRUE(LoadBitmapImage(dir / "in.bmp", fromFile));
                ASSERT_TRUE(inspectBitmapImage(dir / "in.bmp", inspected));
                ASSERT_TRUE(compressBitmapFile(dir / "in.bmp", dir / "out.rl", streamed));
                EXPECT_TRUE(colourAndAlpha(fromFile) == colourAndAlpha(fromBytes));
                EXPECT_TRUE(inspected.Pixels.empty() && streamed.Pixels.empty());
                for (const ImageModel* model : {&fromFile, &inspected, &streamed}) {
                    EXPECT_EQ(statistics(*model), statistics(fromBytes));
                }
                EXPECT_EQ(readFile(dir / "out.rl"), encodeCompressed(fromBytes).value());
            }
        }
    }
    // Refusals of a row only met while coding: the target is left as it was and nothing else is left behind;
    // the image's own reason comes before the folder's.
    Bytes truncated = makeBitmap(1500, 300, pixels, 24);
    truncated.resize(truncated.size() - 4000);
    writeFile(dir / "short.bmp", truncated);
    writeFile(dir / "long.bmp", makeBitmap(257, 1, alternating(253)));
    writeFile(dir / "many.bmp", makeBitmap(300, 1, distinctColours(300), 24));
    writeFile(dir / "kept.rl", {'o', 'l', 'd'});
    ImageModel model;
    EXPECT_EQ(LoadBitmapImage(dir / "short.bmp", model).error().code, ErrorCode::Truncated);
    ASSERT_TRUE(LoadBitmapImage(dir / "long.bmp", model));
    EXPECT_EQ(SaveCompressedImage(dir / "kept.rl", model).error().code, ErrorCode::RowTooLong);
    EXPECT_EQ(compressBitmapFile(dir / "long.bmp", dir / "kept.rl", model).error().code,
              ErrorCode::RowTooLong);
    EXPECT_EQ(readFile(dir / "kept.rl"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(compressBitmapFile(dir / "many.bmp", dir / "no/x.rl", model).error().code,
              ErrorCode::TooManyColours);
    EXPECT_EQ(dir.entryCount(), 6u);
}

// The streamed decompression and the pixel-free report must agree with load-then-save on every input: runs
// crossing rows and blocks of rows, rows left short, alpha tables, transparency, and damaged files.
TEST(FileCodecs, StreamedDecompressionAndReportAgreeWithTheWholeImageOnGeneratedFiles) {
    TempDir dir;
    std::mt19937 rng(11);
    auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const int width = 1 + below(round % 10 == 0 ? 1500 : 60);
        const int height = 1 + below(round % 10 == 0 ? 900 : 60);
        std::vector<std::uint16_t> colours(static_cast<std::size_t>(below(6)));
        for (auto& c : colours) {
            c = static_cast<std::uint16_t>(rng());
        }
        std::vector<std::uint8_t> levels;
        if (below(2)) {
            levels.push_back(0x20);
            for (std::size_t i = 0; i < colours.size(); ++i) {
                levels.push_back(static_cast<std::uint8_t>(below(33)));
            }
        }
        const int palette = static_cast<int>(colours.size()) + 1;
        std::vector<Bytes> rows(static_cast<std::size_t>(below(4) == 0 ? below(height + 1) : height));
        std::int64_t left = std::int64_t{width} * height + (below(8) == 0 ? 5 : 0);  // sometimes too many
        for (Bytes& row : rows) {
            while (row.size() < 250 && left > 0 && below(8) != 0) {
                const int count = std::min<std::int64_t>(left, 1 + below(255));
                const int kind = below(3);
                // In some files, now and then an index past the palette.
                const int index = round % 7 == 3 && below(20) == 0 ? palette + 1 : below(palette);
                if (kind == 0 && index < 0xFE) {
                    row.push_back(static_cast<std::uint8_t>(index));
                    left -= 1;
                } else if (kind == 1) {
                    row.insert(row.end(), {0xFF, static_cast<std::uint8_t>(count)});
                    left -= count;
                } else {
                    row.insert(row.end(),
                               {0xFE, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(count)});
                    left -= count;
                }
            }
        }
        Bytes file = makeRl(width, height, colours, rows, levels);
        if (below(10) == 0) {
            file.resize(file.size() - 1 - static_cast<std::size_t>(below(static_cast<int>(file.size()) / 2)));
        }
        writeFile(dir / "in.rl", file);
        writeFile(dir / "out.bmp", {'o', 'l', 'd'});

        ImageModel whole;
        const Status loaded = decodeCompressed(file, whole);
        const Result<Bytes> expected = loaded ? encodeBitmap(whole) : Result<Bytes>(loaded.error());
        ImageModel streamed, inspected;
        const Status made = decompressFile(dir / "in.rl", dir / "out.bmp", streamed);
        AlphaCounts counts;
        const Status report = inspectCompressed(file, inspected, counts);
        ASSERT_EQ(made.ok(), expected.ok()) << (made ? expected.error().detail : made.error().detail);
        EXPECT_EQ(report.ok(), loaded.ok());
        if (!expected) {
            EXPECT_EQ(made.error().code, expected.error().code);
            EXPECT_EQ(readFile(dir / "out.bmp"), Bytes({'o', 'l', 'd'}));
            continue;
        }
        EXPECT_EQ(readFile(dir / "out.bmp"), expected.value());
        const AlphaCounts wholeCounts = countAlphaPixels(whole.Pixels);
        EXPECT_EQ(counts.alphaPixels, wholeCounts.alphaPixels);
        EXPECT_EQ(counts.transparentPixels, wholeCounts.transparentPixels);
        for (const ImageModel* model : {&streamed, &inspected}) {
            EXPECT_EQ(std::tie(model->Width, model->Height, model->RlAlphaFlag, model->RlPaletteCount),
                      std::tie(whole.Width, whole.Height, whole.RlAlphaFlag, whole.RlPaletteCount));
            EXPECT_TRUE(model->Pixels.empty());
        }
    }
    EXPECT_EQ(dir.entryCount(), 2u);
}

// An image that does not fit in memory is a failure with its size, not an abort.
TEST(FileCodecs, ImagesBeyondTheMemoryAtHandFailWithTheirSize) {
    if (!addressSpaceLimitsApply()) {
        GTEST_SKIP() << "address-space limits mean nothing under AddressSanitizer";
    }
    TempDir dir;
    std::vector<Bytes> rows(16000);
    for (Bytes& row : rows) {
        for (int left = 16000; left > 0; left -= 255) {
            row.insert(row.end(), {0xFE, 1, static_cast<std::uint8_t>(std::min(left, 255))});
        }
    }
    writeFile(dir / "big.rl", makeRl(16000, 16000, {0xF800}, rows));
    const int code = inChild([&] {
        // Room for the program and the file, far from the 2 GB the pixel records would take.
        const rlimit limit{std::size_t{1} << 30, std::size_t{1} << 30};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            return 10;
        }
        ImageModel model;
        const Status loaded = LoadCompressedImage(dir / "big.rl", model);
        if (loaded || loaded.error().code != ErrorCode::OutOfMemory) {
            return 11;
        }
        if (loaded.error().detail != "not enough memory for a 16000\u00D716000 image") {
            return 12;
        }
        // What needs no pixels still works there.
        AlphaCounts counts;
        return inspectCompressedImage(dir / "big.rl", model, counts) && counts.alphaPixels == 0 ? 0 : 13;
    });
    EXPECT_EQ(code, 0);
}
