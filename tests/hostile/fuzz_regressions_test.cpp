// Inputs the fuzz targets once failed on, kept as byte arrays so the faults cannot come back unnoticed.

#include <gtest/gtest.h>

#include "hostile_support.h"
#include "image_model.h"

namespace hostile {
namespace {

// One opaque red pixel, 24 bits: the streaming loader once counted its colours differently from the
// in-memory decoder, so `info` and `compress` disagreed about the same file.
const Bytes OneRedPixel = {
    0x42, 0x4d, 0x3a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x28,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x18, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x13, 0x0b, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00,
};

TEST(FuzzRegressions, EveryBitmapReaderCountsTheSameColours) {
    ScratchDir dir;
    writeFile(dir / "red.bmp", OneRedPixel);
    imaging::ImageModel decoded, loaded, inspected;
    ASSERT_TRUE(imaging::decodeBitmap(OneRedPixel, decoded).ok());
    ASSERT_TRUE(imaging::LoadBitmapImage(dir / "red.bmp", loaded).ok());
    ASSERT_TRUE(imaging::inspectBitmapImage(dir / "red.bmp", inspected).ok());
    for (const imaging::ImageModel* model : {&decoded, &loaded, &inspected}) {
        EXPECT_EQ(model->WindowsColorCount, 1);
        EXPECT_EQ(model->CompressedColorCount, 1);
        EXPECT_EQ(model->PaletteColors, (std::vector<std::int32_t>{0xF800, 0}));
    }
    const RunResult info = runTool({"info", "--json", (dir / "red.bmp").string()});
    ASSERT_TRUE(info.exited()) << describe(info);
    EXPECT_NE(info.out.find("\"windows_colors\": 1, \"compressed_colors\": 1"), std::string::npos)
        << info.out;
}

}  // namespace
}  // namespace hostile
