#include "preview_render.h"

#include <gtest/gtest.h>

#include <vector>

using namespace viewer;

TEST(PreviewRender, BlendColorRoundsEachChannelToTheNearest) {
    // Red at alpha 128 over the light grey: 111.56 and 239.56 round up.
    EXPECT_EQ(BlendColor(PreviewBackColor, 0x0000FF, 128), 112 << 16 | 112 << 8 | 240);
    EXPECT_EQ(BlendColor(PreviewBackColor, 0x123456, 255), 0x123456);
    EXPECT_EQ(BlendColor(PreviewBackColor, 0x123456, 0), PreviewBackColor);
    EXPECT_EQ(BlendColor(0, 0xFFFFFF, 1), 0x010101);  // 1.0
    EXPECT_EQ(BlendColor(0, 0x010101, 127), 0);       // 0.498
}

TEST(PreviewRender, RefusesAModelWithoutACompleteImage) {
    imaging::ImageModel model;
    model.Width = 2;
    model.Height = 2;
    model.BitDepth = 32;
    model.Pixels.resize(3);
    std::vector<std::uint32_t> colors(4, 7);
    std::vector<std::uint8_t> mask(4, 7);
    PreviewCounts counts;
    EXPECT_FALSE(renderWithTransparency(model, PixelOrder::TopRowFirst, colors.data(), 2, counts));
    EXPECT_FALSE(renderWithoutTransparency(model, PixelOrder::TopRowFirst, colors.data(), 2));
    EXPECT_FALSE(renderAlphaChannel(model, PixelOrder::TopRowFirst, mask.data(), 2));
    EXPECT_EQ(colors, std::vector<std::uint32_t>(4, 7));
    EXPECT_EQ(mask, std::vector<std::uint8_t>(4, 7));
    model.Pixels.resize(4);
    EXPECT_TRUE(renderAlphaChannel(model, PixelOrder::TopRowFirst, mask.data(), 2));
    model.Width = 0;
    EXPECT_FALSE(renderAlphaChannel(model, PixelOrder::TopRowFirst, mask.data(), 2));
}
