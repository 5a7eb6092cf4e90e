#include <gtest/gtest.h>

#include "image_model.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// Pixels in the order an RL load leaves them: top row first.
ImageModel topFirstImage(int width, int height, int rlAlphaFlag) {
    ImageModel model;
    model.Width = width;
    model.Height = height;
    model.RlAlphaFlag = rlAlphaFlag;
    for (int i = 0; i < width * height; ++i) {
        model.Pixels.push_back(PixelRecord{0x010203 * (i + 1), i % 2 ? 0 : 255});
    }
    return model;
}

}  // namespace

TEST(BitmapWriter, TwentyFourBitRowsArePaddedToFourBytes) {
    for (int width = 1; width <= 4; ++width) {
        const Result<Bytes> file = encodeBitmap(topFirstImage(width, 2, 0));
        ASSERT_TRUE(file);
        const std::size_t rowBytes = static_cast<std::size_t>(3 * width + width % 4);
        EXPECT_EQ(file->size(), 54 + 2 * rowBytes);
        EXPECT_EQ(u32At(*file, 2), file->size());
        EXPECT_EQ(u32At(*file, 34), 2 * rowBytes);
        EXPECT_EQ((*file)[28], 24);
        EXPECT_EQ(u32At(*file, 38), 2835u);
        for (std::size_t pad = 3 * static_cast<std::size_t>(width); pad < rowBytes; ++pad) {
            EXPECT_EQ((*file)[54 + pad], 0);
        }
    }
    EXPECT_EQ(encodeBitmap(topFirstImage(2, 2, 0))->size(), 70u);
}

TEST(BitmapWriter, WritesTheLastRowFirstAndAlphaWhenTheRlFlagIsSet) {
    const ImageModel model = topFirstImage(3, 2, 1);
    const Result<Bytes> file = encodeBitmap(model);
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)[28], 32);
    EXPECT_EQ(file->size(), 54u + 3 * 2 * 4);
    // The first record (top row) is the first pixel of the file's second, upper row.
    const std::size_t top = 54 + 3 * 4;
    EXPECT_EQ((*file)[top + 0], 0x01);  // blue
    EXPECT_EQ((*file)[top + 2], 0x03);  // red
    EXPECT_EQ((*file)[top + 3], 255);
    EXPECT_EQ((*file)[top + 7], 0);  // second pixel: alpha 0
    ImageModel reread;
    ASSERT_TRUE(decodeBitmap(*file, reread));
    EXPECT_EQ(reread.Pixels[0].Color, model.Pixels[3].Color);
    EXPECT_EQ(reread.Pixels[3].Alpha, model.Pixels[0].Alpha);
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
    EXPECT_EQ(SaveBitmapImage(dir / "no" / "such" / "folder.bmp", topFirstImage(3, 2, 0)).error().code,
              ErrorCode::Io);
}
