#include <gtest/gtest.h>

#include <random>

#include "image_model.h"
#include "palette_lookup.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

TEST(ImageModel, ToRgb565KeepsTheTopBitsOfEachChannel) {
    EXPECT_EQ(ToRgb565(0xFFFFFF), 65535);
    EXPECT_EQ(ToRgb565(0x0000FF), 63488);  // red is the low byte
    EXPECT_EQ(ToRgb565(0x00FF00), 2016);
    EXPECT_EQ(ToRgb565(0xFF0000), 31);
    EXPECT_EQ(ToRgb565(0x070307), 0);
}

TEST(ImageModel, ReadSignatureTakesTheFirstTwoBytesAsTheyAre) {
    TempDir dir;
    writeFile(dir / "one", {'B'});
    writeFile(dir / "empty", {});
    writeFile(dir / "lower", {'b', 'm', 0});
    writeFile(dir / "rl", redGapBlueRl());
    EXPECT_EQ(ReadSignature(dir / "one").value(), std::string("B\0", 2));
    EXPECT_EQ(ReadSignature(dir / "empty").value(), "");
    EXPECT_EQ(ReadSignature(dir / "lower").value(), "bm");
    EXPECT_EQ(ReadSignature(dir / "rl").value(), "RL");
    EXPECT_EQ(ReadSignature(dir / "missing").error().code, ErrorCode::Io);
    EXPECT_EQ(ReadSignature(dir.path()).error().code, ErrorCode::Io);
}

TEST(ImageModel, FindPaletteIndexComparesAlphaOnlyWithTheAlphaTable) {
    ImageModel model;
    model.PaletteColors = {0xF800, 0x001F, 0xF800, 0};  // spare last entry
    model.PaletteAlphas = {128, 255, 255, 0};
    model.CompressedColorCount = 3;
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 255, false), 1);  // first colour match, whatever its alpha
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 255, true), 3);
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 0, false), 0);
    EXPECT_EQ(FindPaletteIndex(model, 0x07E0, 255, false), 0);
    EXPECT_EQ(FindPaletteIndex(model, 0, 255, false), 0);  // the spare entry is no colour
}

TEST(ImageModel, PaletteLookupAgreesWithFindPaletteIndex) {
    std::mt19937 rng(7);
    ImageModel model;
    for (int k = 0; k < 253; ++k) {
        model.PaletteColors.push_back(static_cast<std::int32_t>(rng() % 40));  // repeats on purpose
        model.PaletteAlphas.push_back(static_cast<std::int32_t>(7 + rng() % 6));
    }
    model.PaletteColors.push_back(0);
    model.PaletteAlphas.push_back(0);
    model.CompressedColorCount = 253;
    for (bool flag : {false, true}) {
        const detail::PaletteLookup lookup(model, flag);
        for (int q = 0; q < 2000; ++q) {
            const auto colour = static_cast<std::int32_t>(rng() % 45);
            const auto alpha = static_cast<std::int32_t>(rng() % 14);
            ASSERT_EQ(lookup.find(colour, alpha), FindPaletteIndex(model, colour, alpha, flag))
                << colour << " " << alpha << " " << flag;
        }
    }
}
