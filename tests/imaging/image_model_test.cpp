#include <gtest/gtest.h>

#include "image_model.h"
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
    const std::pair<Bytes, std::string> cases[] = {
        {{'B'}, std::string("B\0", 2)}, {{}, ""}, {{'b', 'm', 0}, "bm"}, {redGapBlueRl(), "RL"}};
    for (const auto& [bytes, signature] : cases) {
        writeFile(dir / "file", bytes);
        EXPECT_EQ(ReadSignature(dir / "file").value(), signature);
    }
    EXPECT_EQ(ReadSignature(dir / "missing").error().code, ErrorCode::Io);
    EXPECT_EQ(ReadSignature(dir.path).error().code, ErrorCode::Io);
}

TEST(ImageModel, PaletteIndexIsTheFirstColourMatchAndComparesAlphaOnlyWithTheTable) {
    ImageModel model;
    model.PaletteColors = {0xF800, 0x001F, 0xF800, 0};  // spare last entry
    model.PaletteAlphas = {128, 255, 255, 0};
    model.CompressedColorCount = 3;
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 255, false), 1);  // whatever its alpha
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 255, true), 3);
    EXPECT_EQ(FindPaletteIndex(model, 0xF800, 0, false), 0);
    EXPECT_EQ(FindPaletteIndex(model, 0x07E0, 255, false), 0);
    EXPECT_EQ(FindPaletteIndex(model, 0, 255, false), 0);  // the spare entry is no colour
}
