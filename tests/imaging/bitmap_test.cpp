#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <set>

#include "image_model.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

// The statistics straight from their definitions, with ordinary sets.
void expectStatistics(const ImageModel& model, const std::vector<Rgba>& pixels, bool hasAlpha) {
    std::set<std::int32_t> colours;
    std::set<std::pair<int, int>> combinations;
    std::vector<std::int32_t> paletteColours, paletteAlphas;
    int alphaPixels = 0, transparent = 0;
    for (Rgba p : pixels) {
        p.a = hasAlpha ? p.a : 255;
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
    EXPECT_EQ(std::tuple(model.WindowsColorCount, model.CompressedColorCount, model.AlphaPixelCount,
                         model.TransparentPixelCount),
              std::tuple(static_cast<int>(colours.size()), static_cast<int>(combinations.size()), alphaPixels,
                         transparent));
    if (combinations.size() < 254) {
        paletteColours.push_back(0), paletteAlphas.push_back(0);
        EXPECT_EQ(model.PaletteColors, paletteColours);
        EXPECT_EQ(model.PaletteAlphas, paletteAlphas);
    } else {
        EXPECT_EQ(model.PaletteColors, std::vector<std::int32_t>{0});
    }
}

// Runs of a few values with noise in the low bits (colours equal in 5-6-5) and every kind of alpha: 0,
// 1..6 (a colour but no combination), the rest. Noisy: every pixel a random colour and alpha.
std::vector<Rgba> mixedPixels(std::size_t count, unsigned seed, bool noisy = false) {
    std::mt19937 rng(seed);
    auto next = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<Rgba> out;
    while (out.size() < count) {
        const Rgba p =
            noisy ? Rgba{next(256), next(256), next(256), next(2) ? 255 : next(256)}
                  : Rgba{next(6) * 40 + next(9), next(3) * 90, next(2) * 200, next(3) ? 255 : next(256)};
        out.insert(out.end(), std::min<std::size_t>(noisy ? 1 : 1 + next(12), count - out.size()), p);
    }
    return out;
}

// Pixels in the order an RL load leaves them: top row first.
ImageModel topFirstImage(int width, int height, int rlAlphaFlag) {
    ImageModel model;
    model.Width = width, model.Height = height, model.RlAlphaFlag = rlAlphaFlag;
    for (int i = 0; i < width * height; ++i) {
        model.Pixels.push_back(PixelRecord{0x010203 * (i + 1), i % 2 ? 0 : 255});
    }
    return model;
}

}  // namespace

TEST(BitmapReader, RecordsAndStatisticsMatchTheirDefinitionsImageAfterImage) {
    // Widths 1..4 cover every 24-bit row padding; 400 x 200 takes the bitset path. One model is reused as one
    // thread's statistics sets are: a key left over from an earlier image (same seed, so the same leading
    // colours) would make a later count too low. Noisy images grow the sets well past a small image's needs.
    ImageModel model;
    for (auto [width, height] :
         {std::pair{1, 3}, {400, 200}, {2, 3}, {3, 3}, {64, 64}, {4, 3}, {9, 7}, {400, 200}}) {
        for (int kind : {24, 32, 0}) {
            const int bits = kind ? kind : 32;
            const auto pixels = mixedPixels(static_cast<std::size_t>(width * height), 11, kind == 0);
            ResetImageModel(model);
            EXPECT_TRUE(model.Pixels.empty() && model.PaletteColors.empty() &&
                        model.CompressedColorCount == 0);
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

// Damaged files: damaged_files_test.cpp.
TEST(BitmapReader, RowsMayStartInsideTheHeader) {
    // Rows that start inside the header are read from where the header says: the header's bytes 50..53
    // become the first pixel.
    Bytes early = makeBitmap(2, 1, {Red, Blue}, 32);
    putU32(early, 10, 50);
    putU32(early, 50, 0x80112233);
    ImageModel model;
    ASSERT_TRUE(decodeBitmap(early, model));
    EXPECT_EQ(model.Pixels[0].Color, 0x332211);  // stored B G R A: 33 22 11 80
    EXPECT_EQ(model.Pixels[0].Alpha, 0x80);
    EXPECT_EQ(model.Pixels[1].Color, colourOf(Red));  // the file's first pixel
    EXPECT_EQ(model.Pixels[1].Alpha, 255);
}

TEST(BitmapReader, NeedsEveryPixelByteButNotTheLastPaddingOrTrailingBytes) {
    const Bytes full = makeBitmap(3, 2, mixedPixels(6, 9), 24);  // rows of 9 bytes + 3 padding
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

TEST(BitmapWriter, WritesTheLastRowFirstPaddedAt24BitsWithAlphaWhenTheRlFlagIsSet) {
    // Widths 1..4 cover every 24-bit padding; the first record (top row) belongs in the file's upper row.
    for (int width = 1; width <= 4; ++width) {
        for (int flag : {0, 1}) {
            const ImageModel model = topFirstImage(width, 2, flag);
            std::vector<Rgba> bottomFirst;
            for (int i = 0; i < 2 * width; ++i) {
                const PixelRecord p = model.Pixels[static_cast<std::size_t>((i + width) % (2 * width))];
                bottomFirst.push_back(Rgba{p.Color & 0xFF, p.Color >> 8 & 0xFF, p.Color >> 16, p.Alpha});
            }
            Bytes expected = makeBitmap(width, 2, bottomFirst, flag ? 32 : 24);
            putU32(expected, 38, 2835), putU32(expected, 42, 2835);
            EXPECT_EQ(encodeBitmap(model).value(), expected) << width << " " << flag;
        }
    }
    EXPECT_EQ(encodeBitmap(topFirstImage(2, 2, 0))->size(), 70u);  // the format's 2 x 2 example
}

TEST(BitmapWriter, RefusesAnInconsistentImageAndKeepsTheOldFile) {
    TempDir dir;
    writeFile(dir / "out.bmp", {'o', 'l', 'd'});
    ImageModel broken = topFirstImage(3, 2, 0);
    broken.Pixels.pop_back();
    EXPECT_EQ(SaveBitmapImage(dir / "out.bmp", broken).error().code, ErrorCode::Corrupt);
    EXPECT_EQ(SaveBitmapImage(dir / "out.bmp", ImageModel{}).error().code, ErrorCode::Corrupt);
    EXPECT_EQ(readFile(dir / "out.bmp"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entryCount(), 1u);
    ASSERT_TRUE(SaveBitmapImage(dir / "out.bmp", topFirstImage(3, 2, 0)));
    EXPECT_EQ(readFile(dir / "out.bmp"), encodeBitmap(topFirstImage(3, 2, 0)).value());
    EXPECT_EQ(dir.entryCount(), 1u);
}

namespace {

// `plain` (a 40-byte-header bitmap, 32 bits) rewritten with another header: its size, a compression, and
// masks (red, green, blue, alpha) placed at 54, with each pixel's bytes laid out as the masks say.
Bytes withHeader(const Bytes& plain, std::uint32_t headerSize, std::uint32_t compression,
                 std::array<std::uint32_t, 4> masks, bool writeAlphaMask) {
    const std::size_t masksBytes = headerSize > 40 ? headerSize - 40 : (writeAlphaMask ? 16 : 12);
    Bytes out(plain.begin(), plain.begin() + 54);
    out.resize(54 + masksBytes, 0);
    for (std::size_t c = 0; c < (writeAlphaMask ? 4u : 3u); ++c) {
        putU32(out, 54 + 4 * c, masks[c]);
    }
    putU32(out, 10, static_cast<std::uint32_t>(out.size())), putU32(out, 14, headerSize);
    putU32(out, 30, compression);
    for (std::size_t at = 54; at + 4 <= plain.size(); at += 4) {
        // Plain pixels are B G R A; place each channel where its mask says.
        const std::uint8_t channels[4] = {plain[at + 2], plain[at + 1], plain[at], plain[at + 3]};  // R G B A
        std::uint32_t word = 0;
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t mask = masks[static_cast<std::size_t>(c)];
            if (mask != 0) {
                word |= std::uint32_t{channels[c]} << std::countr_zero(mask);
            }
        }
        const std::size_t size = out.size();
        out.resize(size + 4);
        putU32(out, size, word);
    }
    return out;
}

}  // namespace

TEST(BitmapReader, BitFieldHeadersAreDecodedOrRefusedWithTheirReason) {
    const std::vector<Rgba> pixels = {Red, Rgba{10, 200, 30, 128}, Blue, Rgba{1, 2, 3, 0}};
    const Bytes plain = makeBitmap(2, 2, pixels, 32);
    ImageModel expected;
    ASSERT_TRUE(decodeBitmap(plain, expected));
    const std::array<std::uint32_t, 4> standard{0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const std::array<std::uint32_t, 4> rgba{0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    const std::array<std::uint32_t, 4> argb{0xFF00, 0xFF0000, 0xFF000000, 0xFF};
    struct Variant {
        const char* name;
        Bytes file;
        bool opaque;  // no alpha mask, or a mask of 0: every pixel 255
    };
    const Variant variants[] = {
        {"40, bit fields", withHeader(plain, 40, 3, standard, false), true},
        {"40, alpha bit fields", withHeader(plain, 40, 6, standard, true), false},
        {"V4, R G B A bytes", withHeader(plain, 108, 3, rgba, true), false},
        {"V5, A R G B bytes", withHeader(plain, 124, 3, argb, true), false},
        {"V5, no alpha mask", withHeader(plain, 124, 3, {0xFF0000, 0xFF00, 0xFF, 0}, true), true},
        {"V5, no compression", withHeader(plain, 124, 0, standard, true), false},
    };
    TempDir dir;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        ImageModel fromBytes, fromFile;
        ASSERT_TRUE(decodeBitmap(v.file, fromBytes));
        writeFile(dir / "v.bmp", v.file);
        ASSERT_TRUE(LoadBitmapImage(dir / "v.bmp", fromFile));
        auto want = colourAndAlpha(expected);
        for (auto& pixel : want) {
            pixel.second = v.opaque ? 255 : pixel.second;
        }
        EXPECT_EQ(colourAndAlpha(fromBytes), want);
        EXPECT_EQ(colourAndAlpha(fromFile), want);
        ImageModel streamed;
        ASSERT_TRUE(compressBitmapFile(dir / "v.bmp", dir / "v.rl", streamed));
        EXPECT_EQ(readFile(dir / "v.rl"), encodeCompressed(fromBytes).value());
    }

    auto withCompression = [&](std::uint32_t compression) {
        Bytes file = plain;
        putU32(file, 30, compression);
        return file;
    };
    Bytes os2(26 + 12, 0);  // 12-byte header: 16-bit sides, then planes and depth
    os2[0] = 'B', os2[1] = 'M', putU32(os2, 10, 26), putU32(os2, 14, 12), putU16(os2, 18, 2), putU16(os2, 20, 2);
    putU16(os2, 22, 1), putU16(os2, 24, 24);
    os2.resize(54 + 16, 0x1E);
    const std::pair<Bytes, std::string> refused[] = {
        {withCompression(1), "RLE-compressed bitmaps are not supported"},
        {withCompression(2), "RLE-compressed bitmaps are not supported"},
        {withCompression(4), "JPEG-compressed bitmaps are not supported"},
        {withCompression(5), "PNG-compressed bitmaps are not supported"},
        {withCompression(9), "unsupported compression: 9"},
        {os2, "OS/2 bitmap headers are not supported"},
        {withHeader(plain, 124, 3, {0xF800, 0x7E0, 0x1F, 0}, true),
         "bit-field masks other than one byte per channel are not supported"},
        {withHeader(plain, 124, 3, {0xFF, 0xFF, 0xFF0000, 0}, true),
         "bit-field masks other than one byte per channel are not supported"},
    };
    for (const auto& [file, reason] : refused) {
        ImageModel model;
        const Status status = decodeBitmap(file, model);
        ASSERT_FALSE(status) << reason;
        EXPECT_EQ(status.error().code, ErrorCode::Unsupported);
        EXPECT_EQ(status.error().detail, reason);
        writeFile(dir / "r.bmp", file);
        EXPECT_EQ(LoadBitmapImage(dir / "r.bmp", model).error().detail, reason);
    }
}
