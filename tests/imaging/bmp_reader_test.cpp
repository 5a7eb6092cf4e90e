#include <gtest/gtest.h>

#include <random>
#include <set>

#include "image_model.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

std::int32_t colourOf(const Rgba& p) {
    return p.r | (p.g << 8) | (p.b << 16);
}

// The statistics straight from their definitions, with ordinary sets.
void expectStatistics(const ImageModel& model, const std::vector<Rgba>& pixels, bool hasAlpha) {
    std::set<std::int32_t> colours;
    std::set<std::pair<int, int>> combinations;
    std::vector<std::int32_t> paletteColours, paletteAlphas;
    int alphaPixels = 0, transparent = 0;
    for (Rgba p : pixels) {
        if (!hasAlpha) {
            p.a = 255;
        }
        alphaPixels += p.a < 255;
        transparent += p.a == 0;
        if (p.a != 0) {
            colours.insert(colourOf(p));
        }
        if (p.a >= 7 && combinations.insert({ToRgb565(colourOf(p)), p.a}).second) {
            paletteColours.push_back(ToRgb565(colourOf(p)));
            paletteAlphas.push_back(p.a);
        }
    }
    EXPECT_EQ(model.WindowsColorCount, static_cast<int>(colours.size()));
    EXPECT_EQ(model.CompressedColorCount, static_cast<int>(combinations.size()));
    EXPECT_EQ(model.AlphaPixelCount, alphaPixels);
    EXPECT_EQ(model.TransparentPixelCount, transparent);
    if (combinations.size() < 254) {
        paletteColours.push_back(0);
        paletteAlphas.push_back(0);
        EXPECT_EQ(model.PaletteColors, paletteColours);
        EXPECT_EQ(model.PaletteAlphas, paletteAlphas);
    } else {
        EXPECT_EQ(model.PaletteColors, std::vector<std::int32_t>{0});
    }
}

// Runs of a few values with random lengths, noise in the low bits (colours equal in 5-6-5) and every kind of
// alpha: 0, 1..6 (a colour but no combination), the rest.
std::vector<Rgba> mixedPixels(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Rgba> out;
    while (out.size() < count) {
        const Rgba p{static_cast<std::uint8_t>(rng() % 6 * 40 + rng() % 9),
                     static_cast<std::uint8_t>(rng() % 3 * 90), static_cast<std::uint8_t>(rng() % 2 * 200),
                     static_cast<std::uint8_t>(rng() % 3 ? 255 : rng() % 256)};
        out.insert(out.end(), std::min<std::size_t>(1 + rng() % 12, count - out.size()), p);
    }
    return out;
}

}  // namespace

TEST(BitmapReader, RecordsAndStatisticsMatchTheirDefinitions) {
    // Widths 1..4 cover every 24-bit row padding; the largest image takes the bitset path.
    for (auto [width, height] : {std::pair{1, 3}, {2, 3}, {3, 3}, {4, 3}, {9, 7}, {64, 64}, {400, 200}}) {
        for (int bits : {24, 32}) {
            const auto pixels = mixedPixels(static_cast<std::size_t>(width * height), 11);
            ImageModel model;
            ASSERT_TRUE(decodeBitmap(makeBitmap(width, height, pixels, bits), model));
            ASSERT_EQ(model.Pixels.size(), pixels.size());
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                ASSERT_EQ(model.Pixels[i].Color, colourOf(pixels[i]));
                ASSERT_EQ(model.Pixels[i].Alpha, bits == 32 ? pixels[i].a : 255);
            }
            expectStatistics(model, pixels, bits == 32);
        }
    }
}

TEST(BitmapReader, StatisticsOfEachImageIgnoreTheImagesDecodedBefore) {
    // One thread keeps its statistics sets from image to image: a key left over from an earlier image would
    // make a later count too low. Random colours make the sets grow well past what a small image needs.
    std::mt19937 rng(5);
    auto randomPixels = [&rng](std::size_t count) {
        std::vector<Rgba> out(count);
        for (Rgba& p : out) {
            p = Rgba{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                     static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng() % 2 ? 255 : rng())};
        }
        return out;
    };
    const std::vector<std::pair<int, std::vector<Rgba>>> images = {
        {16, mixedPixels(16 * 16, 1)},  {256, randomPixels(256 * 256)},   {16, mixedPixels(16 * 16, 1)},
        {400, randomPixels(400 * 200)}, {400, mixedPixels(400 * 200, 2)}, {400, randomPixels(400 * 200)},
        {16, randomPixels(16 * 16)}};
    ImageModel model;
    for (const auto& [width, pixels] : images) {
        const int height = static_cast<int>(pixels.size()) / width;
        ResetImageModel(model);
        EXPECT_TRUE(model.Pixels.empty() && model.PaletteColors.empty() && model.PaletteAlphas.empty());
        EXPECT_EQ(model.Width, 0);
        EXPECT_EQ(model.CompressedColorCount, 0);
        ASSERT_TRUE(decodeBitmap(makeBitmap(width, height, pixels, 32), model));
        expectStatistics(model, pixels, true);
    }
}

TEST(BitmapReader, PaletteKeepsUpTo253CombinationsPlusASpareEntry) {
    for (int count : {253, 254, 300}) {
        const auto pixels = distinctColours(count);
        ImageModel model;
        ASSERT_TRUE(decodeBitmap(makeBitmap(count, 1, pixels, 24), model));
        EXPECT_EQ(model.CompressedColorCount, count);
        EXPECT_EQ(model.PaletteColors.size(), count == 253 ? 254u : 1u);
        EXPECT_EQ(model.PaletteColors.back(), 0);
        if (count == 253) {
            EXPECT_EQ(model.PaletteColors[252], ToRgb565(colourOf(pixels[252])));
        }
    }
}

TEST(BitmapReader, RefusesWhatItCannotDecode) {
    const auto pixels = mixedPixels(16, 5);
    auto withField = [&](std::size_t offset, std::uint32_t value, bool word = false) {
        Bytes file = makeBitmap(4, 4, pixels, 24);
        word ? putU16(file, offset, value) : putU32(file, offset, value);
        return file;
    };
    const std::pair<Bytes, ErrorCode> cases[] = {
        {withField(28, 8, true), ErrorCode::Unsupported},
        {withField(28, 16, true), ErrorCode::Unsupported},
        {withField(28, 1, true), ErrorCode::Unsupported},
        {withField(18, 0), ErrorCode::Corrupt},
        {withField(18, 0xFFFFFFFF), ErrorCode::Corrupt},
        {withField(22, 0), ErrorCode::Corrupt},
        {withField(10, 20), ErrorCode::Corrupt},
        {withField(10, 5000), ErrorCode::Corrupt},
        {withField(18, 0x10000000), ErrorCode::TooLarge},
        {withField(22, 0x7FFFFFFF), ErrorCode::TooLarge},
        {withField(22, 0x80000000), ErrorCode::TooLarge},
        {withField(22, 5000), ErrorCode::Truncated},  // sizes are checked against the file before allocating
        {withField(22, 0xFFFFF000), ErrorCode::Truncated},
        {Bytes(54 - 1, 0), ErrorCode::Truncated},
    };
    for (const auto& [file, code] : cases) {
        ImageModel model;
        const Status status = decodeBitmap(file, model);
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, code) << status.error().detail;
    }
}

TEST(BitmapReader, NeedsEveryPixelByteButNotTheLastPaddingOrTrailingBytes) {
    const auto pixels = mixedPixels(6, 9);
    const Bytes full = makeBitmap(3, 2, pixels, 24);  // rows of 9 bytes + 3 padding
    ImageModel model;
    EXPECT_TRUE(decodeBitmap(std::span(full).first(full.size() - 3), model));
    const Status shortByOne = decodeBitmap(std::span(full).first(full.size() - 4), model);
    ASSERT_FALSE(shortByOne);
    EXPECT_EQ(shortByOne.error().detail, "truncated pixel data");
    Bytes longer = full;
    longer.insert(longer.end(), 40, 0xAB);
    ASSERT_TRUE(decodeBitmap(longer, model));
    EXPECT_EQ(model.Pixels.size(), 6u);
}

TEST(BitmapReader, FileReaderStreamsTheSameModelAsTheByteDecoder) {
    TempDir dir;
    // 4500-byte rows: the file reader takes several pieces, also backwards for the top-down file.
    const auto pixels = mixedPixels(1500 * 300, 21);
    for (bool topDown : {false, true}) {
        const Bytes file = makeBitmap(1500, 300, pixels, 24, topDown);
        writeFile(dir / "big.bmp", file);
        ImageModel fromBytes, fromFile, inspected;
        ASSERT_TRUE(decodeBitmap(file, fromBytes));
        ASSERT_TRUE(LoadBitmapImage(dir / "big.bmp", fromFile));
        ASSERT_TRUE(inspectBitmapImage(dir / "big.bmp", inspected));
        ASSERT_EQ(fromFile.Pixels.size(), fromBytes.Pixels.size());
        EXPECT_TRUE(std::equal(fromFile.Pixels.begin(), fromFile.Pixels.end(), fromBytes.Pixels.begin(),
                               [](auto a, auto b) { return a.Color == b.Color && a.Alpha == b.Alpha; }));
        for (const ImageModel* model : {&fromFile, &inspected}) {
            EXPECT_EQ(model->PaletteColors, fromBytes.PaletteColors);
            EXPECT_EQ(model->WindowsColorCount, fromBytes.WindowsColorCount);
            EXPECT_EQ(model->Height, 300);
        }
        EXPECT_TRUE(inspected.Pixels.empty());
    }
    Bytes truncatedFile = makeBitmap(1500, 300, pixels, 24);
    truncatedFile.resize(truncatedFile.size() - 4000);
    writeFile(dir / "short.bmp", truncatedFile);
    ImageModel model;
    EXPECT_EQ(LoadBitmapImage(dir / "short.bmp", model).error().code, ErrorCode::Truncated);
    EXPECT_EQ(LoadBitmapImage(dir / "missing.bmp", model).error().code, ErrorCode::Io);
    EXPECT_EQ(LoadBitmapImage(dir.path(), model).error().code, ErrorCode::Io);
}
