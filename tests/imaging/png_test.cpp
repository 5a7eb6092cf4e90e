#include <gtest/gtest.h>
#include <spng.h>

#include <cstdlib>
#include <random>

#include "png_codec.h"
#include "rl_runs.h"
#include "test_images.h"

namespace {

using namespace testimages;
using imaging::ImageModel;

// A PNG of the given type from samples laid out as that type stores them.
Bytes encodeRaw(std::uint32_t width, std::uint32_t height, std::uint8_t colourType, std::uint8_t depth,
                const Bytes& samples, const std::vector<spng_plte_entry>& palette = {},
                const std::vector<std::uint8_t>& transparency = {}) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{width, height, depth, colourType, 0, 0, 0};
    spng_set_ihdr(ctx, &ihdr);
    if (!palette.empty()) {
        spng_plte plte{};
        plte.n_entries = static_cast<std::uint32_t>(palette.size());
        std::copy(palette.begin(), palette.end(), plte.entries);
        spng_set_plte(ctx, &plte);
    }
    if (!transparency.empty()) {
        spng_trns trns{};
        trns.n_type3_entries = static_cast<std::uint32_t>(transparency.size());
        std::copy(transparency.begin(), transparency.end(), trns.type3_alpha);
        spng_set_trns(ctx, &trns);
    }
    EXPECT_EQ(spng_encode_image(ctx, samples.data(), samples.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
    std::size_t length = 0;
    int error = 0;
    auto* png = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &length, &error));
    Bytes out(png, png + length);
    std::free(png);
    spng_ctx_free(ctx);
    return out;
}

// RGBA samples, top row first, from pixels listed bottom row first (makeBitmap's order).
Bytes rgbaTopFirst(int width, int height, const std::vector<Rgba>& bottomFirst) {
    Bytes out;
    for (int row = height - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            const Rgba& p = bottomFirst[row * width + x];
            out.insert(out.end(), {p.r, p.g, p.b, p.a});
        }
    }
    return out;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

// Rewrites the IHDR size of a PNG and mends its checksum, so only the size is wrong.
Bytes withDeclaredSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    auto put = [&png](std::size_t at, std::uint32_t v) {
        png[at] = v >> 24, png[at + 1] = v >> 16, png[at + 2] = v >> 8, png[at + 3] = static_cast<std::uint8_t>(v);
    };
    put(16, width), put(20, height);
    put(29, crc32(png.data() + 12, 17));
    return png;
}

std::vector<Rgba> sampleArt() {
    std::vector<Rgba> pixels = redGapBlueRow();
    for (int i = 0; i < 10; ++i) {
        pixels.push_back(Rgba{i * 25, 255 - i * 20, 7 * i, i * 28});
    }
    return pixels;
}

TEST(Png, IsReadAsTheBitmapOfTheSamePixels) {
    for (const auto& [pixels, depth] : {std::pair{sampleArt(), 32}, std::pair{repeat({{Red, 12}, {Blue, 8}}), 24}}) {
        ImageModel fromBitmap, fromPng;
        ASSERT_TRUE(imaging::decodeBitmap(makeBitmap(10, 2, pixels, depth), fromBitmap));
        const Bytes png = encodeRaw(10, 2, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, rgbaTopFirst(10, 2, pixels));
        ASSERT_TRUE(imaging::decodePng(png, fromPng));
        EXPECT_EQ(fromPng.BitDepth, depth) << "24 bits when every pixel is opaque";
        EXPECT_EQ(std::tie(fromPng.BmpFileSize, fromPng.Height, fromPng.WindowsColorCount,
                           fromPng.CompressedColorCount, fromPng.AlphaPixelCount, fromPng.TransparentPixelCount),
                  std::tie(fromBitmap.BmpFileSize, fromBitmap.Height, fromBitmap.WindowsColorCount,
                           fromBitmap.CompressedColorCount, fromBitmap.AlphaPixelCount,
                           fromBitmap.TransparentPixelCount));
        EXPECT_EQ(imaging::encodeCompressed(fromPng).value(), imaging::encodeCompressed(fromBitmap).value());
    }
}

TEST(Png, EveryColourTypeAndDepthDecodes) {
    auto pixel = [](const ImageModel& model, std::size_t i) {
        return std::pair(model.Pixels.at(i).Color, model.Pixels.at(i).Alpha);
    };
    // Grey 16 bits (samples given in the machine's order): the high byte of each sample.
    ImageModel grey, indexed, greyAlpha;
    ASSERT_TRUE(imaging::decodePng(encodeRaw(2, 1, SPNG_COLOR_TYPE_GRAYSCALE, 16, {0x34, 0x12, 0xCD, 0xAB}), grey));
    EXPECT_EQ(std::tuple(pixel(grey, 0), pixel(grey, 1), grey.BitDepth),
              std::tuple(std::pair(0x121212, 255), std::pair(0xABABAB, 255), 24));
    // Indexed with a transparency chunk, 2 bits a pixel.
    ASSERT_TRUE(imaging::decodePng(
        encodeRaw(3, 1, SPNG_COLOR_TYPE_INDEXED, 2, {0b00011000}, {{255, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}},
                  {0, 128}),
        indexed));
    EXPECT_EQ(std::tuple(pixel(indexed, 0).second, pixel(indexed, 1), pixel(indexed, 2), indexed.BitDepth),
              std::tuple(0, std::pair(0xFF0000, 128), std::pair(0x00FF00, 255), 32));
    // Grey with alpha; the bottom row comes first in the model.
    ASSERT_TRUE(imaging::decodePng(encodeRaw(1, 2, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, {10, 20, 30, 40}), greyAlpha));
    EXPECT_EQ(pixel(greyAlpha, 0), std::pair(0x1E1E1E, 40));
}

TEST(Png, WritesWhatAnRlFileShowsAndReadsItBack) {
    TempDir dir;
    ImageModel rlImage;
    ASSERT_TRUE(imaging::decodeCompressed(redGapBlueRl(), rlImage));
    for (bool alpha : {true, false}) {
        rlImage.RlAlphaFlag = alpha ? 1 : 0;
        ASSERT_TRUE(imaging::SavePngImage(dir / "out.png", rlImage));
        const Bytes png = readFile(dir / "out.png");
        EXPECT_EQ(png[25], alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR);
        ImageModel back;
        ASSERT_TRUE(imaging::LoadPngImage(dir / "out.png", back));
        auto want = colourAndAlpha(rlImage);
        for (auto& pixel : want) {
            pixel.second = alpha ? pixel.second : 255;
        }
        EXPECT_EQ(colourAndAlpha(back), want);
    }
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST(Png, HostileFilesFailWithAReason) {
    const Bytes good = encodeRaw(10, 2, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, rgbaTopFirst(10, 2, sampleArt()));
    ImageModel model;
    EXPECT_EQ(imaging::decodePng(redGapBlueRl(), model).error().code, tarvik::ErrorCode::NotThisFormat);
    for (std::size_t length : {8ul, 20ul, 33ul, good.size() / 2, good.size() - 30}) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(imaging::decodePng(cut, model)) << length;
    }
    Bytes badCrc = good;
    badCrc[40] ^= 0x55;  // inside the image data
    EXPECT_FALSE(imaging::decodePng(badCrc, model));

    // Sizes beyond the cap, and sizes far beyond what the compressed data could ever fill (a bomb or a lie),
    // are refused before any pixel memory is taken.
    for (auto [width, height] : {std::pair{100000u, 100000u}, std::pair{16384u, 16384u}, std::pair{1u, 0u}}) {
        auto result = imaging::decodePng(withDeclaredSize(good, width, height), model);
        ASSERT_FALSE(result);
        EXPECT_FALSE(result.error().detail.empty());
    }
}

TEST(RowCodeBytes, MeasuresRowsAsTheWriterCodesThem) {
    std::mt19937 random(5);
    const Rgba choices[] = {Red, Blue, Clear, Rgba{0, 0, 0, 3}, Rgba{255, 0, 0, 130}, Rgba{255, 1, 0, 128}};
    for (int round = 0; round < 200; ++round) {
        const int width = 1 + static_cast<int>(random() % 700);
        std::vector<Rgba> pixels;
        for (int x = 0; x < width;) {
            const int run = 1 + static_cast<int>(random() % (random() % 2 ? 4 : 300));
            pixels.insert(pixels.end(), std::min(run, width - x), choices[random() % 6]);
            x += run;
        }
        ImageModel model;
        ASSERT_TRUE(imaging::decodeBitmap(makeBitmap(width, 1, pixels), model));
        const std::size_t bytes = imaging::rowCodeBytes(model.Pixels.data(), static_cast<std::size_t>(width));
        auto encoded = imaging::encodeCompressed(model);
        if (bytes > 255) {
            ASSERT_FALSE(encoded);
            EXPECT_EQ(encoded.error().code, tarvik::ErrorCode::RowTooLong);
        } else {
            ASSERT_TRUE(encoded);
            const std::size_t palette = encoded->at(8);
            const std::size_t table = 12 + 2 * palette + ((*encoded)[2] == 1 ? palette : 0);
            EXPECT_EQ((*encoded)[table], bytes);
        }
    }
}

}  // namespace
