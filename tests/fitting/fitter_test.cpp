#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "art.h"
#include "assessment.h"
#include "fitter.h"
#include "png_codec.h"
#include "rl_format.h"
#include "rl_runs.h"

namespace {

using namespace testimages;
using fitting::FitOptions;
using fitting::fitImage;
using imaging::ImageModel;
using imaging::PixelRecord;

ImageModel modelOf(int width, int height, const std::vector<Rgba>& pixels) {
    ImageModel model;
    EXPECT_TRUE(imaging::decodeBitmap(makeBitmap(width, height, pixels), model));
    return model;
}

// What a fitted file shows, bottom row first like the input, after checking what the format demands.
std::vector<PixelRecord> decodeAndCheck(const std::vector<std::uint8_t>& rl, const ImageModel& input) {
    ImageModel decoded;
    EXPECT_TRUE(imaging::decodeCompressed(rl, decoded));
    EXPECT_EQ(decoded.Width, input.Width);
    EXPECT_EQ(decoded.Height, input.Height);
    EXPECT_LE(decoded.RlPaletteCount - 1, imaging::rl::MaxPaletteColours);
    const std::size_t table = 12 + 2 * decoded.RlPaletteCount + (rl[2] == 1 ? decoded.RlPaletteCount : 0);
    std::size_t rowBytes = 0;
    for (int row = 0; row < decoded.Height; ++row) {
        rowBytes += rl[table + row];
    }
    EXPECT_EQ(rl.size(), table + decoded.Height + rowBytes) << "row table and rows disagree";
    std::vector<PixelRecord> upright;
    const auto width = static_cast<std::size_t>(decoded.Width);
    for (std::size_t row = decoded.Height; row > 0; --row) {
        upright.insert(upright.end(), decoded.Pixels.begin() + (row - 1) * width,
                       decoded.Pixels.begin() + row * width);
    }
    return upright;
}

TEST(Fit, ImagesThatFitAreCodedAsPlainCompressionCodesThem) {
    for (const auto& [width, height, pixels] :
         {std::tuple{10, 1, redGapBlueRow()}, std::tuple{16, 16, testart::softSprite(16, 16, 3)},
          std::tuple{253, 1, distinctColours(253)}}) {
        const ImageModel model = modelOf(width, height, pixels);
        ASSERT_LE(model.CompressedColorCount, 253);
        auto fitted = fitImage(model);
        ASSERT_TRUE(fitted) << fitted.error().detail;
        EXPECT_EQ(fitted->rl, imaging::encodeCompressed(model).value());
        EXPECT_TRUE(fitted->report.untouched && std::isinf(fitted->report.psnr));
        EXPECT_EQ(fitted->report.pixelsChanged, 0);
    }
}

TEST(Fit, TheFreeStepAloneIsExactWhenItIsEnough) {
    // 400 combinations, 100 once each alpha is taken at the level the file shows (252..255 all show 255).
    std::vector<Rgba> pixels;
    for (int i = 0; i < 400; ++i) {
        const int base = i / 4;
        pixels.emplace_back(base % 10 * 24 + 3, base / 10 * 24 + 1, 100, 255 - i % 4);
    }
    const ImageModel model = modelOf(40, 10, pixels);
    ASSERT_EQ(model.CompressedColorCount, 400);
    EXPECT_EQ(fitting::assessImage(model).freeCombinations, 100);
    auto fitted = fitImage(model);
    ASSERT_TRUE(fitted) << fitted.error().detail;
    const auto& report = fitted->report;
    EXPECT_EQ(std::tuple(report.quantised, report.pixelsChanged, report.combinationsBefore, report.combinationsAfter),
              std::tuple(false, 0, 400, 100));
    // Exactly the plain file of the snapped pixels.
    std::vector<PixelRecord> snapped;
    for (const PixelRecord& p : model.Pixels) {
        snapped.push_back(fitting::snapToRl(p));
    }
    ImageModel snappedModel;
    ASSERT_TRUE(imaging::modelFromPixels(40, 10, snapped, snappedModel));
    EXPECT_EQ(fitted->rl, imaging::encodeCompressed(snappedModel).value());
    // And the file shows the snapped pixels, which is all an RL file could show of the input.
    EXPECT_EQ(fitting::premultipliedPsnr(decodeAndCheck(fitted->rl, model), snapped), INFINITY);
}

TEST(Fit, SoftEdgedArtIsReducedWithFewVisibleChanges) {
    for (unsigned seed : {1u, 2u, 3u}) {
        for (bool dither : {false, true}) {
            const ImageModel model = modelOf(96, 80, testart::softSprite(96, 80, seed));
            ASSERT_GT(fitting::assessImage(model).freeCombinations, 253) << "the art must need more than the free step";
            auto fitted = fitImage(model, FitOptions{dither});
            ASSERT_TRUE(fitted) << fitted.error().detail;
            const std::vector<PixelRecord> shown = decodeAndCheck(fitted->rl, model);
            EXPECT_TRUE(fitted->report.quantised);
            EXPECT_LE(fitted->report.combinationsAfter, 253);
            // The reported figure is the file's, not an estimate.
            EXPECT_NEAR(fitted->report.psnr, fitting::premultipliedPsnr(model.Pixels, shown), 1e-9);
            EXPECT_GT(fitted->report.psnr, 36.0) << "seed " << seed << " dither " << dither;
            // Transparent ground stays transparent, opaque centres stay opaque.
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (model.Pixels[i].Alpha < 7) {
                    ASSERT_EQ(shown[i].Alpha, 0);
                }
            }
        }
    }
}

TEST(Fit, OverlongRowsAreMergedLocally) {
    // A photo 600 pixels wide: every row needs about 600 bytes of codes before it is repaired.
    const ImageModel model = modelOf(600, 40, testart::photo(600, 40, 9));
    auto fitted = fitImage(model);
    ASSERT_TRUE(fitted) << fitted.error().detail;
    decodeAndCheck(fitted->rl, model);
    EXPECT_GE(fitted->report.rowsRepaired, 36);
    EXPECT_GT(fitted->report.psnr, 28.0);

    // Rows at 255 bytes are left alone; a row at 256 is repaired with a handful of pixels changed.
    for (int width : {255, 256}) {
        std::vector<Rgba> row;
        for (int x = 0; x < width; ++x) {
            row.push_back(x % 2 ? Rgba{200, 40, 40} : Rgba{200, 48, 40});
        }
        const ImageModel stripes = modelOf(width, 1, row);
        ASSERT_EQ(imaging::rowCodeBytes(stripes.Pixels.data(), width), static_cast<std::size_t>(width));
        auto result = fitImage(stripes);
        ASSERT_TRUE(result) << result.error().detail;
        decodeAndCheck(result->rl, stripes);
        EXPECT_EQ(result->report.untouched, width == 255);
        EXPECT_EQ(result->report.pixelsChanged, width == 255 ? 0 : 2) << "one 4-pixel run, two pixels recoloured";
    }
}

TEST(Fit, ImpossibleImagesAreRefusedWithTheReason) {
    // Wider than 85 run codes of 255 pixels can cover, with no two neighbours alike.
    std::vector<Rgba> wide;
    for (int x = 0; x < 30000; ++x) {
        wide.push_back(x % 2 ? Red : Blue);
    }
    auto tooWide = fitImage(modelOf(30000, 1, wide));
    ASSERT_FALSE(tooWide);
    EXPECT_EQ(tooWide.error().code, tarvik::ErrorCode::RowTooLong);
    EXPECT_NE(tooWide.error().detail.find("30000"), std::string::npos);
    // Taller than the row table allows.
    auto tooTall = fitImage(modelOf(1, 32760, std::vector<Rgba>(32760, Red)));
    ASSERT_FALSE(tooTall);
    EXPECT_EQ(tooTall.error().code, tarvik::ErrorCode::TooLarge);
    EXPECT_NE(tooTall.error().detail.find("too tall"), std::string::npos);
}

TEST(Assessment, BitmapFilesAndImagesInMemoryAgree) {
    TempDir dir;
    std::vector<Rgba> stripes;  // two rows of 256 bytes of codes each
    for (int x = 0; x < 512; ++x) {
        stripes.push_back(x % 2 ? Rgba{200, 40, 40} : Rgba{200, 48, 40, 120});
    }
    const struct {
        const char* name;
        Bytes file;
        bool fits;
        int longest;  // -1: too many colours to count rows
    } cases[] = {
        {"row", makeBitmap(10, 1, redGapBlueRow()), true, 8},
        {"stripes", makeBitmap(256, 2, stripes, 32, true), false, 256},
        {"soft", makeBitmap(60, 40, testart::softSprite(60, 40, 5), 32, true), false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir / "a.bmp", c.file);
        ImageModel streamed, loaded;
        auto fromFile = fitting::assessBitmapFile(dir / "a.bmp", streamed);
        ASSERT_TRUE(fromFile) << fromFile.error().detail;
        ASSERT_TRUE(imaging::LoadBitmapImage(dir / "a.bmp", loaded));
        const fitting::Assessment inMemory = fitting::assessImage(loaded);
        EXPECT_EQ(std::tuple(fromFile->fits, fromFile->longestRowBytes.value_or(-1)), std::tuple(c.fits, c.longest));
        EXPECT_EQ(std::tie(fromFile->fits, fromFile->longestRowBytes, fromFile->freeCombinations),
                  std::tie(inMemory.fits, inMemory.longestRowBytes, inMemory.freeCombinations));
        EXPECT_EQ(fromFile->fits, imaging::encodeCompressed(loaded).ok());
        EXPECT_EQ(fromFile->refusal.empty(), c.fits);
    }
}

// A file's rows are measured on their stored bytes, an image's on its records: generated rows whose
// neighbours differ only in alpha, only below the 5-6-5 bits, or not at all must measure alike.
TEST(Assessment, GeneratedFilesMeasureAsTheirImages) {
    TempDir dir;
    std::mt19937 random(12);
    const Rgba values[] = {{200, 40, 40},      {201, 41, 42},      {200, 40, 40, 120}, {200, 40, 40, 121},
                           {200, 40, 40, 100}, {200, 40, 40, 3},   {9, 9, 9, 0},       {0, 0, 0, 0},
                           {10, 200, 30},      {10, 200, 30, 200}, {10, 203, 30, 201}, {255, 255, 255, 8}};
    for (int i = 0; i < 120; ++i) {
        const int width = 1 + static_cast<int>(random() % 300), height = 1 + static_cast<int>(random() % 4);
        const bool opaque = i % 3 == 0;
        std::vector<Rgba> pixels;
        while (pixels.size() < static_cast<std::size_t>(width * height)) {
            Rgba value = values[random() % std::size(values)];
            value.a = opaque ? 255 : value.a;
            pixels.insert(pixels.end(), 1 + random() % (random() % 4 ? 3 : 300), value);
        }
        SCOPED_TRACE("case " + std::to_string(i));
        writeFile(dir / "a.bmp", makeBitmap(width, height, pixels, opaque ? 24 : 32, i % 2 == 1));
        ImageModel streamed, loaded;
        auto fromFile = fitting::assessBitmapFile(dir / "a.bmp", streamed);
        ASSERT_TRUE(fromFile) << fromFile.error().detail;
        ASSERT_TRUE(imaging::LoadBitmapImage(dir / "a.bmp", loaded));
        const fitting::Assessment inMemory = fitting::assessImage(loaded);
        EXPECT_EQ(std::tie(fromFile->fits, fromFile->longestRowBytes, fromFile->freeCombinations),
                  std::tie(inMemory.fits, inMemory.longestRowBytes, inMemory.freeCombinations));
        EXPECT_EQ(fromFile->fits, imaging::encodeCompressed(loaded).ok());
    }
}

}  // namespace

// A pixel counts as changed only when the fitted file shows it otherwise than the format's own loss would.
TEST(Fit, PixelsChangedLeaveOutTheFormatsOwnRounding) {
    const PixelRecord input{0x00'1E'5A'D6, 255};  // red 214, green 90, blue 30
    const struct {
        const char* name;
        PixelRecord shown;
        bool changed;
    } rows[] = {
        {"cut down as plain conversion does", {0x00'18'58'D0, 255}, false},
        {"rounded up one step", {0x00'20'5C'D8, 255}, false},
        {"red one step below the cut", {0x00'18'58'C8, 255}, true},
        {"green two steps up", {0x00'18'60'D0, 255}, true},
        {"another alpha", {0x00'18'58'D0, 239}, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(fitting::changedByFitting(input, row.shown), row.changed) << row.name;
    }
    // Transparent either way: the colour is never shown.
    EXPECT_FALSE(fitting::changedByFitting(PixelRecord{0x00'12'34'56, 3}, PixelRecord{0, 0}));
    EXPECT_TRUE(fitting::changedByFitting(PixelRecord{0x00'12'34'56, 3}, PixelRecord{0x00'10'30'50, 255}));
}

TEST(Fit, AFlatAreaKeptAsCloseAsTheFileAllowsIsNotCountedAsChanged) {
    // Half the image one flat colour whose low bits round up, half a gradient of 400 colours.
    std::vector<Rgba> pixels;
    for (int i = 0; i < 800; ++i) {
        pixels.push_back(i < 400 ? Rgba(214, 90, 30, 255) : Rgba((i * 7) % 256, (i * 3) % 256, i % 251, 255));
    }
    const ImageModel model = modelOf(40, 20, pixels);
    auto fitted = fitImage(model);
    ASSERT_TRUE(fitted) << fitted.error().detail;
    ASSERT_TRUE(fitted->report.quantised);
    EXPECT_LE(fitted->report.pixelsChanged, 400);
}
